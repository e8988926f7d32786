// Marks what the library exports. The libraries are built with hidden visibility, so a
// shared axgenetic exports only the declarations of its public headers that carry
// AXGENETIC_API (classes, with their members, vtables and type information, and free
// functions); helpers private to a source file stay out of the dynamic symbol table.
// In a static build the mark changes nothing.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define AXGENETIC_API __attribute__((visibility("default")))
#else
#define AXGENETIC_API
#endif

// Arithmetic functions of float programs compiled into the library, for both evaluation
// paths at once.
//
// A host's own elementwise handlers (AddElementwise with a lambda) are compiled in the
// host's translation unit for the host's target, usually the baseline x86-64 one, and run
// one point at a time. The operations here run their batch steps with the widest vector
// instructions the processor offers (AVX-512, AVX2 or SSE2, chosen once at run time), and
// their per-point handlers do the same arithmetic: one IEEE operation per value, never
// contracted into a fused multiply-add, so both paths agree bit for bit on any processor.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cstdint>
#include <string_view>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/platform/enum_names.hpp"

namespace ax {

// eoProtectedDiv is A / B, or 1 where |B| is below the operation's threshold or B is 0.
// eoNeg takes one argument, the others two.
enum class TGPElementwiseOperation : std::uint8_t {
    eoAdd,
    eoSub,
    eoMul,
    eoDiv,
    eoProtectedDiv,
    eoNeg
};
template <> struct EnumNames<TGPElementwiseOperation> {
    static constexpr std::string_view Values[] = {"eoAdd", "eoSub",          "eoMul",
                                                  "eoDiv", "eoProtectedDiv", "eoNeg"};
};

// The instruction set the batch steps of these operations run on in this process:
// "avx512f", "avx2" or "sse2".
AXGENETIC_API std::string_view ElementwiseInstructionSet();

// Arguments the operation takes: 1 for eoNeg, else 2.
AXGENETIC_API int ElementwiseArity(TGPElementwiseOperation Operation);

namespace detail {
// Result[i] = Operation(Args[0][i], Args[1][i]) (or of Args[0][i] alone) for i below
// Count, with the instruction set above; Result may be Args[0].
AXGENETIC_API void RunElementwise(TGPElementwiseOperation Operation, TGAFloat Threshold,
                                  const TGAFloat* const* Args, TGAFloat* Result, int Count);
// The instruction sets this processor runs, widest first, and the same step on one of
// them (nothing happens for a set not in that list); for tests.
AXGENETIC_API std::vector<std::string_view> ElementwiseInstructionSets();
AXGENETIC_API void RunElementwiseOn(std::string_view InstructionSet,
                                    TGPElementwiseOperation Operation, TGAFloat Threshold,
                                    const TGAFloat* const* Args, TGAFloat* Result, int Count);
} // namespace detail

} // namespace ax

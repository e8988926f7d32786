// The polymorphic root of the library's object model and the assignable base class.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <string>
#include <vector>

namespace ax {

class TFiler;
struct TPublishedProperty;

// Root of every library class that takes part in run-time class queries.
class AXGENETIC_API TObject {
public:
    virtual ~TObject() = default;
    // The class's own name, e.g. "TAxGAIndividual"; also the default display name.
    virtual std::string ClassName() const { return "TObject"; }
    // General text conversion; the class name unless a class says otherwise.
    virtual std::string ToString() const { return ClassName(); }

protected:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
};

// An object whose contents can be copied from another object with Assign. A class
// accepts the sources it knows in Assign; a source may also teach foreign destinations
// through AssignTo. Anything else fails with EConvertError naming both classes.
class AXGENETIC_API TPersistent : public TObject {
public:
    std::string ClassName() const override { return "TPersistent"; }
    virtual void Assign(const TPersistent& Source);

    // Property streaming (platform/streaming.hpp): the properties the class publishes, a
    // derived class appending its own after its base's, and the ones it defines itself.
    virtual void GetPublishedProperties(std::vector<TPublishedProperty>&) const {}
    virtual void DefineProperties(TFiler&) {}

protected:
    virtual void AssignTo(TPersistent& Dest) const;
    // Raises the assignment error for an unsupported Source.
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

} // namespace ax

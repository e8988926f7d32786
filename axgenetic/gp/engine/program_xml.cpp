#include "axgenetic/gp/engine/program_xml.hpp"

#include <memory>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/engine/float_classes.hpp"
#include "axgenetic/gp/engine/instruction.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

namespace {

constexpr const char* InstructionTags[] = {"Function", "Variable", "Constant", "FloatConstant",
                                           "VariantConstant"};

std::string LowerAscii(std::string_view Text) {
    std::string Lower(Text);
    for (char& C : Lower)
        if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
    return Lower;
}

TGPGeneticInstruction ElementKind(const IXMLNode& Element) {
    if (Element.HasName("Function")) return TGPGeneticInstruction::gpFunction;
    if (Element.HasName("Variable")) return TGPGeneticInstruction::gpVariable;
    return TGPGeneticInstruction::gpConstant;
}

// The text of a constant's value, and the value of a text: floats as the exact float text
// (it reloads to the same bits; the 15-digit text is only for display); variants as text
// in instructions (a double one exactly), and in nodes through a double (an empty or null
// node value is written as no Value element, and reads back empty).
std::string InstructionValueText(const TGAFloat& Value) {
    return ExactFloatToStr(Value);
}
std::string InstructionValueText(const Variant& Value) {
    if (Value.VarType() == TVarType::varDouble) return ExactFloatToStr(Value.ToDouble());
    return Value.ToString();
}

void SaveNodeValue(const TGAFloat& Value, const IXMLDnaType& Element) {
    Element.SetValue(ExactFloatToStr(Value));
}
void SaveNodeValue(const Variant& Value, const IXMLDnaType& Element) {
    if (!Value.IsEmpty() && !Value.IsNull()) Element.SetValue(ExactFloatToStr(Value.ToDouble()));
}

void LoadNodeValue(TAxGPNode<TGAFloat>& Node, const IXMLDnaType& Element) {
    Node.SetValue(StrToFloat(Element.Value()));
}
void LoadNodeValue(TAxGPNode<Variant>& Node, const IXMLDnaType& Element) {
    if (Element.FindChild("Value")) Node.SetValue(Variant(Element.Value()));
}

template <class T> bool IsConstant(const TAxGPInstruction<T>* Instruction) {
    return Instruction && Instruction->Operation() == TGPGeneticInstruction::gpConstant;
}

} // namespace

// ---- checks -------------------------------------------------------------------------------

void CheckProgramXML(const IXMLDnaType& Root, const TGPInstructionResolver& Resolve,
                     bool FloatValues, int MaxChildren) {
    std::vector<std::pair<IXMLNode, int>> Pending{{Root, 0}};
    while (!Pending.empty()) {
        const auto [Node, Depth] = std::move(Pending.back());
        Pending.pop_back();
        if (Depth > MaxProgramDepth) throw EGPException(Format(SProgramTooDeep, {MaxProgramDepth}));
        const IXMLDnaType Element(Node);
        const std::string Name = Element.Instruction();
        const auto Shape = Resolve(Name);
        if (!Shape) throw EGPException(Format(SUnknownInstruction, {Name}));
        if (FloatValues && Shape->Kind == TGPGeneticInstruction::gpConstant)
            StrToFloat(Element.Value());
        int Children = 0;
        for (const IXMLNode& Child : Element.ChildElements("Child")) {
            if (++Children > MaxChildren && MaxChildren >= 0)
                throw EGPException(std::string(SNodeFull));
            Pending.emplace_back(Child, Depth + 1);
        }
        // A function without its arguments would load and then fail at its first run
        // (with a run of the fitness handler, maybe in the middle of the load).
        if (Shape->Kind == TGPGeneticInstruction::gpFunction && Children < Shape->Arity)
            throw EGPException(Format(SInvalidNumInstructionArgs, {Children, Name}));
    }
}

void CheckInstructionsXML(const IXMLGPInstructions& Element, int MaxArity) {
    for (const IXMLFunctionInstructionType Function : Element.Function()) {
        const std::int32_t Arity = Function.Arity();
        if (Arity < 0 || Arity > MaxArity)
            throw EGPException(Format(SArityOutOfRange, {Arity, Function.Name(), MaxArity}));
    }
}

TGPInstructionResolver DocumentInstructions(const IXMLGPInstructions& Element) {
    // Loading takes the lists in this order, and an element of a name met before updates
    // that instruction: its last element decides.
    auto Shapes = std::make_shared<std::unordered_map<std::string, TGPInstructionShape>>();
    for (const char* Tag : InstructionTags)
        for (const IXMLNode& Instruction : Element.ChildElements(Tag)) {
            const TGPGeneticInstruction Kind = ElementKind(Instruction);
            const std::int32_t Arity = Kind == TGPGeneticInstruction::gpFunction
                                           ? IXMLFunctionInstructionType(Instruction).Arity()
                                           : 0;
            (*Shapes)[LowerAscii(Instruction.AttributeText("Name"))] = {Kind, Arity};
        }
    return [Shapes](std::string_view Name) -> std::optional<TGPInstructionShape> {
        const auto Found = Shapes->find(LowerAscii(Name));
        if (Found == Shapes->end()) return std::nullopt;
        return Found->second;
    };
}

// ---- programs -----------------------------------------------------------------------------

template <class T>
TAxGPInstruction<T>* ProgramInstruction(const TAxGPInstructions<T>& Set, std::string_view Name,
                                        TProgramInstructionCache<T>& Cache) {
    if (TAxGPInstruction<T>* Found = Set.FindItemName(Name)) return Found;
    // An unnamed instruction is written under its display name (its class name).
    const std::string Key = LowerAscii(Name);
    if (const auto Known = Cache.find(Key); Known != Cache.end()) return Known->second;
    TAxGPInstruction<T>* Unnamed = nullptr;
    for (int I = 0; I < Set.Count() && !Unnamed; ++I)
        if (Set.Items(I)->Name().empty() &&
            detail::SameTextAscii(Set.Items(I)->DisplayName(), Name))
            Unnamed = Set.Items(I);
    Cache.emplace(Key, Unnamed);
    return Unnamed;
}

template <class T> void SaveProgramToXML(const TAxGPNode<T>& Node, const IXMLDnaType& Element) {
    if (Node.Depth() > MaxProgramDepth)
        throw EGPException(Format(SProgramTooDeep, {MaxProgramDepth}));
    std::vector<std::pair<const TAxGPNode<T>*, IXMLDnaType>> Pending{{&Node, Element}};
    while (!Pending.empty()) {
        const auto [From, To] = std::move(Pending.back());
        Pending.pop_back();
        if (const TAxGPInstruction<T>* Instruction = From->Instruction()) {
            To.SetInstruction(Instruction->DisplayName());
            if (IsConstant(Instruction)) SaveNodeValue(From->Value(), To);
        }
        const auto Children = To.Child();
        for (int I = 0; I < From->SlotCount(); ++I)
            if (const TAxGPNode<T>* Child = From->GetChild(I))
                Pending.emplace_back(Child, Children.Add());
    }
}

namespace {

// Looks a name up where Node's instruction lives: its set (ProgramInstruction), or
// (outside a set) the instruction alone.
template <class T> auto InstructionFinder(const TAxGPNode<T>& Node) {
    TAxGPInstruction<T>* Own = Node.Instruction();
    const TAxGPInstructions<T>* Set = Own->Collection();
    return [Set, Own, Cache = TProgramInstructionCache<T>()](
               std::string_view Name) mutable -> TAxGPInstruction<T>* {
        if (Set) return ProgramInstruction(*Set, Name, Cache);
        return detail::SameTextAscii(Own->DisplayName(), Name) ? Own : nullptr;
    };
}

} // namespace

template <class T> void LoadProgramFromXML(TAxGPNode<T>& Node, const IXMLDnaType& Element) {
    if (Node.Instruction()) {
        auto Find = InstructionFinder(Node);
        const int MaxChildren = dynamic_cast<const TAxGPBinaryNode<T>*>(&Node) ? 2 : -1;
        CheckProgramXML(
            Element,
            [&Find](std::string_view Name) -> std::optional<TGPInstructionShape> {
                const TAxGPInstruction<T>* Found = Find(Name);
                if (!Found) return std::nullopt;
                return TGPInstructionShape{Found->Operation(), Found->Arity()};
            },
            std::is_same_v<T, TGAFloat>, MaxChildren);
    }
    LoadCheckedProgramFromXML(Node, Element);
}

template <class T> void LoadCheckedProgramFromXML(TAxGPNode<T>& Node, const IXMLDnaType& Element) {
    if (!Node.Instruction()) {
        Node.Clear();
        return;
    }
    auto Find = InstructionFinder(Node);
    // Every instruction comes from the set of Node's, so every node is made by that set's
    // engine, which is looked up once rather than per node (CreateNode(Instruction, Parent)
    // would look it up for each).
    const TAxGPInstructions<T>* Set = Node.Instruction()->Collection();
    IAxGeneticProgramEngine<T>* Engine = Set ? Set->Engine() : nullptr;
    std::vector<std::pair<TAxGPNode<T>*, IXMLDnaType>> Pending{{&Node, Element}};
    while (!Pending.empty()) {
        const auto [To, From] = std::move(Pending.back());
        Pending.pop_back();
        TAxGPInstruction<T>* Instruction = Find(From.Instruction());
        To->Clear();
        To->SetInstruction(Instruction);
        if (IsConstant(Instruction)) LoadNodeValue(*To, From);
        for (const IXMLDnaType Child : From.Child())
            Pending.emplace_back(Engine ? To->AddChild(Engine->CreateNode(Instruction))
                                        : To->CreateNode(Instruction, *To),
                                 Child);
    }
}

template TAxGPInstruction<TGAFloat>* ProgramInstruction(const TAxGPInstructions<TGAFloat>&,
                                                        std::string_view,
                                                        TProgramInstructionCache<TGAFloat>&);
template TAxGPInstruction<Variant>* ProgramInstruction(const TAxGPInstructions<Variant>&,
                                                       std::string_view,
                                                       TProgramInstructionCache<Variant>&);
template void SaveProgramToXML(const TAxGPNode<TGAFloat>&, const IXMLDnaType&);
template void SaveProgramToXML(const TAxGPNode<Variant>&, const IXMLDnaType&);
template void LoadProgramFromXML(TAxGPNode<TGAFloat>&, const IXMLDnaType&);
template void LoadProgramFromXML(TAxGPNode<Variant>&, const IXMLDnaType&);
template void LoadCheckedProgramFromXML(TAxGPNode<TGAFloat>&, const IXMLDnaType&);
template void LoadCheckedProgramFromXML(TAxGPNode<Variant>&, const IXMLDnaType&);

// ---- instructions ---------------------------------------------------------------------------

template <class T>
void TAxGPInstruction<T>::SaveToXML(const IXMLGPInstructions& Instructions) const {
    if (FOperation == TGPGeneticInstruction::gpFunction && FArity > MaxDocumentArity)
        throw EGPException(Format(SArityOutOfRange, {FArity, DisplayName(), MaxDocumentArity}));
    IXMLInstructionType Element;
    switch (FOperation) {
    case TGPGeneticInstruction::gpVariable:
        Element = IXMLInstructionType(Instructions.Variable().Add());
        break;
    case TGPGeneticInstruction::gpConstant:
        Element = IXMLInstructionType(Instructions.Constant().Add());
        break;
    case TGPGeneticInstruction::gpFunction:
        Element = IXMLInstructionType(Instructions.Function().Add());
        break;
    }
    Element.SetName(DisplayName());
    Element.SetComment(FComment);
    if (FOperation == TGPGeneticInstruction::gpFunction)
        IXMLFunctionInstructionType(Element).SetArity(FArity);
    if (FOperation == TGPGeneticInstruction::gpConstant)
        IXMLConstantInstructionType(Element).SetValue(InstructionValueText(FValue));
    // An ephemeral random constant's settings, written only when it is one, so that other
    // documents keep their shape.
    if constexpr (std::is_same_v<T, TGAFloat>) {
        const auto* Float = dynamic_cast<const TAxGPFloatInstruction*>(this);
        if (Float && Float->RandomValue() && FOperation == TGPGeneticInstruction::gpConstant) {
            Element.SetChildText("RandomMin", FloatToStr(Float->RandomMin()));
            Element.SetChildText("RandomMax", FloatToStr(Float->RandomMax()));
            Element.SetChildText("RandomPerturbation", FloatToStr(Float->RandomPerturbation()));
        }
    }
}

namespace {
// An ephemeral random constant's settings from a Constant element: present (both bounds
// numbers) turns RandomValue on, absent turns it off.
template <class I> void LoadRandomValueOf(I* Instruction, const IXMLNode& Element) {
    auto* Float = dynamic_cast<TAxGPFloatInstruction*>(Instruction);
    if (!Float) return;
    double Min = 0, Max = 0, Perturbation = TAxGPFloatInstruction::DefaultRandomPerturbation;
    const bool Random = Element.FindChild("RandomMin") && Element.FindChild("RandomMax") &&
                        TryStrToFloat(Element.ChildText("RandomMin"), Min) &&
                        TryStrToFloat(Element.ChildText("RandomMax"), Max);
    Float->SetRandomValue(Random);
    if (!Random) return;
    Float->SetRandomRange(Min, Max);
    if (Element.FindChild("RandomPerturbation") &&
        TryStrToFloat(Element.ChildText("RandomPerturbation"), Perturbation))
        Float->SetRandomPerturbation(Perturbation);
}
} // namespace

template <class T> void TAxGPInstruction<T>::LoadFromXML(const IXMLNode& Element) {
    const IXMLConstantInstructionType From(Element);
    // Compared with the stored name, not the display name: an element named like the class
    // (how an unnamed instruction is saved) gives a named instruction, which the trees
    // that use it can find again.
    if (std::string Name = From.Name(); Name != FName) {
        const std::string Old = std::exchange(FName, std::move(Name));
        NameChanged(Old);
    }
    FComment = From.Comment();
    const TGPGeneticInstruction Kind = ElementKind(Element);
    if (Kind == TGPGeneticInstruction::gpFunction)
        SetArity(IXMLFunctionInstructionType(Element).Arity());
    else
        FArity = 0; // a terminal, whatever it was before
    FOperation = Kind;
    if (Kind == TGPGeneticInstruction::gpConstant &&
        (Element.HasName("Constant") || Element.HasName("FloatConstant"))) {
        if constexpr (std::is_same_v<T, TGAFloat>) {
            double Value = 0;
            if (TryStrToFloat(From.Value(), Value)) SetValue(Value);
            LoadRandomValueOf(this, Element);
        } else {
            SetValue(Variant(From.Value()));
        }
    }
    this->Changed(false);
}

template <class T> void TAxGPInstructions<T>::SaveToXML(const IXMLGPInstructions& Element) const {
    for (int I = 0; I < this->Count(); ++I)
        this->Items(I)->SaveToXML(Element);
}

template <class T> void TAxGPInstructions<T>::LoadFromXML(const IXMLGPInstructions& Element) {
    CheckInstructionsXML(Element);
    std::unordered_map<const TAxGPInstruction<T>*, bool> Matched;
    for (int I = 0; I < this->Count(); ++I)
        Matched.emplace(this->Items(I), false);
    const TUpdateGuard Batch(*this);
    for (const char* Tag : InstructionTags)
        for (const IXMLNode& From : Element.ChildElements(Tag)) {
            TAxGPInstruction<T>* Instruction = FindItemName(From.AttributeText("Name"));
            if (!Instruction)
                Instruction = this->Add();
            else if (const auto Found = Matched.find(Instruction); Found != Matched.end())
                Found->second = true;
            Instruction->LoadFromXML(From);
        }
    for (int I = this->Count() - 1; I >= 0; --I)
        if (const auto Found = Matched.find(this->Items(I));
            Found != Matched.end() && !Found->second)
            this->Delete(I);
}

template void TAxGPInstruction<TGAFloat>::SaveToXML(const IXMLGPInstructions&) const;
template void TAxGPInstruction<Variant>::SaveToXML(const IXMLGPInstructions&) const;
template void TAxGPInstruction<TGAFloat>::LoadFromXML(const IXMLNode&);
template void TAxGPInstruction<Variant>::LoadFromXML(const IXMLNode&);
template void TAxGPInstructions<TGAFloat>::SaveToXML(const IXMLGPInstructions&) const;
template void TAxGPInstructions<Variant>::SaveToXML(const IXMLGPInstructions&) const;
template void TAxGPInstructions<TGAFloat>::LoadFromXML(const IXMLGPInstructions&);
template void TAxGPInstructions<Variant>::LoadFromXML(const IXMLGPInstructions&);

} // namespace ax

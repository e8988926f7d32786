#include "axgenetic/parallel/gp_genome_codec.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/gp/evolution/gp_individual.hpp"
#include "axgenetic/platform/format.hpp"

namespace ax {

namespace {

constexpr std::int32_t NoInstruction = -1;
constexpr std::int32_t EmptySlot = -2;
// The least a record takes: its instruction index.
constexpr std::size_t MinRecordBytes = 4;

[[noreturn]] void Malformed() {
    throw EGAException(std::string(SMalformedGenome));
}

template <class T> struct TRecord {
    std::int32_t Index;
    std::uint32_t Slots;
    T Value;
};

void WriteValue(TAxGenomeWriter& Writer, TGAFloat Value) {
    Writer.WriteDouble(Value);
}

void WriteValue(TAxGenomeWriter& Writer, const Variant& Value) {
    const TVarType Kind = Value.VarType();
    const std::byte KindByte{static_cast<unsigned char>(Kind)};
    Writer.WriteBytes(std::span(&KindByte, 1));
    switch (Kind) {
    case TVarType::varEmpty:
    case TVarType::varNull:
        break;
    case TVarType::varBoolean: {
        const std::byte Flag{static_cast<unsigned char>(Value.AsBoolean() ? 1 : 0)};
        Writer.WriteBytes(std::span(&Flag, 1));
        break;
    }
    case TVarType::varInt64:
        Writer.WriteUInt64(static_cast<std::uint64_t>(Value.AsInt64()));
        break;
    case TVarType::varDouble:
        Writer.WriteDouble(Value.AsDouble());
        break;
    case TVarType::varString:
        Writer.WriteString(Value.AsString());
        break;
    }
}

void ReadValue(TAxGenomeReader& Reader, TGAFloat& Value) {
    Value = Reader.ReadDouble();
}

void ReadValue(TAxGenomeReader& Reader, Variant& Value) {
    const auto Byte = [&Reader] { return std::to_integer<unsigned>(Reader.ReadBytes(1)[0]); };
    switch (static_cast<TVarType>(Byte())) {
    case TVarType::varEmpty:
        Value = Variant();
        return;
    case TVarType::varNull:
        Value = Variant::Null();
        return;
    case TVarType::varBoolean: {
        const unsigned Flag = Byte();
        if (Flag > 1) Malformed();
        Value = Variant(Flag == 1);
        return;
    }
    case TVarType::varInt64:
        Value = Variant(static_cast<std::int64_t>(Reader.ReadUInt64()));
        return;
    case TVarType::varDouble:
        Value = Variant(Reader.ReadDouble());
        return;
    case TVarType::varString:
        Value = Variant(Reader.ReadString());
        return;
    }
    Malformed();
}

template <class T, class Individual> auto& AsGP(Individual& Item) {
    using TGP = std::conditional_t<std::is_const_v<Individual>, const TAxGPIndividual<T>,
                                   TAxGPIndividual<T>>;
    auto* GP = dynamic_cast<TGP*>(&Item);
    if (!GP || !GP->Engine()) throw EGAException(Format(SWrongGenomeClass, {Item.ClassName()}));
    return *GP;
}

template <class T> bool IsConstant(const TAxGPInstruction<T>* Instruction) {
    return Instruction && Instruction->Operation() == TGPGeneticInstruction::gpConstant;
}

} // namespace

template <class T>
void TAxGPGenomeCodec<T>::Encode(const TAxIndividual& Item, TAxGenomeWriter& Writer) const {
    const TAxGPIndividual<T>& GP = AsGP<T>(Item);
    const TAxGPInstructions<T>& Set = *GP.Engine()->GetInstructions();
    const std::size_t CountAt = Writer.ReserveUInt32();
    std::uint32_t Records = 0;
    // Prefix order without recursion; nullptr stands for an empty slot.
    std::vector<const TAxGPNode<T>*> Stack;
    if (GP.DNA()) Stack.push_back(GP.DNA());
    while (!Stack.empty()) {
        const TAxGPNode<T>* Node = Stack.back();
        Stack.pop_back();
        ++Records;
        if (!Node) {
            Writer.WriteInt32(EmptySlot);
            continue;
        }
        std::int32_t Index = NoInstruction;
        if (TAxGPInstruction<T>* Instruction = Node->Instruction()) {
            Index = Instruction->Index();
            if (Index < 0 || Index >= Set.Count() || Set.Items(Index) != Instruction)
                throw EGAException(Format(SWrongGenomeClass, {Item.ClassName()}));
        }
        int Slots = Node->SlotCount();
        while (Slots > 0 && !Node->GetChild(Slots - 1))
            --Slots;
        Writer.WriteInt32(Index);
        Writer.WriteUInt32(static_cast<std::uint32_t>(Slots));
        if (IsConstant(Node->Instruction())) WriteValue(Writer, Node->Value());
        for (int I = Slots - 1; I >= 0; --I)
            Stack.push_back(Node->GetChild(I));
    }
    Writer.PatchUInt32(CountAt, Records);
}

template <class T>
void TAxGPGenomeCodec<T>::Decode(TAxGenomeReader& Reader, TAxIndividual& Item) const {
    TAxGPIndividual<T>& GP = AsGP<T>(Item);
    IAxGeneticProgramEngine<T>& Engine = *GP.Engine();
    const TAxGPInstructions<T>& Set = *Engine.GetInstructions();
    const std::uint32_t Count = Reader.ReadUInt32();
    if (Count > FMaxNodes || Count > Reader.Remaining() / MinRecordBytes) Malformed();

    // Every record is read and the shape checked before a node is made.
    const bool Binary =
        dynamic_cast<TAxGPBinaryNode<T>*>(Engine.CreateNode(nullptr).get()) != nullptr;
    const std::uint32_t SlotLimit =
        Binary ? 2u : static_cast<std::uint32_t>(std::max(Engine.MaxNodeArity(), 0));
    std::vector<TRecord<T>> Records(Count);
    std::vector<std::uint32_t> Open; // children still to come, per open ancestor
    for (std::uint32_t R = 0; R < Count; ++R) {
        TRecord<T>& Record = Records[R];
        if (R > 0) {
            if (Open.empty()) Malformed(); // records after a complete tree
            --Open.back();
        }
        Record.Index = Reader.ReadInt32();
        Record.Slots = 0;
        if (Record.Index == EmptySlot) {
            if (!Binary || R == 0) Malformed();
        } else {
            if (Record.Index < NoInstruction || Record.Index >= Set.Count()) Malformed();
            Record.Slots = Reader.ReadUInt32();
            if (Record.Slots > SlotLimit || Record.Slots > Count - R - 1) Malformed();
            if (Record.Index != NoInstruction && IsConstant(Set.Items(Record.Index)))
                ReadValue(Reader, Record.Value);
        }
        if (Record.Slots > 0) {
            if (Open.size() >= static_cast<std::size_t>(FMaxDepth)) Malformed();
            Open.push_back(Record.Slots);
        } else {
            while (!Open.empty() && Open.back() == 0)
                Open.pop_back();
        }
    }
    if (!Open.empty()) Malformed();

    typename TAxGPNode<T>::TNodePtr Root;
    struct TPlace {
        TAxGPNode<T>* Node;
        std::uint32_t Slots, Next;
    };
    std::vector<TPlace> Parents;
    for (const TRecord<T>& Record : Records) {
        TAxGPNode<T>* Placed = nullptr;
        if (Record.Index != EmptySlot) {
            TAxGPInstruction<T>* Instruction =
                Record.Index == NoInstruction ? nullptr : Set.Items(Record.Index);
            auto Node = Engine.CreateNode(Instruction);
            if (IsConstant(Instruction)) Node->SetValue(Record.Value);
            if (Parents.empty()) {
                Root = std::move(Node);
                Placed = Root.get();
            } else if (Binary) {
                Placed = Parents.back().Node->InsertChild(static_cast<int>(Parents.back().Next),
                                                          std::move(Node));
            } else {
                Placed = Parents.back().Node->AddChild(std::move(Node));
            }
        }
        if (!Parents.empty()) ++Parents.back().Next;
        if (Record.Slots > 0) Parents.push_back({Placed, Record.Slots, 0});
        while (!Parents.empty() && Parents.back().Next == Parents.back().Slots)
            Parents.pop_back();
    }
    GP.AssignDNA(std::move(Root));
    GP.Modified();
}

template class TAxGPGenomeCodec<TGAFloat>;
template class TAxGPGenomeCodec<Variant>;

} // namespace ax

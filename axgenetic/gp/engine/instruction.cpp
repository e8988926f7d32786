#include "axgenetic/gp/engine/instruction.hpp"

#include <utility>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/gp/engine/node.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/platform/text.hpp"
#include "axgenetic/platform/update_guard.hpp"

namespace ax {

// --- TAxGPInstruction -----------------------------------------------------------------

template <class T> void TAxGPInstruction<T>::SetArity(std::int32_t Value) {
    if (Value == FArity) return;
    if (Value < 0) {
        FArity = 0;
    } else {
        FArity = Value;
        if (const auto* Set = Collection())
            if (auto* Engine = Set->Engine()) {
                const std::int32_t Max = Engine->MaxNodeArity();
                if (Max < Value) FArity = Max;
            }
    }
    if (FArity > 0) SetOperation(TGPGeneticInstruction::gpFunction);
    this->Changed(false);
}

template <class T> void TAxGPInstruction<T>::SetName(const std::string& Value) {
    if (Value == FName) return;
    if (const auto* Set = Collection())
        if (Set->FindItemName(Value)) throw EGPException(std::string(SInstructionNotUnique));
    const std::string Old = std::exchange(FName, Value);
    NameChanged(Old);
    this->Changed(false);
}

template <class T> void TAxGPInstruction<T>::NameChanged(const std::string& OldName) {
    FHashedName = ax::HashedName(FName);
    if (auto* Set = Collection()) {
        Set->IndexRemove(this, OldName);
        Set->IndexAdd(this);
    }
}

template <class T> void TAxGPInstruction<T>::SetOperation(TGPGeneticInstruction Value) {
    if (Value == FOperation) return;
    FOperation = Value;
    if (Value != TGPGeneticInstruction::gpFunction) SetArity(0);
    OperationChanged();
}

template <class T> void TAxGPInstruction<T>::OperationChanged() {
    if (auto* Set = Collection()) Set->InstructionOperationUpdate(this);
    this->Changed(false);
}

template <class T> T TAxGPInstruction<T>::DoExecute(TAxGPNode<T>& Node, TAxGPContext<T>& Context) {
    switch (FOperation) {
    case TGPGeneticInstruction::gpVariable:
        if (const T* Found = Context.Values().FindValue(FHashedName)) return *Found;
        return T{};
    case TGPGeneticInstruction::gpConstant:
        return Node.Value();
    case TGPGeneticInstruction::gpFunction:
        break;
    }
    return T{};
}

template <class T> T TAxGPInstruction<T>::Execute(TAxGPNode<T>& Node, TAxGPContext<T>& Context) {
    if (FArity > 0) { // a leaf needs no count
        const int Count = Node.GetChildCount();
        if (Count < FArity)
            throw EGPException(Format(SInvalidNumInstructionArgs, {Count, DisplayName()}));
    }
    T Result = DoExecute(Node, Context);
    if (FOnExecute) FOnExecute(this, Node, Context, Result);
    return Result;
}

template <class T> void TAxGPInstruction<T>::Initialize() {
    if (FOnInitialize) FOnInitialize(this);
}

template <class T> void TAxGPInstruction<T>::AssignEvents(const TPersistent& Source) {
    if (const auto* From = dynamic_cast<const TAxGPInstruction<T>*>(&Source)) {
        FOnInitialize = From->FOnInitialize;
        FOnExecute = From->FOnExecute;
    }
}

template <class T> void TAxGPInstruction<T>::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxGPInstruction<T>*>(&Source);
    if (!From) {
        TCollectionItem::Assign(Source);
        return;
    }
    if (From == this) return;
    const std::string Old = std::exchange(FName, From->FName);
    NameChanged(Old);
    FComment = From->FComment;
    FArity = From->FArity;
    FValue = From->FValue;
    SetOperation(From->FOperation);
}

template <class T> std::string TAxGPInstruction<T>::DisplayName() const {
    return FName.empty() ? TCollectionItem::DisplayName() : FName;
}

template <class T> std::string TAxGPInstruction<T>::ToString() const {
    return DisplayName() + " '" + FComment + "' " + std::string(GetEnumName(FOperation));
}

template <class T>
void TAxGPInstruction<T>::GetPublishedProperties(std::vector<TPublishedProperty>& List) const {
    using I = TAxGPInstruction<T>;
    TCollectionItem::GetPublishedProperties(List);
    List.push_back(PublishedDefault<I>("Arity", &I::Arity, &I::SetArity, 0));
    List.push_back(PublishedDefault<I>("Name", &I::Name, &I::SetName, std::string()));
    List.push_back(PublishedDefault<I>("Comment", &I::Comment, &I::SetComment, std::string()));
    List.push_back(PublishedDefault<I>("Operation", &I::Operation, &I::SetOperation,
                                       TGPGeneticInstruction::gpVariable));
}

// --- TAxGPInstructions ----------------------------------------------------------------

template <class T>
TAxGPInstructions<T>::TAxGPInstructions(TPersistent* AOwner, TCollectionItemClass ItemClass)
    : TBase(AOwner, ItemClass), FEngine(dynamic_cast<IAxGeneticProgramEngine<T>*>(AOwner)) {}

template <class T> int TAxGPInstructions<T>::IndexOf(std::string_view Name) const {
    const TAxGPInstruction<T>* Found = FindItemName(Name);
    return Found ? Found->Index() : -1;
}

template <class T>
TAxGPInstruction<T>* TAxGPInstructions<T>::FindItemName(std::string_view Name) const {
    if (Name.empty()) { // unnamed instructions are not indexed
        for (int I = 0; I < this->Count(); ++I)
            if (this->Items(I)->Name().empty()) return this->Items(I);
        return nullptr;
    }
    if (!FIndexValid) RebuildIndex();
    const auto Found = FIndex.find(Name);
    return Found == FIndex.end() ? nullptr : Found->second;
}

template <class T>
std::size_t TAxGPInstructions<T>::TNameHash::operator()(std::string_view Name) const {
    std::size_t Hash = 14695981039346656037ull;
    for (char C : Name) {
        if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
        Hash = (Hash ^ static_cast<unsigned char>(C)) * 1099511628211ull;
    }
    return Hash;
}

template <class T> void TAxGPInstructions<T>::RebuildIndex() const {
    FIndex.clear();
    FDuplicateNames = false;
    FIndexValid = true;
    for (int I = 0; I < this->Count(); ++I)
        IndexAdd(this->Items(I));
}

template <class T> void TAxGPInstructions<T>::IndexAdd(TAxGPInstruction<T>* Item) const {
    if (!FIndexValid || Item->Name().empty()) return;
    const auto [At, Added] = FIndex.try_emplace(Item->Name(), Item);
    if (Added || At->second == Item) return;
    FDuplicateNames = true;
    if (Item->Index() < At->second->Index()) At->second = Item;
}

template <class T>
void TAxGPInstructions<T>::IndexRemove(TAxGPInstruction<T>* Item, std::string_view Name) {
    if (!FIndexValid || Name.empty()) return;
    const auto At = FIndex.find(Name);
    if (At == FIndex.end() || At->second != Item) return;
    if (FDuplicateNames) // another instruction of the name may take its place
        FIndexValid = false;
    else
        FIndex.erase(At);
}

template <class T>
TAxGPInstruction<T>* TAxGPInstructions<T>::GetItemByName(std::string_view Name) const {
    if (auto* Found = FindItemName(Name)) return Found;
    throw EGPException(Format(SUnknownInstruction, {Name}));
}

template <class T>
void TAxGPInstructions<T>::SetItems(int Index, const TAxGPInstruction<T>& Value) {
    this->Items(Index)->Assign(Value);
}

template <class T>
void TAxGPInstructions<T>::InstructionOperationUpdate(TAxGPInstruction<T>* Instruction) {
    if (auto* E = Engine()) E->InstructionOperationUpdate(Instruction);
}

template <class T> void TAxGPInstructions<T>::AssignAll(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TAxGPInstructions<T>*>(&Source);
    if (!From || From == this) return;
    const TUpdateGuard Batch(*this);
    this->Clear();
    for (int I = 0; I < From->Count(); ++I) {
        TAxGPInstruction<T>* Item = this->Add();
        Item->Assign(*From->Items(I));
        Item->AssignEvents(*From->Items(I));
    }
}

template <class T> void TAxGPInstructions<T>::AssignTo(TPersistent& Dest) const {
    auto* Lines = dynamic_cast<TStringList*>(&Dest);
    if (!Lines) {
        TBase::AssignTo(Dest);
        return;
    }
    const TUpdateGuard Batch(*Lines);
    Lines->Clear();
    for (int I = 0; I < this->Count(); ++I)
        Lines->AddObject(this->Items(I)->DisplayName(), this->Items(I));
}

template <class T>
void TAxGPInstructions<T>::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    auto* Instruction = static_cast<TAxGPInstruction<T>*>(Item);
    Instruction->FSet = Action == TCollectionNotification::cnAdded ? this : nullptr;
    if (Action == TCollectionNotification::cnAdded) {
        // An instruction inserted before others of its name comes first now.
        IndexAdd(Instruction);
    } else {
        IndexRemove(Instruction, Instruction->Name());
    }
    TBase::Notify(Item, Action);
    if (auto* E = Engine()) E->InstructionNotify(Instruction, Action);
}

template <class T> void TAxGPInstructions<T>::Update(TCollectionItem* Item) {
    // A change of the whole set may be a move, which decides between instructions of
    // one name.
    if (!Item && FDuplicateNames) FIndexValid = false;
    TBase::Update(Item);
    if (auto* E = Engine()) E->InstructionUpdate(static_cast<TAxGPInstruction<T>*>(Item));
}

template class TAxGPInstruction<TGAFloat>;
template class TAxGPInstruction<Variant>;
template class TAxGPInstructions<TGAFloat>;
template class TAxGPInstructions<Variant>;

} // namespace ax

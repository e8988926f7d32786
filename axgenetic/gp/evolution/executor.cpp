#include "axgenetic/gp/evolution/executor.hpp"

#include <istream>
#include <ostream>
#include <vector>

#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/gp/engine/program_xml.hpp"
#include "axgenetic/gp/evolution/genetic_programming.hpp"
#include "axgenetic/gp/evolution/gp_individual.hpp"
#include "axgenetic/gp/evolution/gp_persistence.hpp"
#include "axgenetic/platform/format.hpp"

namespace ax::generics {

template <class T>
TAxCustomGeneticProgrammingExecutor<T>::TAxCustomGeneticProgrammingExecutor(TComponent* AOwner)
    : TComponent(AOwner) {
    FInstructions = CreateInstructions(ClassOf<TAxGPInstruction<T>>());
}

template <class T> TAxCustomGeneticProgrammingExecutor<T>::~TAxCustomGeneticProgrammingExecutor() {
    // The program refers to the instructions, so it goes first.
    Destroying();
    FGPProgram.reset();
    FInstructions.reset();
}

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::RecreateInstructions() {
    FInstructions = CreateInstructions(FInstructions->ItemClass());
}

template <class T>
std::unique_ptr<TAxGPInstructions<T>>
TAxCustomGeneticProgrammingExecutor<T>::CreateInstructions(TCollectionItemClass ItemClass) {
    return std::make_unique<TAxGPInstructions<T>>(this, ItemClass);
}

template <class T>
typename TAxCustomGeneticProgrammingExecutor<T>::TNodePtr
TAxCustomGeneticProgrammingExecutor<T>::CreateNode(TInstruction* Instruction) {
    return std::make_unique<TAxGPTreeNode<T>>(Instruction);
}

template <class T>
bool TAxCustomGeneticProgrammingExecutor<T>::ProgramUses(const TInstruction* Instruction) const {
    if (!FGPProgram) return false;
    std::vector<const TNode*> Pending{FGPProgram.get()};
    while (!Pending.empty()) {
        const TNode* Node = Pending.back();
        Pending.pop_back();
        if (Node->Instruction() == Instruction) return true;
        for (int I = 0; I < Node->SlotCount(); ++I)
            if (const TNode* Child = Node->GetChild(I)) Pending.push_back(Child);
    }
    return false;
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::InstructionNotify(TInstruction* Instruction,
                                                               TCollectionNotification Action) {
    if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return;
    if (Action != TCollectionNotification::cnAdded && ProgramUses(Instruction)) {
        FGPProgram.reset();
        FGPProgramLines.Clear();
    }
}

// --- program ------------------------------------------------------------------------------

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::SetGPProgram(const TNode& Node) {
    TNodePtr Program = TranslateTree<T>(*this, Node);
    FGPProgram = std::move(Program);
    FGPProgramLines.Clear();
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SetInstructions(const TAxGPInstructions<T>& Value) {
    FInstructions->AssignAll(Value);
}

template <class T> TStringList& TAxCustomGeneticProgrammingExecutor<T>::GPProgramLines() {
    if (FGPProgramLines.Count() == 0 && FGPProgram) GenerateXML();
    return FGPProgramLines;
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SetGPProgramLines(const TStringList& Value) {
    FGPProgramLines.Assign(Value);
    if (ComponentState().Contains(TComponentStateFlag::csDesigning)) Parse();
}

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::GenerateXML() {
    if (!FGPProgram) return;
    const IXMLGPDomainType Domain = NewGPDomain();
    SaveProgramToXML(*FGPProgram, Domain.Population().Add().DNA());
    FGPProgramLines.SetText(SaveXMLDocumentToText(Domain.OwnerDocument()));
}

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::Parse() {
    if (FInstructions->Count() == 0) return;
    const std::string Text = FGPProgramLines.Text();
    if (Text.find_first_not_of(" \t\r\n") == std::string::npos) {
        FGPProgram.reset();
        return;
    }
    const TXMLDocumentPtr Document = LoadXMLDocumentFromText(Text);
    // Lines of the "Population" form are read as well as the domain form GenerateXML writes.
    IXMLNode Root = DocumentElement(Document);
    if (!Root.HasName(GPPopulationTag)) Root = BindDocumentElement(Document, GPDomainTag);
    const IXMLGPPopulation Population(Root.HasName(GPDomainTag) ? Root.FindChild("Population")
                                                                : Root);
    FGPProgram = ReadProgram(Population);
}

template <class T>
typename TAxCustomGeneticProgrammingExecutor<T>::TNodePtr
TAxCustomGeneticProgrammingExecutor<T>::ReadProgram(const IXMLGPPopulation& Population) {
    const IXMLIndividualType First(Population.FindChild("Individual"));
    if (!First) return nullptr;
    TNodePtr Program = CreateNode(FInstructions->Items(0));
    LoadProgramFromXML(*Program, IXMLDnaType(First.FindChild("DNA")));
    return Program;
}

template <class T> T TAxCustomGeneticProgrammingExecutor<T>::Execute(TAxGPContext<T>& Context) const {
    if (!FGPProgram) return T{};
    CheckHandlers();
    return FGPProgram->Execute(Context);
}

// A program loaded before the host gave its functions their handlers would evaluate to
// zero without a word; that is refused instead. Handlers are plain fields that change
// without notice, so the program is walked at every run (on a stack of its own: hosts may
// run one executor on several threads).
template <class T> void TAxCustomGeneticProgrammingExecutor<T>::CheckHandlers() const {
    std::vector<const TNode*> Pending{FGPProgram.get()};
    while (!Pending.empty()) {
        const TNode* Node = Pending.back();
        Pending.pop_back();
        if (const TInstruction* Instruction = Node->Instruction();
            Instruction && Instruction->Operation() == TGPGeneticInstruction::gpFunction &&
            !Instruction->OnExecute())
            throw EGPException(Format(SNoInstructionHandler, {Instruction->DisplayName()}));
        for (int I = 0; I < Node->SlotCount(); ++I)
            if (const TNode* Child = Node->GetChild(I)) Pending.push_back(Child);
    }
}

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::Assign(const TPersistent& Source) {
    if (&Source == this) return;
    if (const auto* From = dynamic_cast<const TAxCustomGeneticProgrammingExecutor*>(&Source)) {
        FGPProgram.reset();
        FInstructions->AssignAll(*From->FInstructions);
        if (From->FGPProgram) SetGPProgram(*From->FGPProgram);
        FGPProgramLines.Clear();
    } else if (const auto* Component =
                   dynamic_cast<const TAxCustomGeneticProgramming<T>*>(&Source)) {
        FGPProgram.reset();
        FInstructions->AssignAll(*Component->Instructions());
        if (const TAxGPIndividual<T>* Fittest = Component->FittestIndividual())
            if (Fittest->DNA()) SetGPProgram(*Fittest->DNA());
        FGPProgramLines.Clear();
    } else {
        TComponent::Assign(Source);
    }
}

// --- documents ---------------------------------------------------------------------------

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SaveToXML(const IXMLGPInstructions& Instructions) {
    FInstructions->SaveToXML(Instructions);
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SaveToXML(const IXMLGPDomainType& Domain) {
    SaveToXML(Domain.Instructions());
    if (FGPProgram) SaveProgramToXML(*FGPProgram, Domain.Population().Add().DNA());
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SaveToXML(const IXMLGeneticProgram& Document) {
    SaveToXML(Document.Domain());
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::LoadFromXML(const IXMLGPInstructions& Instructions) {
    FInstructions->LoadFromXML(Instructions);
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::LoadFromXML(const IXMLGPDomainType& Domain) {
    const IXMLGPInstructions Instructions(Domain.FindChild("Instructions"));
    const IXMLGPPopulation Population(Domain.FindChild("Population"));
    // Checked against the instructions the executor will hold: the document's, or its own.
    if (Instructions) {
        CheckGPDomainXML<T>(Domain, MaxChildrenOf<T>(*this));
    } else if (FInstructions->Count() != 0) {
        const auto Own = [this, Cache = TProgramInstructionCache<T>()](
                             std::string_view Name) mutable -> std::optional<TGPInstructionShape> {
            if (const TInstruction* Found = ProgramInstruction(*FInstructions, Name, Cache))
                return TGPInstructionShape{Found->Operation(), Found->Arity()};
            return std::nullopt;
        };
        for (const IXMLIndividualType Individual : Population.Individual())
            CheckProgramXML(IXMLDnaType(Individual.FindChild("DNA")), Own,
                            std::is_same_v<T, TGAFloat>, MaxChildrenOf<T>(*this));
    }
    if (Instructions) LoadFromXML(Instructions);
    if (FInstructions->Count() == 0) return;
    FGPProgram = ReadProgram(Population);
    FGPProgramLines.Clear();
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::LoadFromXML(const IXMLGeneticProgram& Document) {
    LoadFromXML(IXMLGPDomainType(Document.FindChild("Domain")));
}

template <class T> void TAxCustomGeneticProgrammingExecutor<T>::SaveToStream(std::ostream& Stream) {
    const IXMLGeneticProgram Root = NewGeneticProgram();
    SaveToXML(Root);
    SaveXMLDocument(Root.OwnerDocument(), Stream);
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::SaveToFile(const std::string& FileName) {
    SaveToFileSafely(FileName, [this](std::ostream& Stream) { SaveToStream(Stream); });
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::LoadFromStream(std::istream& Stream) {
    LoadFromXML(LoadGeneticProgram(Stream));
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::LoadFromFile(const std::string& FileName) {
    LoadFromXML(LoadGeneticProgram(FileName));
}

template <class T>
void TAxCustomGeneticProgrammingExecutor<T>::GetPublishedProperties(
    TPublishedProperties& List) const {
    TComponent::GetPublishedProperties(List);
    List.push_back(
        PublishedCollection("Instructions", &TAxCustomGeneticProgrammingExecutor::Instructions));
    // The program as its XML text, stored while there is one. It is read after the
    // instructions it names, and parsed as it is read: a streamed executor has its program.
    TPublishedProperty Lines;
    Lines.Name = "GPProgramLines";
    Lines.GetText = [](const TPersistent& Object) {
        auto& Executor = const_cast<TAxCustomGeneticProgrammingExecutor&>(
            dynamic_cast<const TAxCustomGeneticProgrammingExecutor&>(Object));
        return TStreamValue<std::string>::Text(Executor.GPProgramLines().Text());
    };
    Lines.SetText = [](TPersistent& Object, std::string_view Text) {
        auto& Executor = dynamic_cast<TAxCustomGeneticProgrammingExecutor&>(Object);
        TStringList Value;
        Value.SetText(TStreamValue<std::string>::Value(Text));
        Executor.FGPProgramLines.Assign(Value);
        Executor.Parse();
    };
    Lines.IsStored = [](const TPersistent& Object) {
        const auto& Executor = dynamic_cast<const TAxCustomGeneticProgrammingExecutor&>(Object);
        return Executor.FGPProgram != nullptr || Executor.FGPProgramLines.Count() != 0;
    };
    List.push_back(std::move(Lines));
}

template class TAxCustomGeneticProgrammingExecutor<TGAFloat>;
template class TAxCustomGeneticProgrammingExecutor<Variant>;

} // namespace ax::generics

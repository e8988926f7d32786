// The individuals and populations of genetic programming: one program tree per individual.
//
// An individual owns its tree and keeps a flat pre-order list of its nodes, so that a
// crossover or mutation point is one random index away. The tree surgeries here (Graft,
// Crossover) and the node choice (SelectNode) are what the operators of the GP component
// are built from.
//
// Trees always refer to the instructions of the component that owns the individual. A
// tree that arrives from elsewhere (SetDNA, AssignDNA, Assign from an individual of
// another component, Crossover with one) is rebuilt with this component's nodes and
// instructions: each foreign instruction is matched by its index when the instruction
// there has the same name (letter case ignored), else by its name; one that matches
// nothing raises EGPException SUnknownInstruction before the individual changes. So a
// component stays safe to evolve after the component its trees came from is destroyed.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <concepts>
#include <memory>
#include <string>
#include <vector>

#include "axgenetic/core/individual.hpp"
#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/engine.hpp"
#include "axgenetic/gp/engine/node.hpp"

namespace ax {

template <class T> class TAxGPPopulation;

// The instruction of Engine's set that stands for Instruction: Instruction itself when it
// belongs to the set (or is nullptr), else the set's instruction at its index when the
// names agree, else the one with its name. Raises EGPException SUnknownInstruction when
// none matches.
template <class T>
AXGENETIC_API TAxGPInstruction<T>* MapInstruction(IAxGeneticProgramEngine<T>& Engine,
                                                  TAxGPInstruction<T>* Instruction);
// True when every node of the tree refers to an instruction of Engine's set (or none).
template <class T>
AXGENETIC_API bool UsesEngineInstructions(IAxGeneticProgramEngine<T>& Engine,
                                          const TAxGPNode<T>& Root);
// A copy of the tree made of Engine's nodes and instructions (MapInstruction), each node
// with its source's value. Raises before anything is built when an instruction matches
// nothing.
template <class T>
AXGENETIC_API std::unique_ptr<TAxGPNode<T>> TranslateTree(IAxGeneticProgramEngine<T>& Engine,
                                                          const TAxGPNode<T>& Root);

// A member of a GP population: a program tree ("DNA") and its flattened node list.
template <class T> class AXGENETIC_API TAxGPIndividual : public TAxIndividual {
public:
    using TNode = TAxGPNode<T>;
    using TNodePtr = std::unique_ptr<TNode>;
    static constexpr const char* StaticClassName = "TAxGPIndividual";

    // The tree is made when the individual joins a population whose owner is a GP engine:
    // an empty root of the engine's node class. Until then DNA() is nullptr.
    TAxGPIndividual() = default;
    ~TAxGPIndividual() override;
    std::string ClassName() const override { return StaticClassName; }

    TAxGPPopulation<T>* Collection() const;
    // The owning component as an engine, or nullptr.
    IAxGeneticProgramEngine<T>* Engine() const;

    TNode* DNA() const { return FDNA.get(); }
    // Replaces the tree by a copy of Node (Node stays with the caller), then flattens.
    void SetDNA(const TNode& Node);
    // Takes Node over as the new tree (the old one is freed), then flattens. On an
    // exception Node stays with the caller and nothing changes.
    void AssignDNA(TNodePtr&& Node);
    // Every node of the tree in pre-order; valid after every change made through this
    // class or the GP component's operators. Built on the first read after a change (a
    // child is copied, crossed and mutated before anything reads it), so two threads must
    // not make that first read of one individual at the same time.
    const std::vector<TNode*>& FlattenedDNA() const;
    // Marks the flattened list for rebuilding and the fitness stale (without a change
    // report).
    virtual void FlattenDNA();
    // Prefetches the tree's nodes when their list is at hand (rebuilding it would walk the
    // tree, the very reads to hide).
    void Prefetch() const noexcept override;

    // From another GP individual: a copy of its tree (SetDNA), then its fitness,
    // freshness and name.
    void Assign(const TPersistent& Source) override;
    // The program's result for Context; zero (empty) without a tree.
    virtual T Execute(TAxGPContext<T>& Context) const;

    // Puts NewNode in Node's place (attached to Node's parent as by AddChild: after the
    // remaining children of a tree node, into the free slot of a binary node; or as the
    // new root) and hands Node back detached. Flattens. A Node that is not part of this
    // individual's tree raises EGPException SNodeNotInProgram and changes nothing.
    virtual TNodePtr Graft(TNode* Node, TNodePtr&& NewNode);
    // Swaps the subtree at Node (of this individual) with the one at OtherNode (of Other),
    // each attached to its new parent as by AddChild. Both individuals are flattened.
    // Raises EGPException before anything changes when Node is not part of this tree or
    // OtherNode not part of Other's (SNodeNotInProgram), or when Other is this individual
    // and one point lies inside the other (SCrossoverPointsNested).
    virtual void Crossover(TNode* Node, TAxGPIndividual& Other, TNode* OtherNode);
    // True when Node is a node of this individual's tree.
    bool Contains(const TNode* Node) const;

    // A crossover or mutation point: functions are preferred with chance Probability
    // (see DoSelectNode). nullptr without a tree.
    TNode* SelectNode(TGAProbability Probability);
    // The same among the nodes whose instruction is of one of the Operations kinds;
    // nullptr when there is none.
    TNode* SelectNode(TGAProbability Probability, TGPGeneticInstructions Operations);
    // A node drawn uniformly among those whose Size (BySize) or Depth is at most Limit;
    // nullptr when there is none.
    TNode* SelectNode(int Limit, bool BySize);
    // A fractional limit is a probability meant for the first form: SelectNode(0.9, true)
    // would silently ask for nodes of size 0. Refused at compile time.
    template <std::floating_point F> TNode* SelectNode(F, bool) = delete;

    // The display name, then ": " and the program's text when there is a tree.
    std::string ToString() const override;

protected:
    friend class TAxGPPopulation<T>;
    // The initial root: an empty node of the engine's node class (nullptr without one).
    virtual TNodePtr CreateDNA();
    // Draws nodes of List until one is accepted: a function once a single-precision sum of
    // draws exceeds 1 - Probability, a terminal once it exceeds Probability. The sum grows
    // at every try, so this ends for any list; Probability is taken within [0, 1].
    virtual TNode* DoSelectNode(const std::vector<TNode*>& List, TGAProbability Probability);

private:
    void Flatten(TNode* Root) const;
    static bool SplicedAfterSwap(const std::vector<TNode*>& List, const TNode* Point,
                                 const std::vector<TNode*>& IncomingList, const TNode* Incoming,
                                 std::vector<TNode*>& Result);
    // Graft without adopting NewNode, which already is a tree of this engine.
    TNodePtr Place(TNode* Node, TNodePtr&& NewNode);
    // Node as a tree of this individual's engine: itself when it already is one.
    TNodePtr Adopt(TNodePtr&& Node);

    TNodePtr FDNA;
    mutable std::vector<TNode*> FFlattenedDNA;
    mutable bool FFlattened = true;  // FFlattenedDNA is that of the current tree
    std::vector<TNode*> FCandidates; // reused by the filtered SelectNode forms
};

// The population of a GP component.
template <class T>
class AXGENETIC_API TAxGPPopulation : public TTypedCollection<TAxGPIndividual<T>, TAxPopulation> {
    using TBase = TTypedCollection<TAxGPIndividual<T>, TAxPopulation>;

public:
    explicit TAxGPPopulation(TPersistent* AOwner,
                             TAxIndividualClass ItemClass = ClassOf<TAxGPIndividual<T>>());
    std::string ClassName() const override { return "TAxGPPopulation"; }

    // The owner as a GP engine, or nullptr.
    IAxGeneticProgramEngine<T>* Engine() const { return FEngine; }

protected:
    // A joining individual gets its initial tree before the owner hears of it.
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

private:
    IAxGeneticProgramEngine<T>* FEngine;
};

extern template class AXGENETIC_API TAxGPIndividual<TGAFloat>;
extern template class AXGENETIC_API TAxGPIndividual<Variant>;
extern template class AXGENETIC_API TAxGPPopulation<TGAFloat>;
extern template class AXGENETIC_API TAxGPPopulation<Variant>;

} // namespace ax

// Memory for program-tree nodes.
//
// Evolution frees a generation's trees and copies as many new ones right after, and every
// walk of a tree (copying, freeing, compiling) visits its nodes one after the other. Nodes
// are therefore carved out of small aligned chunks, one block size per chunk, and a copy
// made in one go lies in consecutive cache lines instead of wherever a free list scattered
// the last generation's blocks: the processor streams it. A chunk whose blocks all came
// back starts again from its first block; a thread keeps up to 256 such chunks per block
// size for reuse.
//
// Each thread allocates from chunks of its own without locking. A block may be freed on any
// thread: one freed on a thread other than its chunk's owner waits under a lock until the
// owner takes it back, and the chunks of a thread that ended are freed by whichever thread
// frees their last block. Sanitizer builds use the general allocator, which sees every
// misuse. Taking and returning a block in the common case is inline (every copied node does
// both); the rest is in node_memory.cpp.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define AX_GP_NODE_CHUNKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AX_GP_NODE_CHUNKS 0
#endif
#endif
#ifndef AX_GP_NODE_CHUNKS
#define AX_GP_NODE_CHUNKS 1
#endif

namespace ax::detail {

// Blocks come in sizes of NodeGranule bytes up to MaxChunkNodeSize; larger nodes take the
// general allocator. A chunk of NodeChunkSize bytes, aligned to its size, starts with its
// header, so a block finds its chunk by rounding its address down.
inline constexpr std::size_t NodeGranule = 16, MaxChunkNodeSize = 256;
inline constexpr std::size_t NodeSizeClasses = MaxChunkNodeSize / NodeGranule;
inline constexpr std::size_t NodeChunkSize = 4096, NodeChunkHeader = 128;

constexpr std::size_t NodeSizeClass(std::size_t Size) {
    return (Size + NodeGranule - 1) / NodeGranule - 1;
}
constexpr std::size_t NodeBlockSize(std::size_t SizeClass) {
    return (SizeClass + 1) * NodeGranule;
}

struct TFreeNodeBlock {
    TFreeNodeBlock* Next;
};

struct TNodeHeap;
struct TNodeSlab;

// Where the next chunks are cut from: the rest of a slab, one general allocation that
// holds several chunks (an aligned allocation per chunk would cost as much again in
// padding). Slabs grow with a thread's use (SlabChunks, 0 before the first).
struct TNodeCarver {
    char* Next;
    std::uint32_t Left;
    std::uint32_t SlabChunks;
    TNodeSlab* Slab;
};

struct TNodeChunk {
    // The heap that allocates from this chunk; nullptr once its thread ended (the chunk is
    // then looked after under the lock).
    std::atomic<TNodeHeap*> Owner;
    TNodeSlab* Slab;
    TFreeNodeBlock* Free; // returned blocks, handed out first
    char* Bump;           // the never-used rest starts here
    char* End;
    std::uint32_t Live; // blocks handed out and not returned
    std::uint32_t SizeClass;
    std::uint32_t Half; // with at most this many blocks out, the chunk has room to offer
    bool Current;       // the heap allocates from it now
    bool Listed;        // in the heap's list of chunks with room (Live > 0) or of empty ones
    TNodeChunk* Prev;
    TNodeChunk* Next;
    TNodeChunk* AllPrev; // every chunk of the heap
    TNodeChunk* AllNext;
    // Under the lock: blocks freed on other threads, and the owner's list of such chunks.
    TFreeNodeBlock* Remote;
    TNodeChunk* RemoteNext;
    bool RemotePending;
};
static_assert(sizeof(TNodeChunk) <= NodeChunkHeader);

// One thread's chunks. Trivially destructible, so it can still be read while the thread's
// other objects are destroyed: Closed then hands every chunk still in use to the lock.
// Armed once the thread has registered that closing at its end.
struct TNodeHeap {
    TNodeChunk* Current[NodeSizeClasses];
    TNodeChunk* Partial[NodeSizeClasses]; // chunks at most half in use
    TNodeChunk* Empty[NodeSizeClasses];
    std::uint32_t EmptyCount[NodeSizeClasses];
    TNodeChunk* All;
    TNodeCarver Carver;
    std::atomic<bool> HasRemote; // some chunk holds blocks freed on another thread
    TNodeChunk* RemoteChunks;    // under the lock
    bool Armed;
    bool Closed;
};

#if AX_GP_NODE_CHUNKS
extern AXGENETIC_API constinit thread_local TNodeHeap NodeHeap;

inline TNodeChunk* ChunkOf(void* Block) {
    return reinterpret_cast<TNodeChunk*>(reinterpret_cast<std::uintptr_t>(Block) &
                                         ~std::uintptr_t{NodeChunkSize - 1});
}
#endif

AXGENETIC_API void* AllocateNodeSlow(std::size_t Size);
AXGENETIC_API void FreeNodeSlow(void* Block, std::size_t Size) noexcept;

// Asks the processor to start fetching a node's first cache line.
inline void PrefetchNode(const void* Node) noexcept {
#if defined(__GNUC__)
    __builtin_prefetch(Node);
#else
    (void)Node;
#endif
}

inline void* AllocateNode(std::size_t Size) {
#if AX_GP_NODE_CHUNKS
    if (Size <= MaxChunkNodeSize) {
        const std::size_t C = NodeSizeClass(Size);
        if (TNodeChunk* Chunk = NodeHeap.Current[C]) {
            if (TFreeNodeBlock* Block = Chunk->Free) {
                Chunk->Free = Block->Next;
                ++Chunk->Live;
                return Block;
            }
            if (static_cast<std::size_t>(Chunk->End - Chunk->Bump) >= NodeBlockSize(C)) {
                void* Block = Chunk->Bump;
                Chunk->Bump += NodeBlockSize(C);
                ++Chunk->Live;
                return Block;
            }
        }
    }
#endif
    return AllocateNodeSlow(Size);
}

inline void FreeNode(void* Block, std::size_t Size) noexcept {
#if AX_GP_NODE_CHUNKS
    if (Size <= MaxChunkNodeSize) {
        TNodeChunk* Chunk = ChunkOf(Block);
        // The owner's own block, when the chunk changes no list: it keeps blocks in use,
        // and it is the current one, already listed, or still more than half in use.
        if (Chunk->Owner.load(std::memory_order_relaxed) == &NodeHeap && Chunk->Live > 1 &&
            (Chunk->Current || Chunk->Listed || Chunk->Live - 1 > Chunk->Half)) {
            Chunk->Free = new (Block) TFreeNodeBlock{Chunk->Free};
            --Chunk->Live;
            return;
        }
    }
#endif
    FreeNodeSlow(Block, Size);
}

} // namespace ax::detail

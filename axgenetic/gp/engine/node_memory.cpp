#include "axgenetic/gp/engine/node_memory.hpp"

#include <algorithm>
#include <mutex>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace ax::detail {

#if AX_GP_NODE_CHUNKS
constinit thread_local TNodeHeap NodeHeap{};

// A slab: its memory, and its chunks in use plus one while chunks are still cut from it.
struct TNodeSlab {
    void* Memory;
    std::size_t Alignment;
    std::atomic<std::uint32_t> Used;
};

namespace {

// Blocks of a chunk of this size class that fit in it.
constexpr std::uint32_t ChunkCapacity(std::size_t SizeClass) {
    return static_cast<std::uint32_t>((NodeChunkSize - NodeChunkHeader) / NodeBlockSize(SizeClass));
}

// Empty chunks a thread keeps per block size (1 MiB); more go back to the general
// allocator.
constexpr std::uint32_t MaxEmptyChunks = 256;

// Guards blocks freed on a thread other than their chunk's owner, the chunks of threads
// that ended, and the heap of threads past their end (Orphans).
std::mutex& Lock() {
    static std::mutex M;
    return M;
}

// A thread's first slab holds 64 KiB of chunks, each next one four times as much up to
// 2 MiB, which the system may back with one large page: where a fault per 4 KiB page costs
// microseconds, as on virtual machines, faults would otherwise cost more than the copies
// that fill the pages.
constexpr std::uint32_t FirstSlabChunks = 16, MaxSlabChunks = 512;
constexpr std::size_t LargePage = MaxSlabChunks * NodeChunkSize;

// Allocates for threads whose heap is closed (objects destroyed after it that still make
// nodes); its chunks have no owner from the start. Under the lock.
TNodeChunk* OrphanCurrent[NodeSizeClasses];
TNodeCarver OrphanCarver;

void ReleaseSlab(TNodeSlab* Slab) noexcept {
    if (Slab && Slab->Used.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        ::operator delete (Slab->Memory, std::align_val_t{Slab->Alignment});
        delete Slab;
    }
}

void Link(TNodeChunk*& Head, TNodeChunk* Chunk) {
    Chunk->Prev = nullptr;
    Chunk->Next = Head;
    if (Head) Head->Prev = Chunk;
    Head = Chunk;
    Chunk->Listed = true;
}

void Unlink(TNodeChunk*& Head, TNodeChunk* Chunk) {
    if (Chunk->Prev)
        Chunk->Prev->Next = Chunk->Next;
    else
        Head = Chunk->Next;
    if (Chunk->Next) Chunk->Next->Prev = Chunk->Prev;
    Chunk->Listed = false;
}

void Reset(TNodeChunk* Chunk) {
    Chunk->Free = nullptr;
    Chunk->Bump = reinterpret_cast<char*>(Chunk) + NodeChunkHeader;
}

TNodeChunk* NewChunk(TNodeCarver& Carver, TNodeHeap* Owner, std::size_t SizeClass) {
    if (Carver.Left == 0) {
        const std::uint32_t Chunks = Carver.SlabChunks == 0
                                         ? FirstSlabChunks
                                         : std::min(Carver.SlabChunks * 4, MaxSlabChunks);
        const std::size_t Bytes = Chunks * NodeChunkSize;
        const std::size_t Alignment = Bytes == LargePage ? LargePage : NodeChunkSize;
        auto* Slab = new TNodeSlab{nullptr, Alignment, 1};
        try {
            Slab->Memory = ::operator new (Bytes, std::align_val_t{Alignment});
        } catch (...) {
            delete Slab;
            throw;
        }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (Bytes == LargePage) madvise(Slab->Memory, Bytes, MADV_HUGEPAGE); // a hint only
#endif
        ReleaseSlab(Carver.Slab);
        Carver = {static_cast<char*>(Slab->Memory), Chunks, Chunks, Slab};
    }
    auto* Chunk = new (Carver.Next) TNodeChunk{};
    Carver.Next += NodeChunkSize;
    --Carver.Left;
    Carver.Slab->Used.fetch_add(1, std::memory_order_relaxed);
    Chunk->Slab = Carver.Slab;
    Chunk->Owner.store(Owner, std::memory_order_relaxed);
    Chunk->SizeClass = static_cast<std::uint32_t>(SizeClass);
    Chunk->Half = ChunkCapacity(SizeClass) / 2;
    Chunk->End = reinterpret_cast<char*>(Chunk) + NodeChunkHeader +
                 ChunkCapacity(SizeClass) * NodeBlockSize(SizeClass);
    Reset(Chunk);
    return Chunk;
}

void DeleteChunk(TNodeChunk* Chunk) noexcept {
    TNodeSlab* Slab = Chunk->Slab;
    Chunk->~TNodeChunk();
    ReleaseSlab(Slab);
}

// A block of the calling thread's own chunk comes back.
void OwnerFree(TNodeHeap& Heap, TNodeChunk* Chunk, void* Block) noexcept {
    Chunk->Free = new (Block) TFreeNodeBlock{Chunk->Free};
    const std::size_t C = Chunk->SizeClass;
    if (--Chunk->Live == 0) {
        // Empty: the next blocks are handed out in order again.
        Reset(Chunk);
        if (Chunk->Current) return;
        if (Chunk->Listed) Unlink(Heap.Partial[C], Chunk);
        if (Heap.EmptyCount[C] < MaxEmptyChunks) {
            Link(Heap.Empty[C], Chunk);
            ++Heap.EmptyCount[C];
            return;
        }
        if (Chunk->AllPrev)
            Chunk->AllPrev->AllNext = Chunk->AllNext;
        else
            Heap.All = Chunk->AllNext;
        if (Chunk->AllNext) Chunk->AllNext->AllPrev = Chunk->AllPrev;
        DeleteChunk(Chunk);
    } else if (!Chunk->Current && !Chunk->Listed && Chunk->Live <= Chunk->Half) {
        Link(Heap.Partial[C], Chunk);
    }
}

// Takes back the blocks other threads freed in the heap's chunks. Under the lock.
void TakeBackLocked(TNodeHeap& Heap) noexcept {
    Heap.HasRemote.store(false, std::memory_order_relaxed);
    TNodeChunk* Chunk = Heap.RemoteChunks;
    Heap.RemoteChunks = nullptr;
    while (Chunk) {
        TNodeChunk* Next = Chunk->RemoteNext;
        TFreeNodeBlock* Block = Chunk->Remote;
        Chunk->Remote = nullptr;
        Chunk->RemoteNext = nullptr;
        Chunk->RemotePending = false;
        while (Block) {
            TFreeNodeBlock* NextBlock = Block->Next;
            OwnerFree(Heap, Chunk, Block); // may free the chunk: read nothing of it after
            Block = NextBlock;
        }
        Chunk = Next;
    }
}

// A block of a chunk whose thread ended. Under the lock.
void OrphanFree(TNodeChunk* Chunk, void* Block) noexcept {
    Chunk->Free = new (Block) TFreeNodeBlock{Chunk->Free};
    if (--Chunk->Live == 0 && !Chunk->Current) DeleteChunk(Chunk);
}

// At the thread's end: empty chunks go, the others are left to the lock until their last
// block comes back.
void CloseHeap() noexcept {
    TNodeHeap& Heap = NodeHeap;
    std::lock_guard Guard(Lock());
    TakeBackLocked(Heap);
    TNodeChunk* Chunk = Heap.All;
    while (Chunk) {
        TNodeChunk* Next = Chunk->AllNext;
        if (Chunk->Live == 0) {
            DeleteChunk(Chunk);
        } else {
            Chunk->Current = false;
            Chunk->Listed = false;
            Chunk->Owner.store(nullptr, std::memory_order_relaxed);
        }
        Chunk = Next;
    }
    for (std::size_t C = 0; C < NodeSizeClasses; ++C) {
        Heap.Current[C] = Heap.Partial[C] = Heap.Empty[C] = nullptr;
        Heap.EmptyCount[C] = 0;
    }
    Heap.All = nullptr;
    ReleaseSlab(Heap.Carver.Slab);
    Heap.Carver = {};
    Heap.Closed = true;
}

struct THeapClose {
    ~THeapClose() { CloseHeap(); }
};

// A block from an ownerless chunk, for a thread past its end.
void* OrphanAllocate(std::size_t C) {
    std::lock_guard Guard(Lock());
    TNodeChunk*& Chunk = OrphanCurrent[C];
    if (!Chunk || (!Chunk->Free && Chunk->Bump == Chunk->End)) {
        if (Chunk) Chunk->Current = false; // full: its last free deletes it
        Chunk = NewChunk(OrphanCarver, nullptr, C);
        Chunk->Current = true;
    }
    ++Chunk->Live;
    if (TFreeNodeBlock* Block = Chunk->Free) {
        Chunk->Free = Block->Next;
        return Block;
    }
    void* Block = Chunk->Bump;
    Chunk->Bump += NodeBlockSize(C);
    return Block;
}

} // namespace

void* AllocateNodeSlow(std::size_t Size) {
    if (Size > MaxChunkNodeSize) return ::operator new(Size);
    const std::size_t C = NodeSizeClass(Size);
    TNodeHeap& Heap = NodeHeap;
    if (Heap.Closed) return OrphanAllocate(C);
    if (!Heap.Armed) {
        thread_local THeapClose Close;
        Heap.Armed = true;
    }
    if (Heap.HasRemote.load(std::memory_order_relaxed)) {
        std::lock_guard Guard(Lock());
        TakeBackLocked(Heap);
    }
    TNodeChunk* Chunk = Heap.Current[C];
    if (!Chunk || (!Chunk->Free && Chunk->Bump == Chunk->End)) {
        // The current chunk is full: an empty chunk streams best, then one with room.
        if (Chunk) Chunk->Current = false;
        if ((Chunk = Heap.Empty[C])) {
            Unlink(Heap.Empty[C], Chunk);
            --Heap.EmptyCount[C];
        } else if ((Chunk = Heap.Partial[C])) {
            Unlink(Heap.Partial[C], Chunk);
        } else {
            Chunk = NewChunk(Heap.Carver, &Heap, C);
            Chunk->AllNext = Heap.All;
            if (Heap.All) Heap.All->AllPrev = Chunk;
            Heap.All = Chunk;
        }
        Chunk->Current = true;
        Heap.Current[C] = Chunk;
    }
    return AllocateNode(Size);
}

void FreeNodeSlow(void* Block, std::size_t Size) noexcept {
    if (Size > MaxChunkNodeSize) {
        ::operator delete(Block);
        return;
    }
    TNodeChunk* Chunk = ChunkOf(Block);
    TNodeHeap* Owner = Chunk->Owner.load(std::memory_order_relaxed);
    if (Owner == &NodeHeap) {
        OwnerFree(NodeHeap, Chunk, Block);
        return;
    }
    std::lock_guard Guard(Lock());
    Owner = Chunk->Owner.load(std::memory_order_relaxed); // may have ended meanwhile
    if (!Owner) {
        OrphanFree(Chunk, Block);
        return;
    }
    Chunk->Remote = new (Block) TFreeNodeBlock{Chunk->Remote};
    if (!Chunk->RemotePending) {
        Chunk->RemotePending = true;
        Chunk->RemoteNext = Owner->RemoteChunks;
        Owner->RemoteChunks = Chunk;
    }
    Owner->HasRemote.store(true, std::memory_order_relaxed);
}

#else

void* AllocateNodeSlow(std::size_t Size) {
    return ::operator new(Size);
}
void FreeNodeSlow(void* Block, std::size_t) noexcept {
    ::operator delete(Block);
}

#endif

} // namespace ax::detail

// Block allocator of equal-size slots under the record lists and name maps. Records never
// cost a heap allocation of their own. The rules:
//   - a new block holds total/16 slots (total = slots in all blocks held now) rounded down to
//     a multiple of 16, raised to at least 16 and lowered to at most 65536;
//     when the heap refuses a block of that size, a block of exactly one slot;
//   - slots come from the first block with room, the most recently freed slot first, else
//     the next never-used slot of that block;
//   - a block goes back to the heap as soon as every slot it handed out is free again;
//   - slots of a whole number of cache lines (particle records: 64 bytes) start on a line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pp {

// Where the pool's blocks come from; tests substitute a heap that refuses large blocks.
struct BlockHeap {
    void* (*Allocate)(size_t bytes);  // nullptr when out of memory
    void (*Free)(void* block);
};

// malloc / free.
const BlockHeap& DefaultBlockHeap();

class RecordPool {
  public:
    // Slots carry payloadSize bytes aligned to payloadAlign (at most alignof(max_align_t)).
    RecordPool(size_t payloadSize, size_t payloadAlign, const BlockHeap& heap = DefaultBlockHeap());
    ~RecordPool() { ReleaseAll(); }
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;

    // Uninitialised payload memory, or nullptr when even a one-slot block cannot be had.
    void* Allocate();
    // Takes back a payload handed out by this pool; may give its block back to the heap.
    void Release(void* payload);
    // Gives every block back to the heap at once, without visiting slots; the pool stays usable.
    void ReleaseAll();

    // Slots in all blocks held now.
    int32_t Total() const { return total_; }
    // Blocks held now (with room and full).
    int32_t BlockCount() const;
    // Heap bytes of all blocks held now: headers, slots in use, free slots.
    size_t BytesHeld() const;

  private:
    struct Block;
    void* TakeSlot(Block* block);
    Block* CreateBlock();
    Block* PlaceBlock(size_t slots);
    static void Unlink(Block*& chain, Block* block);
    static void PushFront(Block*& chain, Block* block);

    Block* room_ = nullptr;  // blocks with at least one slot to give
    Block* full_ = nullptr;  // blocks with none
    size_t payloadOffset_;   // from the slot start (after the owner reference) to the payload
    size_t stride_;          // bytes per slot
    size_t headerSize_;      // block header, padded to the slot alignment
    size_t alignSlack_ = 0;  // extra heap bytes that let a block start on a cache line
    int32_t total_ = 0;
    int32_t blocks_ = 0;
    const BlockHeap* heap_;
};

}  // namespace pp

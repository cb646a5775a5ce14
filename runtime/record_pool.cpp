#include "runtime/record_pool.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace pp {
namespace {

constexpr int32_t kMinimumBlock = 16;
constexpr int32_t kMaximumBlock = 65536;
// Slots whose size is a whole number of cache lines start on a line, so that a record never
// straddles two lines: a pass over a particle list (64-byte slots) touches one line per record.
constexpr size_t kCacheLine = 64;

size_t RoundUp(size_t value, size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

void* HeapAllocate(size_t bytes) {
    return std::malloc(bytes);
}
void HeapFree(void* block) {
    std::free(block);
}

const BlockHeap kDefaultHeap{HeapAllocate, HeapFree};

}  // namespace

// Header in front of the block's slots. Each slot starts with a reference to its block so
// that a release finds its block in constant time.
struct RecordPool::Block {
    void* heapBlock;  // what the heap handed out; the block may start a little into it
    Block* next;
    Block* prev;
    void* freed;         // last freed payload; each freed payload holds the previous one
    int32_t capacity;    // slots in this block
    int32_t handedOut;   // slots taken from the never-used tail so far
    int32_t freedCount;  // slots on the freed chain
};

const BlockHeap& DefaultBlockHeap() {
    return kDefaultHeap;
}

RecordPool::RecordPool(size_t payloadSize, size_t payloadAlign, const BlockHeap& heap)
    : heap_(&heap) {
    assert(payloadAlign != 0 && payloadAlign <= alignof(std::max_align_t) &&
           "RecordPool payloads must not need more than malloc's alignment");
    size_t align = payloadAlign < alignof(Block*) ? alignof(Block*) : payloadAlign;
    // A freed payload stores the freed-chain link, so it holds at least one pointer.
    if (payloadSize < sizeof(void*)) payloadSize = sizeof(void*);
    payloadOffset_ = RoundUp(sizeof(Block*), align);
    stride_ = RoundUp(payloadOffset_ + payloadSize, align);
    headerSize_ = RoundUp(sizeof(Block), align);
    if (stride_ % kCacheLine == 0) {
        headerSize_ = RoundUp(headerSize_, kCacheLine);
        alignSlack_ = kCacheLine - 1;
    }
}

int32_t RecordPool::BlockCount() const {
    return blocks_;
}

size_t RecordPool::BytesHeld() const {
    return static_cast<size_t>(blocks_) * (alignSlack_ + headerSize_) +
           static_cast<size_t>(total_) * stride_;
}

void RecordPool::Unlink(Block*& chain, Block* block) {
    if (block->prev != nullptr) {
        block->prev->next = block->next;
    } else {
        chain = block->next;
    }
    if (block->next != nullptr) block->next->prev = block->prev;
    block->next = block->prev = nullptr;
}

void RecordPool::PushFront(Block*& chain, Block* block) {
    block->prev = nullptr;
    block->next = chain;
    if (chain != nullptr) chain->prev = block;
    chain = block;
}

RecordPool::Block* RecordPool::PlaceBlock(size_t slots) {
    void* memory = heap_->Allocate(alignSlack_ + headerSize_ + stride_ * slots);
    if (memory == nullptr) return nullptr;
    auto address = reinterpret_cast<uintptr_t>(memory);
    address = (address + alignSlack_) & ~static_cast<uintptr_t>(alignSlack_);
    Block* block = reinterpret_cast<Block*>(address);
    block->heapBlock = memory;
    return block;
}

RecordPool::Block* RecordPool::CreateBlock() {
    int32_t capacity = total_ / 16 / 16 * 16;
    if (capacity < kMinimumBlock) capacity = kMinimumBlock;
    if (capacity > kMaximumBlock) capacity = kMaximumBlock;
    // stride_ is a record's size and capacity at most 65536, so this cannot overflow size_t
    // for any record type that fits in memory; the check keeps it honest anyway.
    Block* block = nullptr;
    if (stride_ <= (SIZE_MAX - headerSize_ - alignSlack_) / static_cast<size_t>(capacity)) {
        block = PlaceBlock(static_cast<size_t>(capacity));
    }
    if (block == nullptr) {
        capacity = 1;
        block = PlaceBlock(1);
        if (block == nullptr) return nullptr;
    }
    block->next = block->prev = nullptr;
    block->freed = nullptr;
    block->capacity = capacity;
    block->handedOut = 0;
    block->freedCount = 0;
    total_ += capacity;
    ++blocks_;
    return block;
}

void* RecordPool::TakeSlot(Block* block) {
    unsigned char* payload;
    if (block->freed != nullptr) {
        payload = static_cast<unsigned char*>(block->freed);
        std::memcpy(&block->freed, payload, sizeof(void*));
        --block->freedCount;
    } else {
        unsigned char* slot = reinterpret_cast<unsigned char*>(block) + headerSize_ +
                              stride_ * static_cast<size_t>(block->handedOut);
        ++block->handedOut;
        std::memcpy(slot, &block, sizeof(Block*));
        payload = slot + payloadOffset_;
    }
    return payload;
}

void* RecordPool::Allocate() {
    Block* block = room_;
    if (block != nullptr) {
        void* payload = TakeSlot(block);
        if (block->freedCount == 0 && block->handedOut == block->capacity) {
            Unlink(room_, block);
            PushFront(full_, block);
        }
        return payload;
    }
    block = CreateBlock();
    if (block == nullptr) return nullptr;
    void* payload = TakeSlot(block);
    if (block->capacity == 1) {
        PushFront(full_, block);
    } else {
        PushFront(room_, block);
    }
    return payload;
}

void RecordPool::Release(void* payload) {
    if (payload == nullptr) return;
    unsigned char* slot = static_cast<unsigned char*>(payload) - payloadOffset_;
    Block* block;
    std::memcpy(&block, slot, sizeof(Block*));
    std::memcpy(payload, &block->freed, sizeof(void*));
    block->freed = payload;
    ++block->freedCount;
    bool wasFull = block->handedOut == block->capacity && block->freedCount == 1;
    if (block->freedCount == block->handedOut) {
        // Every slot it handed out is back: the block returns to the heap at once.
        Unlink(wasFull ? full_ : room_, block);
        total_ -= block->capacity;
        --blocks_;
        heap_->Free(block->heapBlock);
    } else if (wasFull) {
        Unlink(full_, block);
        PushFront(room_, block);
    }
}

void RecordPool::ReleaseAll() {
    for (Block* chain : {room_, full_}) {
        while (chain != nullptr) {
            Block* next = chain->next;
            heap_->Free(chain->heapBlock);
            chain = next;
        }
    }
    room_ = full_ = nullptr;
    total_ = 0;
    blocks_ = 0;
}

}  // namespace pp

// Ordered list of plain records with one cursor, held in one contiguous array: the calls and
// cursor rules of RecordList (ListInsert, ListRewind, ListNext, ListRemove, ListRemoveAll,
// ListVisitRemoving, ListVisit; see record_list.h) for lists whose every pass walks all records
// and whose records are born at the end, such as the particle lists. A walk is a stream through
// memory instead of a chain of links, and a record costs its own bytes and no more.
//   - ListInsert behind a cursor on the last record appends (amortised constant time); behind
//     any other cursor, or in front when there is none, the records after it move up one;
//   - ListRemove closes the gap, and ListVisitRemoving closes all gaps in one pass; survivors
//     keep their order;
//   - pointers and references to records are valid until the next insertion or removal on
//     that list (ListInsert, ListRemove, ListRemoveAll, ListVisitRemoving): any of them may
//     move the records. Walk with the cursor, not with kept pointers;
//   - memory: the array grows by half when full (at least 16 records) and is given back when
//     the list empties; when more than 8/5 of the records it holds would fit, it shrinks to
//     5/4 of them. Beyond 16 records a list thus never holds more than 8/5 of its records'
//     bytes after a removal pass, and at most 3/2 after a growth;
//   - an insertion that cannot grow the array, not even by one record, returns nullptr and
//     leaves the list as it was; a refused shrink keeps the larger array.
// Records must be trivially copyable: they move with memmove and realloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace pp {

// Where a list's array comes from; tests substitute a heap that refuses to grow.
struct ArrayHeap {
    // realloc: a block of `bytes` (never 0) holding the old block's first bytes, or nullptr
    // with the old block untouched.
    void* (*Resize)(void* block, size_t bytes);
    void (*Free)(void* block);
};

// realloc / free.
inline const ArrayHeap& DefaultArrayHeap() {
    static constexpr ArrayHeap kHeap{
        [](void* block, size_t bytes) { return std::realloc(block, bytes); },
        [](void* block) { std::free(block); }};
    return kHeap;
}

template <class T>
class RecordArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "records of a RecordArray move with memmove and realloc");

  public:
    static constexpr int32_t kMinCapacity = 16;

    explicit RecordArray(const ArrayHeap& heap = DefaultArrayHeap()) : heap_(&heap) {}
    ~RecordArray() { RemoveAll(); }
    RecordArray(const RecordArray&) = delete;
    RecordArray& operator=(const RecordArray&) = delete;

    // The current record, or nullptr when the cursor stands before the first record.
    T* Cursor() const { return cursor_ >= 0 ? data_ + cursor_ : nullptr; }
    T* First() const { return count_ > 0 ? data_ : nullptr; }
    T* Last() const { return count_ > 0 ? data_ + (count_ - 1) : nullptr; }
    int32_t Count() const { return count_; }
    // Records the array has room for now.
    int32_t Capacity() const { return capacity_; }
    // Heap bytes of the array (the allocator's own bookkeeping aside).
    size_t BytesHeld() const { return static_cast<size_t>(capacity_) * sizeof(T); }

    // See ListInsert and friends below.
    T* Insert();
    void Rewind() { cursor_ = -1; }
    T* Next() {
        const int32_t next = cursor_ + 1;
        if (next >= count_) return nullptr;
        cursor_ = next;
        return data_ + next;
    }
    // The record Next would yield, without moving the cursor; nullptr at the end.
    T* Peek() const { return cursor_ + 1 < count_ ? data_ + (cursor_ + 1) : nullptr; }
    void Remove();
    void RemoveAll();
    template <class Rewriter>
    bool RewriteRemoving(Rewriter&& rewrite);
    // RewriteRemoving in chunks that may run at the same time: RewriteChunk compacts chunk k
    // of `chunks` (records [Count() * k / chunks, Count() * (k + 1) / chunks)) in place and
    // returns the end of its survivors; rewrite must then write nothing but `place`. JoinChunks
    // joins them, given every chunk's end in order, so that the records, their order and the
    // cursor come out as RewriteRemoving leaves them. chunks is at least 2 and at most Count()
    // and kMaxChunks.
    template <class Rewriter>
    T* RewriteChunk(size_t k, size_t chunks, Rewriter& rewrite) {
        return CompactRange(ChunkBegin(k, chunks), ChunkBegin(k + 1, chunks), rewrite);
    }
    void JoinChunks(size_t chunks, T* const* kept);
    // RewriteRemoving and RewriteChunk with the whole pass handed over: compact(begin, end)
    // rewrites records [begin, end) in place, leaving the removed ones out as the rewriting pass
    // does, and returns the end of those it keeps (for a pass compiled for other instructions).
    template <class Compact>
    bool CompactRemoving(Compact&& compact);
    template <class Compact>
    T* CompactChunk(size_t k, size_t chunks, Compact&& compact) {
        return compact(ChunkBegin(k, chunks), ChunkBegin(k + 1, chunks));
    }
    // Puts the cursor on the last record, as a walk to the end does.
    void CursorToLast() { cursor_ = count_ - 1; }
    // Keeps the first `count` records (all when count is not below Count()) and puts the
    // cursor on the last one, giving memory back as a removal does: for a list whose records
    // were compacted in step with another list's.
    void Truncate(int32_t count) {
        if (count < count_) count_ = count < 0 ? 0 : count;
        cursor_ = count_ - 1;
        ShrinkIfSparse();
    }
    template <class Visitor>
    bool VisitRemoving(Visitor&& visit);
    template <class Visitor>
    void VisitAll(Visitor&& visit);

    static constexpr size_t kMaxChunks = 1024;

  private:
    T* ChunkBegin(size_t k, size_t chunks) const {
        return data_ + static_cast<size_t>(static_cast<uint64_t>(count_) * k / chunks);
    }
    template <class Rewriter>
    static T* CompactRange(T* begin, T* end, Rewriter& rewrite);
    static constexpr int32_t kMaxCapacity = SIZE_MAX / sizeof(T) < static_cast<size_t>(INT32_MAX)
                                                ? static_cast<int32_t>(SIZE_MAX / sizeof(T))
                                                : INT32_MAX;
    bool Grow();
    bool Resize(int32_t capacity);
    void ShrinkIfSparse();

    T* data_ = nullptr;
    const ArrayHeap* heap_;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    int32_t cursor_ = -1;  // index of the current record; -1 before the first
};

// A new zeroed record behind the cursor, which moves onto it; nullptr only when the array
// cannot grow by even one record (the list is then unchanged).
template <class T>
T* ListInsert(RecordArray<T>& list) {
    return list.Insert();
}

// Puts the cursor before the first record; moves and releases nothing.
template <class T>
void ListRewind(RecordArray<T>& list) {
    list.Rewind();
}

// The record after the cursor (the first one when there is no cursor), or nullptr at the end,
// where the cursor stays on the last record.
template <class T>
T* ListNext(RecordArray<T>& list) {
    return list.Next();
}

// Removes the cursor record and steps the cursor back; does nothing without a cursor. The
// records after it move down one.
template <class T>
void ListRemove(RecordArray<T>& list) {
    list.Remove();
}

// Removes every record and gives the array back; the list stays usable, empty, cursor none.
template <class T>
void ListRemoveAll(RecordArray<T>& list) {
    list.RemoveAll();
}

// The pass ListRewind + ListNext with ListRemove of the records for which visit(record) returns
// true, in one tight loop: every record once, in order, with the same cursor afterwards (on
// the last record, none when the list ended empty). visit works on a copy of the record that
// the pass stores back into its place when it stays, so the record's changes are kept but its
// address is not the record's place in the list. visit must not touch the list. Returns
// whether the list held any record when the pass began.
template <class T, class Visitor>
bool ListVisitRemoving(RecordArray<T>& list, Visitor&& visit) {
    return list.VisitRemoving(visit);
}

// ListVisitRemoving for a visitor that writes each record itself, with no copy in between:
// rewrite(record, place) reads the record and writes its new state to `place`, which is the
// record's own place or an earlier one, and returns whether the record is removed instead (what
// it wrote there is then dropped). rewrite must read all of the record before it writes to
// `place`, and must not touch the list.
template <class T, class Rewriter>
bool ListRewriteRemoving(RecordArray<T>& list, Rewriter&& rewrite) {
    return list.RewriteRemoving(rewrite);
}

// The pass ListRewind + ListNext to the end, calling visit(record) for every record in order:
// the cursor ends on the last record, as after that pass. visit must not touch the list.
template <class T, class Visitor>
void ListVisit(RecordArray<T>& list, Visitor&& visit) {
    list.VisitAll(visit);
}

template <class T>
T* RecordArray<T>::Insert() {
    if (count_ == capacity_ && !Grow()) return nullptr;
    const int32_t at = cursor_ + 1;
    T* slot = data_ + at;
    if (at < count_) {
        std::memmove(static_cast<void*>(slot + 1), static_cast<const void*>(slot),
                     static_cast<size_t>(count_ - at) * sizeof(T));
    }
    std::memset(static_cast<void*>(slot), 0, sizeof(T));
    ::new (static_cast<void*>(slot)) T();
    ++count_;
    cursor_ = at;
    return slot;
}

template <class T>
void RecordArray<T>::Remove() {
    if (cursor_ < 0) return;
    T* slot = data_ + cursor_;
    std::memmove(static_cast<void*>(slot), static_cast<const void*>(slot + 1),
                 static_cast<size_t>(count_ - cursor_ - 1) * sizeof(T));
    --count_;
    --cursor_;
    ShrinkIfSparse();
}

template <class T>
void RecordArray<T>::RemoveAll() {
    if (data_ != nullptr) heap_->Free(data_);
    data_ = nullptr;
    count_ = capacity_ = 0;
    cursor_ = -1;
}

// Up to the first removal every record is written in its own place, an address known before
// the record's tests are done, so the stores never wait for them. From there on, stable
// compaction without a branch per record: every record is written at the write position, which
// moves on only past a survivor. The write position never passes the read position, so nothing
// unread is overwritten. Returns the end of the survivors.
template <class T>
template <class Rewriter>
T* RecordArray<T>::CompactRange(T* begin, T* end, Rewriter& rewrite) {
    T* out = begin;
    while (out != end && !rewrite(*out, *out)) ++out;
    if (out != end) {
        for (const T* in = out + 1; in != end; ++in) {
            const bool removed = rewrite(*in, *out);
            out += removed ? 0 : 1;
        }
    }
    return out;
}

template <class T>
template <class Rewriter>
bool RecordArray<T>::RewriteRemoving(Rewriter&& rewrite) {
    if (count_ == 0) {
        cursor_ = -1;
        return false;
    }
    count_ = static_cast<int32_t>(CompactRange(data_, data_ + count_, rewrite) - data_);
    cursor_ = count_ - 1;
    ShrinkIfSparse();
    return true;
}

template <class T>
template <class Compact>
bool RecordArray<T>::CompactRemoving(Compact&& compact) {
    if (count_ == 0) {
        cursor_ = -1;
        return false;
    }
    count_ = static_cast<int32_t>(compact(data_, data_ + count_) - data_);
    cursor_ = count_ - 1;
    ShrinkIfSparse();
    return true;
}

template <class T>
void RecordArray<T>::JoinChunks(size_t chunks, T* const* kept) {
    // The survivors of each chunk move down behind those of the chunks before it.
    T* out = kept[0];
    for (size_t k = 1; k < chunks; ++k) {
        T* const from = ChunkBegin(k, chunks);
        const size_t n = static_cast<size_t>(kept[k] - from);
        if (out != from && n != 0) {
            std::memmove(static_cast<void*>(out), static_cast<const void*>(from), n * sizeof(T));
        }
        out += n;
    }
    count_ = static_cast<int32_t>(out - data_);
    cursor_ = count_ - 1;
    ShrinkIfSparse();
}

template <class T>
template <class Visitor>
bool RecordArray<T>::VisitRemoving(Visitor&& visit) {
    // The visitor works on a copy (held in registers once inlined, so that its tests read no
    // record that is still being stored), which goes to the record's place.
    return RewriteRemoving([&visit](const T& record, T& place) {
        T copy = record;
        const bool removed = visit(copy);
        place = copy;
        return removed;
    });
}

template <class T>
template <class Visitor>
void RecordArray<T>::VisitAll(Visitor&& visit) {
    T* const end = data_ + count_;
    for (T* record = data_; record != end; ++record) visit(*record);
    cursor_ = count_ - 1;
}

template <class T>
bool RecordArray<T>::Grow() {
    if (capacity_ >= kMaxCapacity) return false;
    int64_t wanted =
        capacity_ < kMinCapacity ? kMinCapacity : static_cast<int64_t>(capacity_) + capacity_ / 2;
    if (wanted > kMaxCapacity) wanted = kMaxCapacity;
    if (Resize(static_cast<int32_t>(wanted))) return true;
    // The heap may still have room for one record where it had none for half the list more.
    return wanted > capacity_ + 1 && Resize(capacity_ + 1);
}

template <class T>
bool RecordArray<T>::Resize(int32_t capacity) {
    void* block = heap_->Resize(data_, static_cast<size_t>(capacity) * sizeof(T));
    if (block == nullptr) return false;
    data_ = static_cast<T*>(block);
    capacity_ = capacity;
    return true;
}

template <class T>
void RecordArray<T>::ShrinkIfSparse() {
    if (count_ == 0) {
        RemoveAll();
        return;
    }
    if (capacity_ <= kMinCapacity) return;
    if (static_cast<int64_t>(capacity_) * 5 <= static_cast<int64_t>(count_) * 8) return;
    int64_t wanted = static_cast<int64_t>(count_) + count_ / 4;
    if (wanted < kMinCapacity) wanted = kMinCapacity;
    Resize(static_cast<int32_t>(wanted));
}

}  // namespace pp

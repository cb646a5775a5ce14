// Ordered, doubly linked list of fixed-size records with one cursor, on a RecordPool.
// The engine iterates with ListRewind + ListNext and removes during the pass; the cursor
// rules make that safe:
//   - ListInsert puts the new record right behind the cursor (in front of the first record
//     when there is no cursor) and makes it the cursor;
//   - ListRemove steps the cursor back to the previous record (none when the first went), so
//     the following ListNext yields exactly the record that followed the removed one;
//   - ListNext at the end returns nullptr and leaves the cursor on the last record, so an
//     insertion after a full pass appends.
// Records are value-initialised (zero) on insertion; a record type that owns members (an
// Emitter owns its Particles list) has them constructed on insertion and destroyed on
// removal, on ListRemoveAll and when the list itself is destroyed.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "runtime/record_pool.h"

namespace pp {

template <class T>
class RecordList {
  public:
    explicit RecordList(const BlockHeap& heap = DefaultBlockHeap())
        : pool_(sizeof(Node), alignof(Node), heap) {}
    ~RecordList() { RemoveAll(); }
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    // The current record, or nullptr when the cursor stands before the first record.
    T* Cursor() const { return cursor_ ? cursor_->Data() : nullptr; }
    T* First() const { return first_ ? first_->Data() : nullptr; }
    T* Last() const { return last_ ? last_->Data() : nullptr; }
    int32_t Count() const { return count_; }
    const RecordPool& Pool() const { return pool_; }

    // See ListInsert and friends below.
    T* Insert();
    void Rewind() { cursor_ = nullptr; }
    T* Next() {
        Node* next = cursor_ ? cursor_->next : first_;
        if (next == nullptr) return nullptr;
        cursor_ = next;
        return next->Data();
    }
    // The record Next would yield, without moving the cursor; nullptr at the end.
    T* Peek() const {
        Node* next = cursor_ ? cursor_->next : first_;
        return next ? next->Data() : nullptr;
    }
    void Remove();
    void RemoveAll();
    template <class Visitor>
    bool VisitRemoving(Visitor&& visit);
    template <class Visitor>
    void VisitAll(Visitor&& visit);

  private:
    // Trivial node so that raw pool memory can be zero-filled before T is constructed in it.
    struct Node {
        Node* next;
        Node* prev;
        alignas(T) unsigned char storage[sizeof(T)];
        T* Data() { return std::launder(reinterpret_cast<T*>(storage)); }
    };

    Node* first_ = nullptr;
    Node* last_ = nullptr;
    Node* cursor_ = nullptr;
    int32_t count_ = 0;
    RecordPool pool_;
};

// A new zeroed record behind the cursor, which moves onto it; nullptr only when even a
// one-slot block cannot be had (the list is then unchanged).
template <class T>
T* ListInsert(RecordList<T>& list) {
    return list.Insert();
}

// Puts the cursor before the first record; moves and releases nothing.
template <class T>
void ListRewind(RecordList<T>& list) {
    list.Rewind();
}

// The record after the cursor (the first one when there is no cursor), or nullptr at the end,
// where the cursor stays on the last record.
template <class T>
T* ListNext(RecordList<T>& list) {
    return list.Next();
}

// Removes the cursor record and steps the cursor back; does nothing without a cursor.
template <class T>
void ListRemove(RecordList<T>& list) {
    list.Remove();
}

// Removes every record (destroying owned members front to back) and gives all pool blocks
// back; the list stays usable, empty, cursor none.
template <class T>
void ListRemoveAll(RecordList<T>& list) {
    list.RemoveAll();
}

// The pass ListRewind + ListNext with ListRemove of the records for which visit(record) returns
// true, in one tight loop: every record once, in order, with the same cursor afterwards (on
// the last record, none when the list ended empty). visit must not touch the list. Returns
// whether the list held any record when the pass began.
template <class T, class Visitor>
bool ListVisitRemoving(RecordList<T>& list, Visitor&& visit) {
    return list.VisitRemoving(visit);
}

// The pass ListRewind + ListNext to the end, calling visit(record) for every record in order:
// the cursor ends on the last record, as after that pass. visit must not touch the list.
template <class T, class Visitor>
void ListVisit(RecordList<T>& list, Visitor&& visit) {
    list.VisitAll(visit);
}

template <class T>
T* RecordList<T>::Insert() {
    void* memory = pool_.Allocate();
    if (memory == nullptr) return nullptr;
    Node* node = static_cast<Node*>(memory);
    std::memset(static_cast<void*>(node), 0, sizeof(Node));
    ::new (static_cast<void*>(node->storage)) T();
    if (cursor_ != nullptr) {
        node->prev = cursor_;
        node->next = cursor_->next;
        cursor_->next = node;
    } else {
        node->next = first_;
        first_ = node;
    }
    if (node->next != nullptr) {
        node->next->prev = node;
    } else {
        last_ = node;
    }
    cursor_ = node;
    ++count_;
    return node->Data();
}

template <class T>
void RecordList<T>::Remove() {
    Node* node = cursor_;
    if (node == nullptr) return;
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        first_ = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        last_ = node->prev;
    }
    cursor_ = node->prev;
    --count_;
    node->Data()->~T();
    pool_.Release(node);
}

template <class T>
template <class Visitor>
bool RecordList<T>::VisitRemoving(Visitor&& visit) {
    Node* node = first_;
    if (node == nullptr) {
        cursor_ = nullptr;
        return false;
    }
    Node* prev = nullptr;
    do {
        Node* next = node->next;
        // Slots of one block are handed out in address order and lists mostly grow at the
        // end, so the records ahead usually lie ahead in memory: asking for them early turns
        // the walk along the links into a stream instead of a chain of cache misses.
        __builtin_prefetch(reinterpret_cast<const char*>(node) + 4 * sizeof(Node) + 64);
        if (visit(*node->Data())) {
            if (prev != nullptr) {
                prev->next = next;
            } else {
                first_ = next;
            }
            if (next != nullptr) {
                next->prev = prev;
            } else {
                last_ = prev;
            }
            --count_;
            node->Data()->~T();
            pool_.Release(node);
        } else {
            prev = node;
        }
        node = next;
    } while (node != nullptr);
    cursor_ = last_;
    return true;
}

template <class T>
template <class Visitor>
void RecordList<T>::VisitAll(Visitor&& visit) {
    for (Node* node = first_; node != nullptr; node = node->next) {
        // As in VisitRemoving: the records ahead usually lie ahead in memory.
        __builtin_prefetch(reinterpret_cast<const char*>(node) + 4 * sizeof(Node) + 64);
        visit(*node->Data());
    }
    cursor_ = last_;
}

template <class T>
void RecordList<T>::RemoveAll() {
    if constexpr (!std::is_trivially_destructible_v<T>) {
        for (Node* node = first_; node != nullptr; node = node->next) node->Data()->~T();
    }
    pool_.ReleaseAll();
    first_ = last_ = cursor_ = nullptr;
    count_ = 0;
}

}  // namespace pp

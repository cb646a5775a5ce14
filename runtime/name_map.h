// String-keyed hash map of fixed-size values on a RecordPool. A lookup of a missing name
// through MapFindOrAdd leaves that name in the map with a zero value. Keys are private copies.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/record_pool.h"

namespace pp {

// h = h * 65599 + c over the key's bytes, each taken as a signed 8-bit value, wrapping modulo
// 2^32. A case-insensitive map lowers 'A'..'Z' first (bytes of 0x80 and above are no letters
// in the C locale and stay negative). The empty key hashes to 0.
uint32_t NameHash(const char* key, bool caseInsensitive);

// strcmp, or the same comparison with 'A'..'Z' lowered on both sides.
int CompareNames(const char* a, const char* b, bool caseInsensitive);

template <class V>
class NameMap {
  public:
    // A bucket count below 1 becomes 1. When the bucket array cannot be allocated the map
    // works with a single bucket instead of failing.
    NameMap(bool caseInsensitive, int32_t buckets, const BlockHeap& heap = DefaultBlockHeap());
    ~NameMap();
    NameMap(const NameMap&) = delete;
    NameMap& operator=(const NameMap&) = delete;

    // The value under key, or nullptr; never inserts. A nullptr key is the empty text.
    V* Find(const char* key);
    // The value under key, adding a zero value for a missing key. When no memory can be had
    // for the entry, returns a zeroed scratch value that the map does not keep.
    V& FindOrAdd(const char* key);

    int32_t BucketCount() const { return bucketCount_; }
    bool CaseInsensitive() const { return caseInsensitive_; }
    int32_t Count() const { return count_; }

  private:
    struct Entry {
        Entry* next;
        char* key;
        alignas(V) unsigned char storage[sizeof(V)];
        V* Value() { return std::launder(reinterpret_cast<V*>(storage)); }
    };

    Entry** buckets_;
    Entry* singleBucket_ = nullptr;  // used when the bucket array could not be allocated
    int32_t bucketCount_;
    int32_t count_ = 0;
    bool caseInsensitive_;
    RecordPool pool_;
    V scratch_{};
};

// Free-function forms of the members above, in the verb-noun naming of the other containers.
template <class V>
V* MapFind(NameMap<V>& map, const char* key) {
    return map.Find(key);
}

template <class V>
V& MapFindOrAdd(NameMap<V>& map, const char* key) {
    return map.FindOrAdd(key);
}

template <class V>
NameMap<V>::NameMap(bool caseInsensitive, int32_t buckets, const BlockHeap& heap)
    : bucketCount_(buckets < 1 ? 1 : buckets),
      caseInsensitive_(caseInsensitive),
      pool_(sizeof(Entry), alignof(Entry), heap) {
    buckets_ = static_cast<Entry**>(std::calloc(static_cast<size_t>(bucketCount_), sizeof(Entry*)));
    if (buckets_ == nullptr) {
        buckets_ = &singleBucket_;
        bucketCount_ = 1;
    }
}

template <class V>
NameMap<V>::~NameMap() {
    for (int32_t b = 0; b < bucketCount_; ++b) {
        for (Entry* entry = buckets_[b]; entry != nullptr; entry = entry->next) {
            entry->Value()->~V();
            std::free(entry->key);
        }
    }
    if (buckets_ != &singleBucket_) std::free(buckets_);
}

template <class V>
V* NameMap<V>::Find(const char* key) {
    if (key == nullptr) key = "";
    uint32_t bucket = NameHash(key, caseInsensitive_) % static_cast<uint32_t>(bucketCount_);
    for (Entry* entry = buckets_[bucket]; entry != nullptr; entry = entry->next) {
        if (CompareNames(entry->key, key, caseInsensitive_) == 0) return entry->Value();
    }
    return nullptr;
}

template <class V>
V& NameMap<V>::FindOrAdd(const char* key) {
    if (key == nullptr) key = "";
    if (V* found = Find(key)) return *found;
    scratch_ = V{};
    size_t length = std::strlen(key);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr) return scratch_;
    void* memory = pool_.Allocate();
    if (memory == nullptr) {
        std::free(copy);
        return scratch_;
    }
    std::memcpy(copy, key, length + 1);
    Entry* entry = static_cast<Entry*>(memory);
    std::memset(static_cast<void*>(entry), 0, sizeof(Entry));
    ::new (static_cast<void*>(entry->storage)) V();
    entry->key = copy;
    uint32_t bucket = NameHash(key, caseInsensitive_) % static_cast<uint32_t>(bucketCount_);
    entry->next = buckets_[bucket];
    buckets_[bucket] = entry;
    ++count_;
    return *entry->Value();
}

}  // namespace pp

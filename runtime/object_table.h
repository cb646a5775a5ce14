// Numbered object tables: windows, sprites and quad sprites are addressed by small numbers the
// caller chooses. Taking a number that is in use closes the object under it first; objects
// taken with number -1 are unnumbered and addressed by their record's address instead.
// Single-threaded; no locking.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <list>
#include <utility>
#include <vector>

namespace pp {

// A record is free while Exists() is false; the value-initialised record is free.
template <typename Record>
concept TableRecord = std::default_initializable<Record> && std::movable<Record> &&
    requires(const Record& r) {
    { r.Exists() } -> std::convertible_to<bool>;
};

// Numbers at or above this get no record: a stray large number must not make the table
// allocate gigabytes.
inline constexpr int32_t kObjectNumberLimit = 1 << 20;

// New capacity for number n (n + growth step), or 0 when n is outside 0..kObjectNumberLimit-1.
int32_t ObjectTableCapacityFor(int32_t number, int32_t growthStep);

template <TableRecord Record>
struct ObjectTable {
    using CloseOperation = void (*)(int32_t number);

    // The table starts with growthStep free records (at least 1).
    ObjectTable(int32_t growthStep, CloseOperation close)
        : GrowthStep(growthStep > 0 ? growthStep : 1),
          Close(close),
          Records(static_cast<size_t>(GrowthStep)) {}

    int32_t GrowthStep;
    CloseOperation Close;
    std::vector<Record> Records;
    std::list<Record> Unnumbered;  // newest first; node addresses stay put until released
};

// Returns a free record for number (closing what lived under it), a new unnumbered record for
// -1, or nullptr for any other number. The caller fills the record so that it exists.
template <TableRecord Record>
Record* ObjectAcquire(ObjectTable<Record>& table, int32_t number) {
    if (number == -1) {
        table.Unnumbered.emplace_front();
        return &table.Unnumbered.front();
    }
    if (number < 0 || number >= kObjectNumberLimit) return nullptr;
    if (static_cast<size_t>(number) >= table.Records.size()) {
        table.Records.resize(static_cast<size_t>(ObjectTableCapacityFor(number, table.GrowthStep)));
    }
    if (table.Close != nullptr && table.Records[static_cast<size_t>(number)].Exists()) {
        table.Close(number);
    }
    // Whatever the close operation left behind, the caller gets a clean record.
    Record& record = table.Records[static_cast<size_t>(number)];
    record = Record{};
    return &record;
}

// Returns the existing object under number, or nullptr.
template <TableRecord Record>
Record* ObjectLookup(ObjectTable<Record>& table, int32_t number) {
    if (number < 0 || static_cast<size_t>(number) >= table.Records.size()) return nullptr;
    Record& record = table.Records[static_cast<size_t>(number)];
    return record.Exists() ? &record : nullptr;
}

// Returns the unnumbered object at that address, or nullptr when the table holds none there.
template <TableRecord Record>
Record* ObjectLookup(ObjectTable<Record>& table, const Record* reference) {
    for (Record& record : table.Unnumbered) {
        if (&record == reference) return &record;
    }
    return nullptr;
}

// Frees the record under number (its resources go with it); unknown numbers do nothing.
template <TableRecord Record>
void ObjectRelease(ObjectTable<Record>& table, int32_t number) {
    if (number < 0 || static_cast<size_t>(number) >= table.Records.size()) return;
    table.Records[static_cast<size_t>(number)] = Record{};
}

// Unlinks and frees the unnumbered object at that address; unknown addresses do nothing.
template <TableRecord Record>
void ObjectRelease(ObjectTable<Record>& table, const Record* reference) {
    table.Unnumbered.remove_if([reference](const Record& r) { return &r == reference; });
}

// Calls numbered(number, record) for every existing numbered object in ascending order, then
// unnumbered(record) for every unnumbered object, oldest first. The actions may release
// objects (that is how a kind closes everything at shut-down); released ones are not visited.
template <TableRecord Record, typename NumberedAction, typename UnnumberedAction>
void ObjectForEach(ObjectTable<Record>& table, NumberedAction&& numbered,
                   UnnumberedAction&& unnumbered) {
    for (size_t n = 0; n < table.Records.size(); ++n) {
        if (table.Records[n].Exists()) numbered(static_cast<int32_t>(n), table.Records[n]);
    }
    // Snapshot first: an action may unlink any node, including the next one.
    std::vector<const Record*> order;
    for (auto it = table.Unnumbered.rbegin(); it != table.Unnumbered.rend(); ++it) {
        order.push_back(&*it);
    }
    for (const Record* reference : order) {
        if (Record* record = ObjectLookup(table, reference)) {
            if (record->Exists()) unnumbered(*record);
        }
    }
}

}  // namespace pp

#include "runtime/name_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace pp {
namespace {

struct HashRow {
    const char* key;
    bool caseInsensitive;
    uint32_t hash;
    uint32_t bucketOf512;
};

class NameHashTest : public ::testing::TestWithParam<HashRow> {};

TEST_P(NameHashTest, MatchesReferenceValue) {
    const HashRow& row = GetParam();
    EXPECT_EQ(NameHash(row.key, row.caseInsensitive), row.hash) << row.key;
    EXPECT_EQ(NameHash(row.key, row.caseInsensitive) % 512u, row.bucketOf512) << row.key;
}

INSTANTIATE_TEST_SUITE_P(
    NameMap, NameHashTest,
    ::testing::Values(HashRow{"abc", false, 0x3025F862u, 98},
                      HashRow{"Point", false, 0x9A74AA90u, 144},
                      // Bytes of 0x80 and above count as negative numbers.
                      HashRow{"\xE9\x74\xE9", false, 0xF520B7DEu, 0xF520B7DEu % 512u},
                      HashRow{"", false, 0u, 0}, HashRow{"ABC", true, 0x3025F862u, 98},
                      HashRow{"\xE9\x74\xE9", true, 0xF520B7DEu, 0xF520B7DEu % 512u}));

TEST(NameMap, FindOrAddReturnsExistingValueAndAddsMissingNamesAsZero) {
    NameMap<int32_t> map(false, 512);
    MapFindOrAdd(map, "Circle") = 4;
    EXPECT_EQ(MapFindOrAdd(map, "Circle"), 4);
    EXPECT_EQ(map.Count(), 1);
    EXPECT_EQ(MapFind(map, "circle"), nullptr);
    EXPECT_EQ(MapFindOrAdd(map, "circle"), 0);
    EXPECT_EQ(map.Count(), 2);
    int32_t* found = MapFind(map, "circle");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, 0);
    EXPECT_EQ(*MapFind(map, "Circle"), 4);
}

TEST(NameMap, FindOfMissingNameInsertsNothing) {
    NameMap<int32_t> map(false, 8);
    EXPECT_EQ(MapFind(map, "Line"), nullptr);
    EXPECT_EQ(map.Count(), 0);
}

TEST(NameMap, NullKeyIsTheEmptyName) {
    NameMap<int32_t> map(false, 8);
    MapFindOrAdd(map, nullptr) = 7;
    ASSERT_NE(MapFind(map, ""), nullptr);
    EXPECT_EQ(*MapFind(map, ""), 7);
    EXPECT_EQ(*MapFind(map, nullptr), 7);
}

TEST(NameMap, BucketCountBelowOneBecomesOne) {
    EXPECT_EQ(NameMap<int32_t>(false, 0).BucketCount(), 1);
    EXPECT_EQ(NameMap<int32_t>(false, -20).BucketCount(), 1);
    EXPECT_EQ(NameMap<int32_t>(false, 512).BucketCount(), 512);
}

TEST(NameMap, ManyKeysInOneBucketStayApart) {
    NameMap<int32_t> map(false, 1);
    for (int i = 0; i < 500; ++i) MapFindOrAdd(map, std::to_string(i).c_str()) = i;
    for (int i = 0; i < 500; ++i) {
        int32_t* value = MapFind(map, std::to_string(i).c_str());
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, i);
    }
    EXPECT_EQ(map.Count(), 500);
}

TEST(NameMap, CaseInsensitiveMapIgnoresLetterCaseOnly) {
    NameMap<int32_t> map(true, 64);
    MapFindOrAdd(map, "Point") = 3;
    ASSERT_NE(MapFind(map, "POINT"), nullptr);
    EXPECT_EQ(*MapFind(map, "pOiNt"), 3);
    EXPECT_EQ(MapFind(map, "Points"), nullptr);
    MapFindOrAdd(map, "\xC9t\xE9") = 5;  // non-ASCII bytes are not letters here
    EXPECT_EQ(MapFind(map, "\xE9t\xE9"), nullptr);
    EXPECT_EQ(*MapFind(map, "\xC9T\xE9"), 5);
}

TEST(NameMap, KeysAreCopiedNotReferenced) {
    NameMap<int32_t> map(false, 16);
    char key[] = "Square";
    MapFindOrAdd(map, key) = 2;
    key[0] = 'X';
    EXPECT_EQ(*MapFind(map, "Square"), 2);
    EXPECT_EQ(MapFind(map, "Xquare"), nullptr);
}

}  // namespace
}  // namespace pp

// The structural check of hives and the comparison of a hive written back
// with the one it replaces.
#include <gtest/gtest.h>

#include <functional>

#include "offline/HiveTestSupport.h"
#include "offline/OfflineTestSupport.h"
#include "platform/offline/HiveCompare.h"
#include "platform/offline/HiveWalk.h"

namespace {

hive_set_value Value(const char* name, std::string& data) {
    return {const_cast<char*>(name), hive_t_REG_BINARY, data.size(), &data[0]};
}

// Root \ Key (values "a" and "b", subkeys Alpha and Beta).
HiveBytes SmallHive() {
    return HiveMadeWith([](hive_h* hive) {
        std::string a(8, 'a'), b(8, 'b');
        hive_set_value values[] = {Value("a", a), Value("b", b)};
        hive_node_h key = hivex_node_add_child(hive, hivex_root(hive), "Key");
        return key && hivex_node_set_values(hive, key, 2, values, 0) == 0 && hivex_node_add_child(hive, key, "Alpha") &&
               hivex_node_add_child(hive, key, "Beta");
    });
}

// The cell of the record of that kind and name, and a field of a cell's record.
uint32_t Cell(const HiveBytes& hive, const char* signature, const char* name) {
    return static_cast<uint32_t>(FindRecord(hive, signature, name) - kHiveBaseBlockSize - 4);
}
uint32_t Field(const HiveBytes& hive, uint32_t cell, size_t at) { return HiveRead32(hive.data(), kHiveBaseBlockSize + cell + 4 + at); }
void Put(HiveBytes* hive, uint32_t cell, size_t at, uint32_t value) {
    HiveWrite32(hive->data(), kHiveBaseBlockSize + cell + 4 + at, value);
}

TEST(HiveWalkTest, RefusesWhatWouldMakeHivexAbortOrReadOtherwiseThanWindows) {
    const HiveBytes sound = SmallHive();
    std::string problem;
    ASSERT_TRUE(WalkHive(sound, &problem)) << problem;
    const uint32_t a = Cell(sound, "vk", "a"), b = Cell(sound, "vk", "b"), key = Cell(sound, "nk", "Key");
    const uint32_t alpha = Cell(sound, "nk", "Alpha"), beta = Cell(sound, "nk", "Beta");
    const uint32_t list = Field(sound, key, kKeySubkeyList);
    const std::pair<const char*, std::function<void(HiveBytes*)>> cases[] = {
        {"used twice", [&](HiveBytes* h) { Put(h, b, 8, Field(sound, a, 8)); }},  // two values, one data cell
        {"used twice", [&](HiveBytes* h) { Put(h, a, 8, HiveRead32(sound.data(), kHiveRootCell)); }},
        {"parent pointer", [&](HiveBytes* h) { Put(h, beta, 0x10, alpha); }},
        {"more values", [&](HiveBytes* h) { Put(h, key, 0x24, 0xFFFFFFFFu); }},
        {"out of order", [&](HiveBytes* h) {  // the entries of Alpha and Beta swapped
             for (size_t at = 4; at < 12; ++at) std::swap((*h)[kHiveBaseBlockSize + list + 4 + at],
                                                          (*h)[kHiveBaseBlockSize + list + 12 + at]);
         }},
        {"hash", [&](HiveBytes* h) { Put(h, list, 8, 0x1234); }},
        {"impossible size", [&](HiveBytes* h) { HiveWrite32(h->data(), kHiveBaseBlockSize + a, 0xFFFFFFF4u); }},
        {"security", [&](HiveBytes* h) { Put(h, Field(sound, key, 0x2C), 12, 0); }},
    };
    for (const auto& c : cases) {
        HiveBytes damaged = sound;
        c.second(&damaged);
        EXPECT_FALSE(WalkHive(damaged, &problem)) << c.first;
        EXPECT_NE(std::string::npos, problem.find(c.first)) << problem;
    }
}

TEST(HiveWalkTest, AWrittenHiveMustBeTheOldOneButForTheIntendedRemoval) {
    const HiveBytes before = SmallHive();
    const uint32_t key = Cell(before, "nk", "Key"), a = Cell(before, "vk", "a"), b = Cell(before, "vk", "b");
    auto keepOnlyA = [](char fill) {
        return [fill](hive_h* hive) {
            std::string data(8, fill);
            hive_set_value value = Value("a", data);
            return hivex_node_set_values(hive, hivex_node_get_child(hive, hivex_root(hive), "Key"), 1, &value, 0) == 0;
        };
    };
    const HiveBytes removed = HiveMadeWith(keepOnlyA('a'), before), alsoChanged = HiveMadeWith(keepOnlyA('z'), before);
    std::string difference;
    ASSERT_TRUE(WalkHive(removed, &difference)) << difference;
    EXPECT_TRUE(CompareHives(before, removed, {{HiveEdit::kRemoveValue, key, b, ""}}, &difference)) << difference;
    EXPECT_FALSE(CompareHives(before, removed, {}, &difference));
    EXPECT_FALSE(CompareHives(before, removed, {{HiveEdit::kRemoveValue, key, a, ""}}, &difference));
    EXPECT_FALSE(CompareHives(before, alsoChanged, {{HiveEdit::kRemoveValue, key, b, ""}}, &difference));
    EXPECT_EQ("key \\Key: value \"a\" changed", difference);

    const HiveBytes keyGone = HiveMadeWith([](hive_h* hive) {
        hive_node_h parent = hivex_node_get_child(hive, hivex_root(hive), "Key");
        return hivex_node_delete_child(hive, hivex_node_get_child(hive, parent, "Beta")) == 0;
    }, before);
    EXPECT_TRUE(CompareHives(before, keyGone, {{HiveEdit::kRemoveKey, Cell(before, "nk", "Beta"), 0, ""}}, &difference))
        << difference;
    EXPECT_FALSE(CompareHives(before, keyGone, {{HiveEdit::kRemoveKey, Cell(before, "nk", "Alpha"), 0, ""}}, &difference));
}

}  // namespace

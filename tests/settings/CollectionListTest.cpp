#include "platform/Registry.h"
#include "platform/TempRegistry.h"
#include "settings/SaverSettings.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using platform::RegistryKey;
using testing::kCollectionKey;
using testing::ListMember;
using testing::RegisterMember;
using testing::TempRegistry;

class CollectionListTest : public ::testing::Test {
protected:
    std::vector<CollectionMember> Read()
    {
        RegistryKey collection;
        std::vector<CollectionMember> list {{"stale", "stale", "stale"}};
        if (collection.Open(kCollectionKey))
            ReadCollectionList(collection, list);
        return list;
    }

    TempRegistry reg_;
};

TEST_F(CollectionListTest, MembersInListOrder)
{
    const std::string a = reg_.MakeFile("a"), b = reg_.MakeFile("b"), c = reg_.MakeFile("c");
    RegisterMember("VELMORA3D", "Velmora 3D", a);
    RegisterMember("Corvane3D", "Corvane 3D", b);
    RegisterMember("Alder3D", "Alder 3D", c);
    const auto list = Read();
    ASSERT_EQ(list.size(), 3u);
    std::vector<std::string> keys;
    for (const auto& member : list) {
        keys.push_back(member.key);
        if (member.key == "VELMORA3D") {
            EXPECT_EQ(member.title, "Velmora 3D");
            EXPECT_EQ(member.executablePath, a);
        }
        if (member.key == "Alder3D") {
            EXPECT_EQ(member.executablePath, c);
        }
    }
    // The list keeps the registry's order (the written one where the
    // registry keeps it).
    EXPECT_EQ(keys, testing::EnumerationOrder(std::string(testing::kCollectionKey) + "\\List"));
#if !defined(_WIN32)
    EXPECT_EQ(keys, (std::vector<std::string> {"VELMORA3D", "Corvane3D", "Alder3D"}));
#endif
}

TEST_F(CollectionListTest, NoListKeyGivesAnEmptyList)
{
    RegistryKey collection;
    ASSERT_TRUE(collection.Create(kCollectionKey));
    EXPECT_TRUE(Read().empty());
}

TEST_F(CollectionListTest, UnusableMembersAreSkippedAndLaterOnesStillRead)
{
    const std::string deleted = reg_.MakeFile("deleted");
    ListMember("NoPath", "No path");
    RegisterMember("Deleted", "Deleted", deleted);
    RegisterMember("Folder", "A folder", reg_.Dir().string());
    RegisterMember("Good", "Good", reg_.MakeFile("good"));
    // A "List" entry without any member key at all.
    testing::StoreCollectionValue("List", "Unregistered", "Nobody");
    RegisterMember("AlsoGood", "Also good", reg_.MakeFile("also"));
    std::filesystem::remove(deleted);
    const auto members = Read();
    ASSERT_EQ(members.size(), 2u);
    const std::vector<std::string> expected
        = testing::InEnumerationOrder(std::string(testing::kCollectionKey) + "\\List", {"Good", "AlsoGood"});
    EXPECT_EQ(members[0].key, expected[0]);
    EXPECT_EQ(members[1].key, expected[1]);
}

TEST_F(CollectionListTest, EmptyPathDoesNotCount)
{
    RegisterMember("Empty", "Empty", "");
    EXPECT_TRUE(Read().empty());
}

TEST_F(CollectionListTest, LongNamesAfterShortPathsComeThroughWhole)
{
    const std::string shortPath = reg_.MakeFile("s");
    RegisterMember("S", "Short", shortPath);
#if defined(_WIN32)
    const std::string longKey(255, 'K'); // the longest key name Windows allows
#else
    const std::string longKey(1000, 'K');
#endif
    const std::string longTitle(1023, 'T');
    RegisterMember(longKey, longTitle, reg_.MakeFile("long"));
    const auto members = Read();
    ASSERT_EQ(members.size(), 2u);
    const CollectionMember& longMember = members[0].key == "S" ? members[1] : members[0];
    EXPECT_EQ(longMember.key, longKey);
    EXPECT_EQ(longMember.title, longTitle);
}

TEST_F(CollectionListTest, MemberKeysIgnoreCase)
{
    testing::StoreCollectionValue("List", "VELMORA3D", "Velmora 3D");
    testing::StoreCollectionValue("Velmora3D", "ExecutablePath", reg_.MakeFile("v"));
    const auto members = Read();
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].key, "VELMORA3D"); // the list's spelling
}

TEST_F(CollectionListTest, OverlongPathsAndTitlesAreBounded)
{
    RegisterMember("LongPath", "Long path", "/" + std::string(1100, 'p'));
    RegisterMember("LongTitle", std::string(1500, 't'), reg_.MakeFile("t"));
    const auto members = Read();
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].key, "LongTitle");
    EXPECT_EQ(members[0].title.size(), 1023u);
}

TEST_F(CollectionListTest, LoadFillsTheRecordsList)
{
    RegisterMember("Corvane3D", "Corvane 3D", reg_.MakeFile("c"));
    SaverSettings s;
    s.collectionList.push_back({"old", "old", "old"});
    ASSERT_TRUE(s.Load());
    ASSERT_EQ(s.collectionList.size(), 1u);
    EXPECT_EQ(s.collectionList[0].title, "Corvane 3D");
}

TEST_F(CollectionListTest, StartRandomSwitch)
{
    EXPECT_EQ(ReadStartRandom(), 0u);
    // Reading creates the collection key, as the dialog does at its start.
    RegistryKey collection;
    EXPECT_TRUE(collection.Open(kCollectionKey));
    ASSERT_TRUE(WriteStartRandom(1));
    EXPECT_EQ(ReadStartRandom(), 1u);
    uint32_t raw = 0;
    EXPECT_TRUE(collection.QueryDword("StartRandom", raw));
    EXPECT_EQ(raw, 1u);
    ASSERT_TRUE(WriteStartRandom(0));
    EXPECT_EQ(ReadStartRandom(), 0u);
    ASSERT_TRUE(collection.SetString("StartRandom", "1"));
    EXPECT_EQ(ReadStartRandom(), 0u); // text is no switch
}

} // namespace
} // namespace velmora

#include "platform/RegistryFormat.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::platform::regfile {
namespace {

const std::string kHead = "Windows Registry Editor Version 5.00\n";

TEST(RegistryFormat, WritesTheExportLayout)
{
    Hive hive;
    ASSERT_TRUE(CreateKey(hive, "HKEY_CURRENT_USER\\Software\\Tarnwick"));
    Key* key = FindKey(hive, "hkey_current_user\\software\\TARNWICK");
    ASSERT_NE(key, nullptr);
    SetValue(*key, RegistryValue {"StartRandom", RegistryType::Dword, 1, {}});
    SetValue(*key, RegistryValue {"Path", RegistryType::String, 0, "C:\\x"});
    EXPECT_EQ(Serialize(hive),
        kHead
            + "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Tarnwick]\n"
              "\"StartRandom\"=dword:00000001\n"
              "\"Path\"=\"C:\\\\x\"\n");
    EXPECT_FALSE(CreateKey(hive, "HKEY_CURRENT_USER\\SOFTWARE"));
}

TEST(RegistryFormat, LaterDuplicatesWinInTheFirstPlace)
{
    const Hive hive = Parse(kHead
        + "[HKEY_CURRENT_USER\\K]\n\"a\"=dword:00000001\n\"b\"=dword:00000002\n"
          "[hkey_current_user\\k]\n\"A\"=\"text\"\n");
    EXPECT_FALSE(hive.damaged);
    ASSERT_EQ(hive.keys.size(), 1u);
    ASSERT_EQ(hive.keys[0].values.size(), 2u);
    EXPECT_EQ(hive.keys[0].values[0].name, "a");
    EXPECT_EQ(hive.keys[0].values[0].type, RegistryType::String);
    EXPECT_EQ(hive.keys[0].values[0].text, "text");
}

TEST(RegistryFormat, ImportDirectivesAndStrayValuesAreDamage)
{
    for (const std::string body :
        {"[-HKEY_CURRENT_USER\\K]\n", "\"a\"=dword:00000001\n", "[HKEY_CURRENT_USER\\K]\n\"a\"=-\n",
            "[HKEY_CURRENT_USER\\K]\n\"a\"=hex:1,2\n", "[HKEY_CURRENT_USER\\K]\n\"a\"=dword:0000000g\n",
            "[HKEY_CURRENT_USER\\K\n", "[HKEY_CURRENT_USER\\K]\n\"a\"=\"x\" trailing\n"}) {
        const Hive hive = Parse(kHead + body);
        EXPECT_TRUE(hive.damaged) << body;
        for (const Key& k : hive.keys)
            EXPECT_TRUE(k.values.empty()) << body;
    }
}

TEST(RegistryFormat, ParseAndWriteAreStable)
{
    const std::string text = kHead
        + "\n[HKEY_CURRENT_USER\\A]\n@=\"default\"\n\"x\"=hex(7):41,00,00,00\n"
          "\"y\"=dword:ffffffff\n\n[HKEY_CURRENT_USER\\A\\B]\n";
    const Hive hive = Parse(text);
    EXPECT_FALSE(hive.damaged);
    EXPECT_EQ(Serialize(hive), text);
    EXPECT_TRUE(KeyExists(hive, "HKEY_CURRENT_USER\\a\\b"));
    EXPECT_TRUE(KeyExists(hive, "HKEY_CURRENT_USER"));
    EXPECT_FALSE(KeyExists(hive, "HKEY_CURRENT_USER\\A\\Bc"));
    EXPECT_FALSE(KeyExists(hive, "HKEY_CURRENT_USER\\A\\"));
}

TEST(RegistryFormat, NamesAndTextsAreChecked)
{
    EXPECT_TRUE(IsValidKeyPath("Software\\Tarnwick\\Kestrova3D"));
    EXPECT_FALSE(IsValidKeyPath("Software\\"));
    EXPECT_FALSE(IsValidKeyName("a\\b"));
    EXPECT_TRUE(IsValidValueName(""));
    EXPECT_TRUE(IsValidText("caf\xC3\xA9\tok"));
    EXPECT_FALSE(IsValidText("\xC0\xAF")); // overlong "/"
    EXPECT_FALSE(IsValidText("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(IsValidText("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(IsValidText("\xE2\x82")); // cut character
}

std::string DeepPath(std::size_t depth)
{
    std::string path(kCurrentUser);
    for (std::size_t i = 1; i < depth; ++i)
        path += "\\k";
    return path;
}

// Shapes a hostile file can take: too deep a key, too long a path or line.
// Each is damage that hides only itself; the key after it still reads.
TEST(RegistryFormat, HostileShapesAreDamage)
{
    struct Row {
        const char* what;
        std::string body;
        bool damaged;
    };
    const std::string longName(1000, 'n');
    std::string longPath(kCurrentUser);
    for (int i = 0; i < 80; ++i)
        longPath += "\\" + longName;
    const std::vector<Row> rows = {
        {"deepest key", std::string("[") + DeepPath(kRegistryMaxKeyDepth) + "]\n\"d\"=dword:00000001\n",
            false},
        {"one level too deep",
            std::string("[") + DeepPath(kRegistryMaxKeyDepth + 1) + "]\n\"d\"=dword:00000001\n", true},
        {"thousands of levels", std::string("[") + DeepPath(5000) + "]\n\"d\"=dword:00000001\n", true},
        {"path longer than a line", std::string("[") + longPath + "]\n\"d\"=dword:00000001\n", true},
        {"megabytes in one line", "[HKEY_CURRENT_USER\\L]\n\"d\"=\"" + std::string(2 << 20, 'x') + "\"\n",
            true},
        {"megabytes in a continued value",
            "[HKEY_CURRENT_USER\\L]\n\"d\"=hex:01,\\\n" + std::string(2 << 20, '0') + "\n", true},
    };
    for (const Row& row : rows) {
        const Hive hive = Parse(kHead + row.body + "[HKEY_CURRENT_USER\\Good]\n\"v\"=dword:00000007\n");
        EXPECT_EQ(hive.damaged, row.damaged) << row.what;
        std::size_t withValues = 0;
        for (const Key& key : hive.keys) {
            EXPECT_TRUE(IsValidKeyPath(key.path)) << row.what;
            withValues += key.values.empty() ? 0 : 1;
        }
        EXPECT_EQ(withValues, row.damaged ? 1u : 2u) << row.what;
        const Key* good = FindKey(hive, "HKEY_CURRENT_USER\\Good");
        ASSERT_NE(good, nullptr) << row.what;
        const RegistryValue* v = FindValue(*good, "v");
        ASSERT_NE(v, nullptr) << row.what;
        EXPECT_EQ(v->dword, 7u) << row.what;
    }
}

TEST(RegistryFormat, KeyPathsAreBoundedInDepthAndLength)
{
    EXPECT_TRUE(IsValidKeyPath(DeepPath(kRegistryMaxKeyDepth)));
    EXPECT_FALSE(IsValidKeyPath(DeepPath(kRegistryMaxKeyDepth + 1)));
    // A path must fit its "[...]" line.
    std::string path = "k";
    while (path.size() + 2 + 1001 <= kMaxLine)
        path += "\\" + std::string(1000, 'n');
    EXPECT_TRUE(IsValidKeyPath(path));
    EXPECT_FALSE(IsValidKeyPath(path + "\\" + std::string(1000, 'n')));
}

} // namespace
} // namespace velmora::platform::regfile

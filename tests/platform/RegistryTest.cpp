#include "platform/Registry.h"
#include "platform/TempRegistry.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

using testing::TempRegistry;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n";

std::vector<std::string> DamagedCopies(const TempRegistry& reg)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(reg.Dir()))
        if (e.path().filename().string().rfind("registry.reg.damaged-", 0) == 0)
            out.push_back(e.path().string());
    return out;
}

TEST(RegistryPath, EnvironmentChoosesTheFile)
{
    TempRegistry reg;
    EXPECT_EQ(RegistryFilePath(), reg.File());
    ::unsetenv("KESTROVA3D_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/some/config", 1);
    EXPECT_EQ(RegistryFilePath(), "/some/config/kestrova3d/registry.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        EXPECT_EQ(RegistryFilePath(), std::string(home) + "/.config/kestrova3d/registry.reg");
    }
}

TEST(RegistryKeys, OpenFailsUntilCreatedAndNamesIgnoreCase)
{
    TempRegistry reg;
    RegistryKey key;
    EXPECT_FALSE(key.Open("Software\\Tarnwick\\Kestrova3D"));
    EXPECT_FALSE(key.IsOpen());
    ASSERT_TRUE(key.Create("Software\\Tarnwick\\Kestrova3D\\Velmora3D"));
    // Creating made every key above it too.
    RegistryKey upper;
    EXPECT_TRUE(upper.Open("SOFTWARE\\tarnwick\\KESTROVA3D"));
    RegistryKey member;
    EXPECT_TRUE(member.Open(upper, "VELMORA3D"));
    ASSERT_TRUE(member.SetDword("XResolution", 800));
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword("xresolution", v));
    EXPECT_EQ(v, 800u);
    // Writing through another spelling replaces the value, keeps the stored name.
    ASSERT_TRUE(key.SetDword("XRESOLUTION", 640));
    RegistryValue value;
    ASSERT_TRUE(key.EnumValue(0, value));
    EXPECT_EQ(value.name, "XResolution");
    EXPECT_EQ(value.dword, 640u);
    EXPECT_FALSE(key.EnumValue(1, value));
    EXPECT_NE(
        reg.Read().find("[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]"), std::string::npos);
}

TEST(RegistryKeys, OnlyEmptyKeysAreDeleted)
{
    TempRegistry reg;
    reg.Write(std::string(kHeader)
        + "\n[HKEY_CURRENT_USER\\Software\\Maker]\n\n"
          "[HKEY_CURRENT_USER\\Software\\Maker\\Empty]\n\n"
          "[HKEY_CURRENT_USER\\Software\\Maker\\Valued]\n\"Name\"=dword:00000001\n\n"
          "[HKEY_CURRENT_USER\\Software\\Maker\\Parent\\Child]\n\n");
    RegistryKey maker;
    ASSERT_TRUE(maker.Open("Software\\Maker"));
    const struct {
        const char* subKey;
        bool deleted;
    } rows[] = {
        {"Valued", false}, // holds a value
        {"Parent", false}, // holds a key (implied by the section below it)
        {"Missing", false}, {"", false}, {"Parent\\Child", true}, // a path below the open key
        {"Parent", false}, // it existed only through its child
        {"EMPTY", true}, // names ignore case
        {"Empty", false}, // already gone
    };
    for (const auto& row : rows) {
        const std::string before = reg.Read();
        EXPECT_EQ(maker.DeleteEmptySubKey(row.subKey), row.deleted) << row.subKey;
        EXPECT_EQ(reg.Read() != before, row.deleted) << row.subKey;
    }
    RegistryKey probe;
    EXPECT_TRUE(probe.Open("Software\\Maker\\Valued"));
    EXPECT_FALSE(probe.Open("Software\\Maker\\Empty"));
    EXPECT_FALSE(probe.Open("Software\\Maker\\Parent"));
    EXPECT_TRUE(maker.Open("Software"));
    EXPECT_FALSE(maker.DeleteEmptySubKey("Maker")); // still holds "Valued"
}

TEST(RegistryKeys, InvalidPathsAreRefused)
{
    TempRegistry reg;
    RegistryKey key;
    EXPECT_FALSE(key.Create("Software\\\\Double"));
    EXPECT_FALSE(key.Create("Software\\Trailing\\"));
    EXPECT_FALSE(key.Create(std::string("Soft\nware")));
    EXPECT_FALSE(key.Create(std::string(kRegistryNameBuffer, 'k')));
    EXPECT_TRUE(key.Create(std::string(kRegistryNameBuffer - 1, 'k')));
    RegistryKey child;
    EXPECT_FALSE(child.Open(RegistryKey(), "Anything"));
}

TEST(RegistryValues, ValuesKeepTheirWrittenOrder)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Order"));
    const std::vector<std::string> names = {"Zeta", "alpha", "Mid", "beta"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_TRUE(key.SetDword(names[i], static_cast<uint32_t>(i)));
    ASSERT_TRUE(key.SetString("Alpha", "now text")); // replaced in place
    std::vector<std::string> seen;
    RegistryValue v;
    for (std::size_t i = 0; key.EnumValue(i, v); ++i)
        seen.push_back(v.name);
    EXPECT_EQ(seen, names);
    ASSERT_TRUE(key.EnumValue(1, v));
    EXPECT_EQ(v.type, RegistryType::String);
    EXPECT_EQ(v.text, "now text");
    EXPECT_TRUE(key.DeleteValue("MID"));
    EXPECT_FALSE(key.DeleteValue("MID"));
    ASSERT_TRUE(key.EnumValue(2, v));
    EXPECT_EQ(v.name, "beta");
}

TEST(RegistryValues, MissingOrMistypedReadsLeaveTheFieldAlone)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Reads"));
    ASSERT_TRUE(key.SetString("Text", "12"));
    ASSERT_TRUE(key.SetDword("Number", 7));
    uint32_t u = 99;
    int32_t i = -5;
    EXPECT_FALSE(key.QueryDword("Missing", u));
    EXPECT_FALSE(key.QueryDword("Text", u));
    EXPECT_FALSE(key.QueryDword("Missing", i));
    EXPECT_EQ(u, 99u);
    EXPECT_EQ(i, -5);
    char buf[16];
    std::memcpy(buf, "unchanged", 10);
    EXPECT_FALSE(key.QueryString("Missing", buf, sizeof buf));
    EXPECT_FALSE(key.QueryString("Number", buf, sizeof buf));
    EXPECT_STREQ(buf, "unchanged");
    // A key deleted from the file under an open handle reads as missing.
    reg.Write(std::string(kHeader));
    EXPECT_FALSE(key.QueryDword("Number", u));
    EXPECT_EQ(u, 99u);
}

TEST(RegistryValues, DwordsKeepAllThirtyTwoBits)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Bits"));
    ASSERT_TRUE(key.SetDword("Max", 0xFFFFFFFFu));
    ASSERT_TRUE(key.SetDword("Thirty", 30));
    int32_t signedValue = 0;
    EXPECT_TRUE(key.QueryDword("Max", signedValue));
    EXPECT_EQ(signedValue, -1);
    EXPECT_NE(reg.Read().find("\"Thirty\"=dword:0000001e"), std::string::npos);
}

TEST(RegistryValues, TextReadsAreBoundedByTheBuffer)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Bounds"));
    ASSERT_TRUE(key.SetString("Five", "abcde"));
    char small[5];
    std::memcpy(small, "keep", 5);
    EXPECT_FALSE(key.QueryString("Five", small, sizeof small)); // needs 6 with the NUL
    EXPECT_STREQ(small, "keep");
    char exact[6];
    EXPECT_TRUE(key.QueryString("Five", exact, sizeof exact));
    EXPECT_STREQ(exact, "abcde");
    const std::string longText(1023, 'x');
    ASSERT_TRUE(key.SetString("Long", longText));
    char buf[1024];
    EXPECT_TRUE(key.QueryString("Long", buf, sizeof buf));
    EXPECT_EQ(std::strlen(buf), 1023u);
    ASSERT_TRUE(key.SetString("Long", longText + "y"));
    std::string s = "old";
    EXPECT_FALSE(key.QueryString("Long", s, 1024));
    EXPECT_EQ(s, "old");
    EXPECT_TRUE(key.QueryString("Long", s, 2048));
    EXPECT_EQ(s.size(), 1024u);
    // Enumeration cuts instead, at a character boundary.
    ASSERT_TRUE(key.SetString("Wide", "\xC3\xA9\xC3\xA9"));
    RegistryValue v;
    ASSERT_TRUE(key.EnumValue(2, v, 4));
    EXPECT_EQ(v.text, "\xC3\xA9");
}

TEST(RegistryValues, EscapesRoundTrip)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Escapes"));
    const std::string tricky = "C:\\Program Files\\\"quoted\" \\\\ end\\";
    const std::string name = "Na\"me\\";
    ASSERT_TRUE(key.SetString(name, tricky));
    ASSERT_TRUE(key.SetString("", "default value"));
    EXPECT_NE(reg.Read().find("\"Na\\\"me\\\\\"=\"C:\\\\Program Files\\\\\\\"quoted\\\" \\\\\\\\ end\\\\\""),
        std::string::npos);
    EXPECT_NE(reg.Read().find("@=\"default value\""), std::string::npos);
    std::string back;
    EXPECT_TRUE(key.QueryString(name, back));
    EXPECT_EQ(back, tricky);
    EXPECT_TRUE(key.QueryString("", back));
    EXPECT_EQ(back, "default value");
}

TEST(RegistryValues, TextThatTheFileCannotHoldIsRefused)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Refused"));
    EXPECT_FALSE(key.SetString("Line", "one\ntwo"));
    EXPECT_FALSE(key.SetString("Cr", "one\rtwo"));
    EXPECT_FALSE(key.SetString("Nul", std::string("a\0b", 3)));
    EXPECT_FALSE(key.SetString("Bad", "\xFF\xFE"));
    EXPECT_FALSE(key.SetString("Huge", std::string(kRegistryMaxText + 1, 'h')));
    EXPECT_FALSE(key.SetDword(std::string(kRegistryNameBuffer, 'n'), 1));
    RegistryValue v;
    EXPECT_FALSE(key.EnumValue(0, v));
}

TEST(RegistryFile, HandWrittenFileIsRead)
{
    TempRegistry reg;
    reg.Write("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
              "; a comment\r\n"
              "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List]\r\n"
              "\"VELMORA3D\"=\"Velmora 3D\"\r\n"
              "\"Blob\"=hex:01,02,\\\r\n"
              "  03,04\r\n"
              "\"Corvane3D\" = \"Corvane 3D\"\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
              "\"Kept\"=dword:00000001\r\n");
    RegistryKey parent;
    EXPECT_TRUE(parent.Open("software\\tarnwick")); // exists because a key below it does
    RegistryKey list;
    ASSERT_TRUE(list.Open("Software\\Tarnwick\\Kestrova3D\\List"));
    RegistryValue v;
    ASSERT_TRUE(list.EnumValue(1, v));
    EXPECT_EQ(v.type, RegistryType::Opaque);
    ASSERT_TRUE(list.EnumValue(2, v));
    EXPECT_EQ(v.name, "Corvane3D");
    EXPECT_EQ(v.text, "Corvane 3D");
    std::string s;
    EXPECT_FALSE(list.QueryString("Blob", s));
    // A write keeps what this interface cannot read and adds no damaged copy.
    ASSERT_TRUE(list.SetString("Third", "T"));
    const std::string after = reg.Read();
    EXPECT_NE(after.find("\"Blob\"=hex:01,02,03,04"), std::string::npos);
    EXPECT_NE(
        after.find("[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"Kept\"=dword:00000001"), std::string::npos);
    EXPECT_TRUE(DamagedCopies(reg).empty());
}

TEST(RegistryFile, GarbageLinesReadAsMissingAndAreKeptAside)
{
    TempRegistry reg;
    const std::string damaged = std::string(kHeader)
        + "\n[HKEY_CURRENT_USER\\Software\\Good]\n"
          "\"A\"=dword:00000001\n"
          "this line is garbage\n"
          "\"B\"=dword:0000002\n" // seven digits: cut
          "\"C\"=\"unterminated\n"
          "\"D\"=\"bad \\escape\"\n"
          "\"E\"=dword:00000005\n"
          "[HKEY_CURRENT_USER\\Software\\\\Broken]\n"
          "\"InBroken\"=dword:00000009\n"
          "[HKEY_CURRENT_USER\\Software\\Later]\n"
          "\"F\"=\"fine\"\n";
    reg.Write(damaged);
    RegistryKey good;
    ASSERT_TRUE(good.Open("Software\\Good"));
    uint32_t v = 77;
    EXPECT_TRUE(good.QueryDword("A", v));
    EXPECT_EQ(v, 1u);
    v = 77;
    EXPECT_FALSE(good.QueryDword("B", v));
    EXPECT_EQ(v, 77u);
    std::string s = "same";
    EXPECT_FALSE(good.QueryString("C", s));
    EXPECT_FALSE(good.QueryString("D", s));
    EXPECT_EQ(s, "same");
    EXPECT_TRUE(good.QueryDword("E", v));
    EXPECT_EQ(v, 5u);
    // The values under the broken section must not slip into the key before it.
    EXPECT_FALSE(good.QueryDword("InBroken", v));
    RegistryKey later;
    ASSERT_TRUE(later.Open("Software\\Later"));
    EXPECT_TRUE(later.QueryString("F", s));
    EXPECT_EQ(s, "fine");
    EXPECT_TRUE(DamagedCopies(reg).empty()); // reads never write

    ASSERT_TRUE(good.SetDword("New", 3));
    const auto copies = DamagedCopies(reg);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(testing::ReadFileBytes(copies[0]), damaged);
    // The rewritten file is clean: the next write keeps no second copy.
    ASSERT_TRUE(good.SetDword("Newer", 4));
    EXPECT_EQ(DamagedCopies(reg).size(), 1u);
    EXPECT_TRUE(later.QueryString("F", s));
    EXPECT_TRUE(good.QueryDword("A", v));
    EXPECT_EQ(v, 1u);
}

TEST(RegistryFile, TruncatedFileReadsAsMissingWhereCut)
{
    TempRegistry reg;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Cut"));
    ASSERT_TRUE(key.SetDword("First", 1));
    ASSERT_TRUE(key.SetString("Second", "a long text value"));
    const std::string full = reg.Read();
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        reg.Write(full.substr(0, cut));
        uint32_t v = 42;
        const bool first = key.QueryDword("First", v);
        // A cut inside the eight digits never yields a smaller number.
        EXPECT_TRUE(!first || v == 1u) << "cut at " << cut;
        std::string s = "x";
        if (key.QueryString("Second", s)) {
            EXPECT_EQ(s, "a long text value") << "cut at " << cut;
        }
    }
    // Cut in the middle of the last line: the next write keeps a copy aside.
    reg.Write(full.substr(0, full.size() - 4));
    ASSERT_TRUE(key.SetDword("Third", 3));
    EXPECT_EQ(DamagedCopies(reg).size(), 1u);
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword("First", v));
    EXPECT_EQ(v, 1u);
}

TEST(RegistryFile, BinaryNoiseDoesNoHarm)
{
    TempRegistry reg;
    std::string noise
        = std::string(kHeader) + "[HKEY_CURRENT_USER\\Software\\Noise]\n\"Ok\"=dword:00000002\n";
    uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>(state >> 24);
    }
    noise += "\n[HKEY_CURRENT_USER\\Software\\After]\n\"Also\"=dword:00000003\n";
    reg.Write(noise);
    RegistryKey key;
    ASSERT_TRUE(key.Open("Software\\Noise"));
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword("Ok", v));
    EXPECT_EQ(v, 2u);
    RegistryValue value;
    for (std::size_t i = 0; key.EnumValue(i, value); ++i)
        EXPECT_LT(i, 64u);
    RegistryKey after;
    ASSERT_TRUE(after.Create("Software\\After2"));
    ASSERT_TRUE(after.SetDword("X", 1));
    ASSERT_EQ(DamagedCopies(reg).size(), 1u);
    EXPECT_EQ(testing::ReadFileBytes(DamagedCopies(reg)[0]), noise);
}

TEST(RegistryFile, MissingHeaderCountsAsDamage)
{
    TempRegistry reg;
    reg.Write("[HKEY_CURRENT_USER\\Software\\NoHeader]\n\"A\"=dword:00000001\n");
    RegistryKey key;
    ASSERT_TRUE(key.Open("Software\\NoHeader"));
    ASSERT_TRUE(key.SetDword("B", 2));
    EXPECT_EQ(DamagedCopies(reg).size(), 1u);
    EXPECT_EQ(reg.Read().rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
}

TEST(RegistryFile, OverlongLinesAndOversizedFilesAreCapped)
{
    TempRegistry reg;
    std::string text = std::string(kHeader)
        + "[HKEY_CURRENT_USER\\Software\\Caps]\n\"A\"=dword:00000001\n\"Big\"=\""
        + std::string(200 * 1024, 'b') + "\"\n\"C\"=dword:00000003\n";
    reg.Write(text);
    RegistryKey key;
    ASSERT_TRUE(key.Open("Software\\Caps"));
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword("C", v));
    std::string s;
    EXPECT_FALSE(key.QueryString("Big", s, 1 << 20));
    // Past the file cap the rest reads as cut.
    text += std::string(kRegistryMaxFileSize, '\n') + "[HKEY_CURRENT_USER\\Software\\Beyond]\n";
    reg.Write(text);
    RegistryKey beyond;
    EXPECT_FALSE(beyond.Open("Software\\Beyond"));
    EXPECT_TRUE(key.QueryDword("C", v));
}

TEST(RegistryFile, UnreadableFileIsNeverReplaced)
{
    TempRegistry reg;
    // A directory where the file should be cannot be read, so no write may
    // replace it.
    std::filesystem::create_directory(reg.File());
    RegistryKey key;
    EXPECT_FALSE(key.Create("Software\\X"));
    EXPECT_TRUE(std::filesystem::is_directory(reg.File()));
}

TEST(RegistryFile, SymlinkedFileStaysLinked)
{
    TempRegistry reg;
    const std::string real = (reg.Dir() / "real.reg").string();
    std::filesystem::create_symlink(real, reg.File());
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Linked"));
    ASSERT_TRUE(key.SetDword("V", 5));
    EXPECT_TRUE(std::filesystem::is_symlink(reg.File()));
    EXPECT_NE(testing::ReadFileBytes(real).find("\"V\"=dword:00000005"), std::string::npos);
}

// Two processes write many values each into the same key at the same time;
// with the lock and the atomic replace, every single value must arrive.
TEST(RegistryConcurrency, WritersInTwoProcessesLoseNothing)
{
    TempRegistry reg;
    constexpr int kRounds = 150;
    RegistryKey key;
    ASSERT_TRUE(key.Create("Software\\Race"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey mine;
            int failures = 0;
            if (!mine.Open("Software\\Race"))
                ::_exit(2);
            for (int i = 0; i < kRounds; ++i) {
                const std::string name = std::string(c == 0 ? "A" : "B") + std::to_string(i);
                if (!mine.SetDword(name, static_cast<uint32_t>(i)))
                    ++failures;
                if (!mine.SetString(c == 0 ? "LastA" : "LastB", name))
                    ++failures;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children[c] = pid;
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    for (int i = 0; i < kRounds; ++i) {
        for (const char* prefix : {"A", "B"}) {
            uint32_t v = 0xFFFF;
            EXPECT_TRUE(key.QueryDword(prefix + std::to_string(i), v)) << prefix << i;
            EXPECT_EQ(v, static_cast<uint32_t>(i));
        }
    }
    std::string last;
    EXPECT_TRUE(key.QueryString("LastA", last));
    EXPECT_EQ(last, "A" + std::to_string(kRounds - 1));
    EXPECT_TRUE(key.QueryString("LastB", last));
    EXPECT_EQ(last, "B" + std::to_string(kRounds - 1));
    EXPECT_TRUE(DamagedCopies(reg).empty());
    // No temp file is left behind.
    for (const auto& e : std::filesystem::directory_iterator(reg.Dir()))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

} // namespace
} // namespace velmora::platform

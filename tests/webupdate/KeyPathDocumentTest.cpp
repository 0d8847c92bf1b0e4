// The key-path reader: what it accepts, the pairs it yields, its lookups.

#include "webupdate/KeyPathDocument.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TestHttpServer.h"

namespace velmora::webupdate {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const KeyPathDocument& document)
{
    Pairs pairs;
    for (const KeyPathPair& p : document.Pairs())
        pairs.emplace_back(p.key, p.text);
    return pairs;
}

struct ParseCase {
    const char* name;
    std::string text;
    bool accepted;
    Pairs pairs; // only when accepted
};

std::string Repeat(char c, std::size_t n)
{
    return std::string(n, c);
}

std::vector<ParseCase> ParseCases()
{
    return {
        {"ProductListShape",
            "<English><ProductsList><Count>2</Count><Product1><Title>A</Title></Product1></ProductsList></"
            "English>",
            true, {{"English.ProductsList.Count", "2"}, {"English.ProductsList.Product1.Title", "A"}}},
        {"ProcessingInstructionSkipped", "<?xml version=\"1.0\"?>\n<a>x</a>", true, {{"a", "x"}}},
        {"SpacesAroundTextKept", "<a>  word  </a>", true, {{"a", "  word  "}}},
        {"LineBreaksKept", "<a>one\ntwo\r\nthree</a>", true, {{"a", "one\ntwo\r\nthree"}}},
        {"TextAroundChildInOrder", "<a>x<b>y</b>z</a>", true, {{"a", "x"}, {"a.b", "y"}, {"a", "z"}}},
        {"WhiteSpaceBetweenTagsIsNoText", "<a>\n  <b>y</b>\n</a>\n", true, {{"a.b", "y"}}},
        {"EntitiesNotDecoded", "<a>&amp;</a>", true, {{"a", "&amp;"}}},
        {"TextOutsideElementsGetsEmptyKey", "lead<a>x</a>", true, {{"", "lead"}, {"a", "x"}}},
        {"SpaceAfterOpeningBracket", "< a>x</a>", true, {{"a", "x"}}},
        {"EmptyDocument", "", true, {}},
        {"OnlyWhiteSpace", " \t\r\n", true, {}},
        {"NamesKeepTheirCase", "<Aa>x</Aa>", true, {{"Aa", "x"}}},
        {"AttributeBecomesPartOfTheName", "<Item id=\"3\">x</Item>", false, {}},
        {"EmptyElementTagNeverCloses", "<a/>", false, {}},
        {"CommentOpensAnElement", "<a><!-- note -->x</a>", false, {}},
        {"TextAtTheEndWithoutTag", "<a>x", false, {}},
        {"ElementLeftOpen", "<a>", false, {}},
        {"ClosingTagOfAnotherName", "<a>x</b>", false, {}},
        {"ClosingTagOtherCase", "<a>x</A>", false, {}},
        {"OpeningBracketWithoutClose", "<a>x</a", false, {}},
        {"LoneClosingTagAtTop", "</a>", false, {}},
        {"TagTooLong", "<" + Repeat('n', 1024) + ">", false, {}},
        // The closing tag's content counts its "/", so the longest name that
        // can be closed has 1,022 letters.
        {"ClosingTagOfMaximumLength", "<" + Repeat('n', 1022) + ">x</" + Repeat('n', 1022) + ">", true,
            {{Repeat('n', 1022), "x"}}},
        {"ClosingTagTooLong", "<" + Repeat('n', 1023) + ">x</" + Repeat('n', 1023) + ">", false, {}},
        {"InstructionOfMaximumLength", "<?" + Repeat('p', 1021) + "?><a>x</a>", true, {{"a", "x"}}},
        {"TextOfMaximumLength", "<a>" + Repeat('t', 1023) + "</a>", true, {{"a", Repeat('t', 1023)}}},
        {"TextTooLong", "<a>" + Repeat('t', 1024) + "</a>", false, {}},
        {"HighBytesAreNotWhiteSpace", "<a>\xc3\xa9</a>", true, {{"a", "\xc3\xa9"}}},
    };
}

class KeyPathParseTest : public ::testing::TestWithParam<ParseCase> { };

TEST_P(KeyPathParseTest, ParsesAsExpected)
{
    const ParseCase& c = GetParam();
    KeyPathDocument document;
    // A failed parse must also drop what an earlier one held.
    ASSERT_EQ(document.Parse("<old>stale</old>"), 1);
    EXPECT_EQ(document.Parse(c.text.c_str()), c.accepted ? 1 : 0);
    if (!c.accepted) {
        EXPECT_TRUE(document.Pairs().empty());
        return;
    }
    EXPECT_EQ(PairsOf(document), c.pairs);
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyPathParseTest, ::testing::ValuesIn(ParseCases()),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(KeyPathDocumentTest, ClosingNameIsMatchedAgainstTheEndOfThePath)
{
    KeyPathDocument document;
    // "b" closes "ab" because the path ends in it; the path drops the name
    // and the character in front of it.
    ASSERT_EQ(document.Parse("<x><ab>t</b>u</x>"), 0);
    ASSERT_EQ(document.Parse("<x><ab>t</ab>u</x>"), 1);
    EXPECT_EQ(PairsOf(document), (Pairs {{"x.ab", "t"}, {"x", "u"}}));
}

TEST(KeyPathDocumentTest, LookupsIgnoreLetterCaseAndTakeTheFirstPair)
{
    KeyPathDocument document;
    ASSERT_EQ(document.Parse("<English><Count>2</Count><Count>3</Count></English>"), 1);
    std::string text = "unchanged";
    EXPECT_EQ(document.GetString("english.COUNT", text), 1);
    EXPECT_EQ(text, "2");
    text = "unchanged";
    EXPECT_EQ(document.GetString("English.Missing", text), 0);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(document.GetString("English.Coun", text), 0);
}

struct IntCase {
    const char* text;
    int value;
};

class KeyPathIntTest : public ::testing::TestWithParam<IntCase> { };

TEST_P(KeyPathIntTest, ReadsLikePercentD)
{
    const IntCase& c = GetParam();
    KeyPathDocument document;
    ASSERT_EQ(document.Parse(("<n>" + std::string(c.text) + "</n>").c_str()), 1);
    int value = -12345;
    EXPECT_EQ(document.GetInt("N", value), 1);
    EXPECT_EQ(value, c.value) << "text: " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, KeyPathIntTest,
    ::testing::Values(IntCase {" 42abc", 42}, IntCase {"7", 7}, IntCase {"-13", -13}, IntCase {"+5x", 5},
        IntCase {"\t\n 9 10", 9}, IntCase {"abc", 0}, IntCase {"-", 0}, IntCase {"0042", 42},
        IntCase {"2147483647", 2147483647}, IntCase {"99999999999999999999", 2147483647},
        IntCase {"-2147483648", -2147483647 - 1}, IntCase {"-99999999999", -2147483647 - 1}));

TEST(KeyPathDocumentTest, GetIntOfAMissingKeyLeavesTheValue)
{
    KeyPathDocument document;
    ASSERT_EQ(document.Parse("<n>1</n>"), 1);
    int value = 77;
    EXPECT_EQ(document.GetInt("m", value), 0);
    EXPECT_EQ(value, 77);
}

TEST(KeyPathDocumentTest, RefusesADocumentWhosePairsWouldTakeTooMuchMemory)
{
    // Deep nesting makes every text carry a long key path.
    std::string text;
    const int depth = 4000;
    for (int i = 0; i < depth; ++i)
        text += "<element>";
    for (int i = 0; i < 20000; ++i)
        text += "x<b></b>";
    for (int i = 0; i < depth; ++i)
        text += "</element>";
    KeyPathDocument document;
    EXPECT_EQ(document.Parse(text.c_str()), 0);
    EXPECT_TRUE(document.Pairs().empty());
}

class KeyPathFileTest : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    std::string PathOf(const std::string& name) const { return (folder_.Path() / name).string(); }
};

TEST_F(KeyPathFileTest, LoadsFilesAcrossManyReadPieces)
{
    // Well past one 256-byte piece, and ending exactly on a piece boundary.
    for (const std::size_t length :
        {std::size_t {10}, std::size_t {256}, std::size_t {1000}, std::size_t {5000}}) {
        std::string text = "<list>";
        int items = 0;
        while (text.size() + 20 < length) {
            text += "<i>" + std::to_string(items++) + "</i>";
        }
        text += "</list>";
        text.resize(std::max(text.size(), length), ' ');
        folder_.Write("doc.xml", text);
        KeyPathDocument document;
        ASSERT_EQ(document.LoadFile(PathOf("doc.xml")), 1) << length;
        EXPECT_EQ(document.Pairs().size(), static_cast<std::size_t>(items)) << length;
    }
}

TEST_F(KeyPathFileTest, NulByteEndsTheText)
{
    folder_.Write("doc.xml", std::string("<a>x</a>\0<b>", 12));
    KeyPathDocument document;
    ASSERT_EQ(document.LoadFile(PathOf("doc.xml")), 1);
    EXPECT_EQ(PairsOf(document), (Pairs {{"a", "x"}}));
}

TEST_F(KeyPathFileTest, MissingOrBrokenFilesFail)
{
    KeyPathDocument document;
    EXPECT_EQ(document.LoadFile(PathOf("absent.xml")), 0);
    EXPECT_EQ(document.LoadFile(folder_.Path().string()), 0); // a folder
    folder_.Write("broken.xml", "<a>x</b>");
    ASSERT_EQ(document.Parse("<a>x</a>"), 1);
    EXPECT_EQ(document.LoadFile(PathOf("broken.xml")), 0);
    EXPECT_TRUE(document.Pairs().empty());
}

} // namespace
} // namespace velmora::webupdate

#include "scene/StarField.h"

#include "scene/GlApi.h"
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ElementGl.h"
#include "scene/SceneNotifier.h"
#include "SceneTestSupport.h"

namespace velmora {
namespace {

struct Parsed {
    HeapBlock block;
    int32_t count = 0;
    bool allocFailed = false;
    const StarRecord* records() const { return reinterpret_cast<const StarRecord*>(block.get()); }
};

Parsed ParseText(const std::string& text)
{
    Parsed p;
    p.block = StarCatalogue::Parse(text.data(), static_cast<long>(text.size()), p.count, p.allocFailed);
    return p;
}

TEST(StarCatalogueParse, OneRecordPerLineFeedInFileOrder)
{
    const Parsed p = ParseText("6.70;0.35;25.12;A\r\n-1.46;28.14;-9.29;O\r\n3.00;99.99;-49.42;M\r\n");
    ASSERT_EQ(p.count, 3);
    ASSERT_TRUE(p.block);
    EXPECT_FALSE(p.allocFailed);
    const StarRecord* r = p.records();
    EXPECT_DOUBLE_EQ(r[0].magnitude, 6.70);
    EXPECT_DOUBLE_EQ(r[0].rightAscension, 0.35);
    EXPECT_DOUBLE_EQ(r[0].declination, 25.12);
    EXPECT_EQ(r[0].spectralIndex, 2);
    EXPECT_DOUBLE_EQ(r[1].magnitude, -1.46);
    EXPECT_EQ(r[1].spectralIndex, 0);
    EXPECT_DOUBLE_EQ(r[2].declination, -49.42);
    EXPECT_EQ(r[2].spectralIndex, 6);
}

TEST(StarCatalogueParse, LastLineWithoutLineFeedIsNotCounted)
{
    const Parsed p = ParseText("1.0;1.0;1.0;B\n2.0;2.0;2.0;G");
    EXPECT_EQ(p.count, 1);
    EXPECT_DOUBLE_EQ(p.records()[0].magnitude, 1.0);
    const Parsed none = ParseText("2.0;2.0;2.0;G");
    EXPECT_EQ(none.count, 0);
    EXPECT_FALSE(none.block);
    EXPECT_FALSE(none.allocFailed);
}

TEST(StarCatalogueParse, MalformedLinesBecomeInvisibleStarsNotGarbage)
{
    const Parsed p = ParseText("garbage\n1.0;nan;2.0;K\n\n" + std::string(1000, '9') + "\n1.5;2;3;K\n");
    ASSERT_EQ(p.count, 5);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(AppearanceOf(p.records()[i]).direction.x)) << i;
        // Brightness 0: the colour adds nothing.
        EXPECT_NEAR(AppearanceOf(p.records()[i]).r, 0.0, 1e-12) << i;
    }
    EXPECT_EQ(p.records()[4].spectralIndex, 5);
    EXPECT_DOUBLE_EQ(p.records()[4].magnitude, 1.5);
}

TEST(StarCatalogueParse, EmptyOrMissingInputGivesNoArray)
{
    int32_t count = 7;
    bool allocFailed = true;
    EXPECT_FALSE(StarCatalogue::Parse(nullptr, 10, count, allocFailed));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(allocFailed);
    EXPECT_FALSE(StarCatalogue::Parse("x\n", 0, count, allocFailed));
    EXPECT_FALSE(StarCatalogue::Parse("x\n", -5, count, allocFailed));
}

TEST(StarAppearance, UnknownLettersAndIndexesCountAsF)
{
    const char* letters = "OBAFGKM";
    for (int i = 0; letters[i] != '\0'; ++i)
        EXPECT_EQ(SpectralIndexOf(letters[i]), i) << letters[i];
    const StarAppearance f = AppearanceOf({0.0, 0.0, 2.0, SpectralIndexOf('F')});
    for (const int8_t index : {SpectralIndexOf('X'), SpectralIndexOf('?'), int8_t {-1}, int8_t {7}}) {
        const StarAppearance other = AppearanceOf({0.0, 0.0, 2.0, index});
        EXPECT_EQ(other.r, f.r) << int {index};
        EXPECT_EQ(other.g, f.g) << int {index};
        EXPECT_EQ(other.b, f.b) << int {index};
    }
}

// Brightness falls with magnitude to black at 8.5; a magnitude -1.5 star is
// over-driven past white in its brightest channel, so GL shows it white.
TEST(StarAppearance, BrightnessFallsWithMagnitude)
{
    struct Row {
        double brighter;
        double fainter;
    };
    for (const Row row : {Row {-1.5, 0.0}, Row {0.0, 4.0}, Row {4.0, 8.0}}) {
        const StarAppearance a = AppearanceOf({0.0, 0.0, row.brighter, SpectralIndexOf('G')});
        const StarAppearance b = AppearanceOf({0.0, 0.0, row.fainter, SpectralIndexOf('G')});
        EXPECT_GT(a.r, b.r) << row.brighter;
        EXPECT_GT(a.b, b.b) << row.brighter;
    }
    EXPECT_GT(AppearanceOf({0.0, 0.0, -1.5, SpectralIndexOf('M')}).r, 1.0);
    EXPECT_NEAR(AppearanceOf({0.0, 0.0, 8.5, 0}).b, 0.0, 1e-12);
}

TEST(StarAppearance, PointSizeFromMagnitude)
{
    EXPECT_FLOAT_EQ(AppearanceOf({0, 0, 3.0, 2}).pointSize, 2.0f);
    EXPECT_FLOAT_EQ(AppearanceOf({0, 0, 7.96, 2}).pointSize, 2.0f);
    EXPECT_FLOAT_EQ(AppearanceOf({0, 0, -1.46, 2}).pointSize, 6.46f);
    EXPECT_FLOAT_EQ(AppearanceOf({0, 0, 2.9, 2}).pointSize, 2.1f);
}

TEST(StarAppearance, PositionsOnTheSkySphere)
{
    const Vec3 a = AppearanceOf({25.0, 0.0, 5.0, 1}).direction;
    EXPECT_NEAR(a.x * 350, 0.0, 1e-9);
    EXPECT_NEAR(a.y * 350, 350.0, 1e-9);
    EXPECT_NEAR(a.z * 350, 0.0, 1e-9);
    for (double ra : {0.0, 13.0, 77.7}) {
        const Vec3 pole = AppearanceOf({ra, 50.0, 5.0, 1}).direction;
        EXPECT_NEAR(pole.x * 350, 0.0, 1e-9);
        EXPECT_NEAR(pole.y * 350, 0.0, 1e-9);
        EXPECT_NEAR(pole.z * 350, 350.0, 1e-9);
    }
}

// Loading goes through an archive of our own registered in place of the
// program's.
TEST(StarCatalogueLoad, ReadsStarsDatAndKeepsTheArray)
{
    test::RegisteredArchive archive(test::SyntheticSceneArchive());
    StderrNotifier notifier;
    std::vector<HeapBlock> retained;
    StarCatalogue stars;
    ASSERT_TRUE(stars.Load(notifier, retained));
    EXPECT_EQ(notifier.ErrorCount(), 0);
    EXPECT_FALSE(notifier.QuitRequested());
    ASSERT_EQ(stars.Count(), 2);
    ASSERT_EQ(retained.size(), 1u);
    EXPECT_EQ(reinterpret_cast<const StarRecord*>(retained[0].get()), stars.Records());
    EXPECT_EQ(stars.Records()[1].spectralIndex, 6);
    EXPECT_EQ(stars.ListName(), -1);
}

TEST(StarCatalogueLoad, FailuresAreReportedAndQuit)
{
    const std::string junk = "this is not a zip archive";
    const struct {
        const char* what;
        test::Bytes archive;
        const char* message;
    } rows[] = {
        {"no stars.dat", test::SyntheticSceneArchive({ArchiveMemberId::Stars}),
            "Can't open stars data file."},
        {"not an archive", test::Bytes(junk.begin(), junk.end()), "Can't open resource data file."},
    };
    for (const auto& row : rows) {
        test::RegisteredArchive archive(row.archive);
        StderrNotifier notifier;
        std::vector<HeapBlock> retained;
        StarCatalogue stars;
        EXPECT_FALSE(stars.Load(notifier, retained)) << row.what;
        EXPECT_EQ(notifier.FirstError(), row.message) << row.what;
        EXPECT_TRUE(notifier.QuitRequested()) << row.what;
        EXPECT_TRUE(retained.empty()) << row.what;
        EXPECT_EQ(stars.Count(), 0) << row.what;
        stars.Draw(); // no array: draws nothing and needs no context
    }
}

int CountLitPixels(const std::vector<uint8_t>& rgba)
{
    int lit = 0;
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        lit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    return lit;
}

TEST(StarCatalogueDraw, FirstFrameCompilesTheListLaterFramesReplayIt)
{
    std::string error;
    const auto context = test::SquareGlContext(64, error);
    ASSERT_TRUE(context) << error;

    // Ten bright stars around the celestial equator plus a pole star.
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "0.5;" + std::to_string(i * 10) + ".0;0.0;G\r\n";
    text += "0.5;0.0;50.0;B\r\n";
    test::ZipBuilder zip;
    zip.Add(ArchiveMemberName(ArchiveMemberId::Stars), text);
    test::RegisteredArchive archive(zip.Finish());
    StderrNotifier notifier;
    std::vector<HeapBlock> retained;
    StarCatalogue stars;
    ASSERT_TRUE(stars.Load(notifier, retained));

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Look at the north pole of the sky from the centre.
    gluLookAt(0, 0, 0, 0, 0, 1, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stars.Draw();
    const auto first = context->ReadPixelsTopDown();
    EXPECT_NE(stars.ListName(), -1);
    EXPECT_TRUE(glIsList(static_cast<GLuint>(stars.ListName())));
    // The pole star sits in the middle of the view.
    const std::size_t centre = (32u * 64u + 32u) * 4u;
    EXPECT_GT(first[centre] + first[centre + 1] + first[centre + 2], 200);
    EXPECT_GT(CountLitPixels(first), 0);

    // The state the pass hands on is its declared contract, checked in real
    // frames by the pass state suite.
    const GLint list = stars.ListName();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    stars.Draw();
    EXPECT_EQ(stars.ListName(), list);
    EXPECT_EQ(context->ReadPixelsTopDown(), first);

    // Stars write no depth: the buffer keeps its cleared value.
    GLfloat depth = 0.0f;
    glReadPixels(32, 32, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f);
}

} // namespace
} // namespace velmora

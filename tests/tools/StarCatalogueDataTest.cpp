// Checks the committed star catalogue res/data/stars.dat: its byte layout, the
// ranges of its fields, its class statistics and a few stars whose places are
// known independently of the converter that wrote the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#ifndef VELMORA_SOURCE_DIR
#error "VELMORA_SOURCE_DIR must name the source tree"
#endif

namespace velmora {
namespace {

constexpr int kCatalogueStars = 9096;

struct Star {
    double magnitude = 0;
    double rightAscension = 0; // hundredths of a turn
    double declination = 0; // hundredths of a half turn
    char spectralClass = 0;
};

std::string ReadCatalogueBytes()
{
    std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/res/data/stars.dat", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines without their CR LF.
std::vector<std::string> SplitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', start)) {
        size_t end = lf;
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

// The same pattern the scene reads the file with.
bool ParseStar(const std::string& line, Star& star)
{
    return std::sscanf(line.c_str(), "%lf;%lf;%lf;%c", &star.magnitude, &star.rightAscension,
               &star.declination, &star.spectralClass)
        == 4;
}

// A decimal with exactly two digits after the point, optionally negative.
bool IsTwoDecimalNumber(const std::string& field)
{
    size_t i = field.starts_with('-') ? 1 : 0;
    const size_t point = field.find('.');
    if (point == std::string::npos || point == i || point + 3 != field.size()) {
        return false;
    }
    for (; i < field.size(); ++i) {
        if (i != point && (field[i] < '0' || field[i] > '9')) {
            return false;
        }
    }
    return true;
}

struct Catalogue {
    std::string bytes;
    std::vector<Star> stars;
};

// Read once for the whole suite.
const Catalogue& TheCatalogue()
{
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.bytes = ReadCatalogueBytes();
        for (const auto& line : SplitLines(c.bytes)) {
            Star s;
            if (ParseStar(line, s)) {
                c.stars.push_back(s);
            }
        }
        return c;
    }();
    return catalogue;
}

// Catalogue position of a star given in hours/minutes/seconds and degrees.
double RaUnits(int h, int m, double s)
{
    return (h + m / 60.0 + s / 3600.0) / 24.0 * 100.0;
}
double DecUnits(double degrees)
{
    return degrees / 180.0 * 100.0;
}

// The catalogue star nearest in magnitude among those within 0.05 units of a place.
const Star* FindNear(double ra, double dec, double magnitude)
{
    const Star* best = nullptr;
    for (const auto& s : TheCatalogue().stars) {
        if (std::abs(s.rightAscension - ra) < 0.05 && std::abs(s.declination - dec) < 0.05
            && std::abs(s.magnitude - magnitude) < 0.1) {
            if (!best || std::abs(s.magnitude - magnitude) < std::abs(best->magnitude - magnitude)) {
                best = &s;
            }
        }
    }
    return best;
}

TEST(StarCatalogueData, EveryLineEndsInCrLf)
{
    const std::string& bytes = TheCatalogue().bytes;
    ASSERT_FALSE(bytes.empty()) << "res/data/stars.dat is missing or empty";
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    int lineFeeds = 0;
    int bareLineFeeds = 0;
    int strayReturns = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lineFeeds;
            bareLineFeeds += (i == 0 || bytes[i - 1] != '\r') ? 1 : 0;
        } else if (bytes[i] == '\r') {
            strayReturns += (i + 1 == bytes.size() || bytes[i + 1] != '\n') ? 1 : 0;
        }
    }
    // The reader counts records by line feeds.
    EXPECT_EQ(lineFeeds, kCatalogueStars);
    EXPECT_EQ(bareLineFeeds, 0);
    EXPECT_EQ(strayReturns, 0);
}

TEST(StarCatalogueData, EveryLineHasFourFieldsWithTwoDecimals)
{
    const auto lines = SplitLines(TheCatalogue().bytes);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kCatalogueStars));
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        Star s;
        ASSERT_TRUE(ParseStar(line, s)) << "line " << n + 1 << ": " << line;
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t semi = line.find(';'); semi != std::string::npos; semi = line.find(';', start)) {
            fields.push_back(line.substr(start, semi - start));
            start = semi + 1;
        }
        fields.push_back(line.substr(start));
        ASSERT_EQ(fields.size(), 4u) << "line " << n + 1 << ": " << line;
        for (int f = 0; f < 3; ++f) {
            EXPECT_TRUE(IsTwoDecimalNumber(fields[f]))
                << "line " << n + 1 << " field " << f + 1 << ": " << line;
        }
        EXPECT_NE(fields[0], "-0.00") << "line " << n + 1;
        EXPECT_NE(fields[2], "-0.00") << "line " << n + 1;
        // One character: an upper-case class letter, or '?' where no type is known.
        ASSERT_EQ(fields[3].size(), 1u) << "line " << n + 1 << ": " << line;
        const char c = fields[3][0];
        EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == '?') << "line " << n + 1 << ": " << line;
    }
}

TEST(StarCatalogueData, ValuesLieInTheirRanges)
{
    const auto& stars = TheCatalogue().stars;
    ASSERT_EQ(stars.size(), static_cast<size_t>(kCatalogueStars));
    double previousMagnitude = -100;
    for (size_t n = 0; n < stars.size(); ++n) {
        const Star& s = stars[n];
        EXPECT_GE(s.magnitude, -1.5) << "line " << n + 1;
        EXPECT_LE(s.magnitude, 8.0) << "line " << n + 1;
        EXPECT_GE(s.rightAscension, 0.0) << "line " << n + 1;
        EXPECT_LE(s.rightAscension, 100.0) << "line " << n + 1;
        EXPECT_GE(s.declination, -50.0) << "line " << n + 1;
        EXPECT_LE(s.declination, 50.0) << "line " << n + 1;
        // The catalogue lists the brightest stars first.
        EXPECT_GE(s.magnitude, previousMagnitude) << "line " << n + 1;
        previousMagnitude = s.magnitude;
    }
}

TEST(StarCatalogueData, StarsCoverTheWholeSky)
{
    const auto& stars = TheCatalogue().stars;
    // Hours taken for degrees or a lost sign would crowd the stars into one
    // part of the sky; the real catalogue is spread nearly evenly.
    std::map<int, int> raQuarters;
    int north = 0;
    for (const auto& s : stars) {
        ++raQuarters[std::min(3, static_cast<int>(s.rightAscension / 25.0))];
        north += s.declination > 0 ? 1 : 0;
    }
    for (int q = 0; q < 4; ++q) {
        EXPECT_GT(raQuarters[q], kCatalogueStars / 5) << "right ascension quarter " << q;
        EXPECT_LT(raQuarters[q], kCatalogueStars * 3 / 10) << "right ascension quarter " << q;
    }
    EXPECT_GT(north, kCatalogueStars * 2 / 5);
    EXPECT_LT(north, kCatalogueStars * 3 / 5);
}

TEST(StarCatalogueData, ClassCountsMatchTheCatalogue)
{
    const auto& stars = TheCatalogue().stars;
    // The counts a join of the Bright Star Catalogue with the KStars spectral
    // types gives (the catalogue's own types differ by up to 10 percent: G 1233,
    // K 2236); a join that lost or misread types would be far off.
    struct Expected {
        char letter;
        int count;
    };
    constexpr Expected kExpected[]
        = {{'O', 49}, {'B', 1776}, {'A', 1995}, {'F', 1298}, {'G', 1128}, {'K', 2299}, {'M', 494}};
    std::map<char, int> counts;
    for (const auto& s : stars) {
        ++counts[s.spectralClass];
    }
    int main = 0;
    for (const auto& e : kExpected) {
        const double tolerance = std::max(3.0, e.count * 0.02);
        EXPECT_NEAR(counts[e.letter], e.count, tolerance) << "class " << e.letter;
        main += counts[e.letter];
    }
    // Only a handful of carbon, S-type, Wolf-Rayet and untyped stars fall outside the seven classes.
    EXPECT_GT(main, kCatalogueStars * 98 / 100);
    EXPECT_LT(counts['?'], 50);
}

TEST(StarCatalogueData, FamousStarsSitAtTheirPlaces)
{
    const auto& stars = TheCatalogue().stars;
    struct Famous {
        const char* name;
        double ra;
        double dec;
        double magnitude;
        char spectralClass;
    };
    // J2000 places and visual magnitudes from the star charts.
    const Famous kFamous[] = {
        {"Sirius", RaUnits(6, 45, 8.9), DecUnits(-(16 + 42 / 60.0 + 58 / 3600.0)), -1.46, 'A'},
        {"Polaris", RaUnits(2, 31, 49.1), DecUnits(89 + 15 / 60.0 + 51 / 3600.0), 2.02, 'F'},
        {"Betelgeuse", RaUnits(5, 55, 10.3), DecUnits(7 + 24 / 60.0 + 25 / 3600.0), 0.50, 'M'},
        {"Rigel", RaUnits(5, 14, 32.3), DecUnits(-(8 + 12 / 60.0 + 6 / 3600.0)), 0.12, 'B'},
        {"Vega", RaUnits(18, 36, 56.3), DecUnits(38 + 47 / 60.0 + 1 / 3600.0), 0.03, 'A'},
        {"Antares", RaUnits(16, 29, 24.5), DecUnits(-(26 + 25 / 60.0 + 55 / 3600.0)), 0.96, 'M'},
        {"Arcturus", RaUnits(14, 15, 39.7), DecUnits(19 + 10 / 60.0 + 57 / 3600.0), -0.04, 'K'},
        {"Procyon", RaUnits(7, 39, 18.1), DecUnits(5 + 13 / 60.0 + 30 / 3600.0), 0.38, 'F'},
        {"Alpha Centauri A", RaUnits(14, 39, 36.5), DecUnits(-(60 + 50 / 60.0 + 2 / 3600.0)), -0.01, 'G'},
    };
    for (const auto& f : kFamous) {
        const Star* s = FindNear(f.ra, f.dec, f.magnitude);
        ASSERT_NE(s, nullptr) << f.name;
        EXPECT_NEAR(s->rightAscension, f.ra, 0.011) << f.name;
        EXPECT_NEAR(s->declination, f.dec, 0.011) << f.name;
        EXPECT_NEAR(s->magnitude, f.magnitude, 0.011) << f.name;
        EXPECT_EQ(s->spectralClass, f.spectralClass) << f.name;
    }
    // Sirius is the brightest star of the sky and the first line of the file.
    ASSERT_FALSE(stars.empty());
    EXPECT_DOUBLE_EQ(stars.front().magnitude, -1.46);
    EXPECT_NEAR(stars.front().rightAscension, 28.14, 0.005);
    EXPECT_NEAR(stars.front().declination, -9.29, 0.005);
}

} // namespace
} // namespace velmora

// The archive as the build writes it: every member once, picture sizes,
// sprite properties that survive JPEG, the meshes and the catalogue, and
// byte-for-byte repeatability.

#include "ArchiveBuild.h"
#include "JpegCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#ifndef VELMORA_SOURCE_DIR
#error "VELMORA_SOURCE_DIR must name the source tree"
#endif
#ifndef VELMORA_GENERATED_ARCHIVE
#error "VELMORA_GENERATED_ARCHIVE must name the archive the build writes"
#endif

namespace velmora::art {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<uint8_t>& GeneratedArchive()
{
    static const std::vector<uint8_t> bytes = ReadFile(VELMORA_GENERATED_ARCHIVE);
    return bytes;
}

const std::vector<uint8_t>& Stars()
{
    static const std::vector<uint8_t> bytes
        = ReadFile(std::string(VELMORA_SOURCE_DIR) + "/res/data/stars.dat");
    return bytes;
}

const std::map<std::string, std::vector<uint8_t>>& Members()
{
    static const std::map<std::string, std::vector<uint8_t>> members = [] {
        std::map<std::string, std::vector<uint8_t>> m;
        if (const auto unpacked = UnpackZip(GeneratedArchive())) {
            for (const ZipMember& z : *unpacked) {
                m.emplace(z.name, z.data);
            }
        }
        return m;
    }();
    return members;
}

Image Decoded(const std::string& name)
{
    const auto& data = Members().at(name);
    const auto image = DecodeJpeg(data.data(), data.size());
    if (!image) {
        throw std::runtime_error(name + " does not decode");
    }
    return *image;
}

TEST(GeneratedArchive, HoldsEveryMemberOnceInOrderAndDeflated)
{
    const auto unpacked = UnpackZip(GeneratedArchive());
    ASSERT_TRUE(unpacked.has_value()) << VELMORA_GENERATED_ARCHIVE;
    ASSERT_EQ(unpacked->size(), kArchiveMemberNames.size());
    for (size_t i = 0; i < unpacked->size(); ++i) {
        EXPECT_EQ((*unpacked)[i].name, kArchiveMemberNames[i]);
        EXPECT_FALSE((*unpacked)[i].data.empty()) << (*unpacked)[i].name;
        EXPECT_EQ(ZipMemberIsDeflated(GeneratedArchive(), (*unpacked)[i].name), std::optional<bool>(true));
    }
}

TEST(GeneratedArchive, PicturesHaveTheirRolesSizes)
{
    const std::set<std::pair<int, int>> shipped {
        {256, 256}, {256, 16}, {512, 512}, {1024, 64}, {1024, 1024}, {1024, 512}};
    const std::map<std::string, std::pair<int, int>> fixed {{"Flare6.jpg", {256, 16}},
        {"rings.jpg", {1024, 64}}, {"rings_mask.jpg", {1024, 64}}, {"titan.jpg", {1024, 512}}};
    for (std::string_view name : kArchiveMemberNames) {
        if (!name.ends_with(".jpg")) {
            continue;
        }
        const Image im = Decoded(std::string(name));
        const std::pair<int, int> size {im.width, im.height};
        EXPECT_TRUE(shipped.count(size)) << name << " is " << im.width << "x" << im.height;
        if (const auto it = fixed.find(std::string(name)); it != fixed.end()) {
            EXPECT_EQ(size, it->second) << name;
        } else if (name.starts_with("Flare")) {
            EXPECT_EQ(size, std::make_pair(256, 256)) << name;
        }
    }
}

TEST(GeneratedArchive, AdditiveSpritesStayBlackAtTheirBordersAfterJpeg)
{
    for (int n = 1; n <= 9; ++n) {
        const Image im = Decoded("Flare" + std::to_string(n) + ".jpg");
        int brightest = 0;
        auto at = [&](int col, int row) {
            const size_t i = (static_cast<size_t>(row) * static_cast<size_t>(im.width) + col) * 3;
            return std::max({im.rgb[i], im.rgb[i + 1], im.rgb[i + 2]});
        };
        for (int col = 0; col < im.width; ++col) {
            brightest = std::max(
                {brightest, static_cast<int>(at(col, 0)), static_cast<int>(at(col, im.height - 1))});
        }
        for (int row = 0; row < im.height; ++row) {
            brightest = std::max(
                {brightest, static_cast<int>(at(0, row)), static_cast<int>(at(im.width - 1, row))});
        }
        EXPECT_LE(brightest, 6) << "Flare" << n;
    }
}

TEST(GeneratedArchive, LimbDarkeningMaskStaysWhiteAtCentreAndCornersAfterJpeg)
{
    const Image mask = Decoded("Flare10.jpg");
    auto luma = [&](int col, int row) {
        const size_t i = (static_cast<size_t>(row) * static_cast<size_t>(mask.width) + col) * 3;
        return mask.rgb[i] + mask.rgb[i + 1] + mask.rgb[i + 2];
    };
    EXPECT_GE(luma(128, 128), 3 * 248);
    EXPECT_GE(luma(0, 0), 3 * 250);
    EXPECT_GE(luma(255, 0), 3 * 250);
    EXPECT_GE(luma(0, 255), 3 * 250);
    EXPECT_GE(luma(255, 255), 3 * 250);
    // Just inside the limb on the horizontal axis (limb at 128 / 1.055 pixels).
    EXPECT_LT(luma(128 + 119, 128), 3 * 150);
}

TEST(GeneratedArchive, CarriesTheCommittedCatalogueAndBothMeshes)
{
    ASSERT_FALSE(Stars().empty());
    EXPECT_EQ(Members().at("stars.dat"), Stars());
    EXPECT_EQ(Members().at("phobos2.dat").size(), 211972u);
    EXPECT_EQ(Members().at("deimos.dat").size(), 71236u);
}

TEST(GeneratedArchive, RebuildingGivesTheSameBytes)
{
    const std::vector<uint8_t> first = BuildArchive(Stars());
    const std::vector<uint8_t> second = BuildArchive(Stars());
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, GeneratedArchive());
}

// Small pictures named like the members, for the assembly checks.
std::vector<Image> PlaceholderPictures()
{
    std::vector<Image> pictures;
    for (std::string_view name : kArchiveMemberNames) {
        if (name.ends_with(".jpg")) {
            Image im;
            im.name = std::string(name);
            im.width = 8;
            im.height = 4;
            im.rgb.assign(8 * 4 * 3, 100);
            pictures.push_back(std::move(im));
        }
    }
    return pictures;
}

TEST(AssembleMembers, AcceptsEveryPictureOnceInAnyOrderAndLetterCase)
{
    std::vector<Image> pictures = PlaceholderPictures();
    std::reverse(pictures.begin(), pictures.end());
    pictures.front().name = "TITAN.JPG";
    const std::vector<ZipMember> members = AssembleMembers(pictures, {'x'});
    ASSERT_EQ(members.size(), kArchiveMemberNames.size());
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i].name, kArchiveMemberNames[i]);
    }
}

TEST(AssembleMembers, RefusesMissingDuplicateUnknownOrBadlySizedPictures)
{
    std::vector<Image> missing = PlaceholderPictures();
    missing.pop_back();
    EXPECT_THROW(AssembleMembers(missing, {'x'}), std::runtime_error);

    std::vector<Image> duplicate = PlaceholderPictures();
    duplicate.push_back(duplicate.front());
    EXPECT_THROW(AssembleMembers(duplicate, {'x'}), std::runtime_error);

    std::vector<Image> unknown = PlaceholderPictures();
    unknown.back().name = "sun.jpg";
    EXPECT_THROW(AssembleMembers(unknown, {'x'}), std::runtime_error);

    std::vector<Image> notPicture = PlaceholderPictures();
    notPicture.back().name = "stars.dat";
    EXPECT_THROW(AssembleMembers(notPicture, {'x'}), std::runtime_error);

    std::vector<Image> odd = PlaceholderPictures();
    odd.front().width = 6;
    odd.front().rgb.assign(6 * 4 * 3, 0);
    EXPECT_THROW(AssembleMembers(odd, {'x'}), std::runtime_error);

    EXPECT_THROW(AssembleMembers(PlaceholderPictures(), {}), std::runtime_error);
}

} // namespace
} // namespace velmora::art

#include "ArchiveBuild.h"

#include "BodyMesh.h"
#include "JpegCodec.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <string>

namespace velmora::art {

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool IsPowerOfTwo(int v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

std::optional<size_t> MemberIndex(std::string_view name)
{
    for (size_t i = 0; i < kArchiveMemberNames.size(); ++i) {
        if (SameNameIgnoringCase(kArchiveMemberNames[i], name)) {
            return i;
        }
    }
    return std::nullopt;
}

bool IsPicture(size_t index)
{
    return IsPictureMember(static_cast<ArchiveMemberId>(index));
}

} // namespace

std::vector<ZipMember> AssembleMembers(std::vector<Image> pictures, const std::vector<uint8_t>& stars)
{
    if (stars.empty() || stars.size() > kMaxStarCatalogueBytes) {
        throw std::runtime_error("the star catalogue is empty or too large");
    }
    std::vector<std::optional<ZipMember>> slots(kArchiveMemberNames.size());
    for (Image& picture : pictures) {
        const std::optional<size_t> index = MemberIndex(picture.name);
        if (!index || !IsPicture(*index)) {
            throw std::runtime_error("picture \"" + picture.name + "\" is not an archive member");
        }
        if (slots[*index]) {
            throw std::runtime_error("picture \"" + picture.name + "\" is painted twice");
        }
        // OpenGL 1.1 takes only power-of-two textures and the program never resizes.
        if (!IsPowerOfTwo(picture.width) || !IsPowerOfTwo(picture.height)) {
            throw std::runtime_error("picture \"" + picture.name + "\" does not have power-of-two sides");
        }
        const long pixels = static_cast<long>(picture.width) * picture.height;
        const ChromaSampling sampling
            = pixels <= kFullChromaMaxPixels ? ChromaSampling::Full : ChromaSampling::Halved;
        slots[*index] = ZipMember {
            std::string(kArchiveMemberNames[*index]), EncodeJpeg(picture, kJpegQuality, sampling)};
        picture.rgb = {}; // the encoded copy is all that is kept
    }
    const auto put = [&slots](ArchiveMemberId id, std::vector<uint8_t> bytes) {
        slots[static_cast<size_t>(id)] = ZipMember {ArchiveMemberName(id), std::move(bytes)};
    };
    put(ArchiveMemberId::Stars, stars);
    put(ArchiveMemberId::Phobos, EncodeBodyMesh(MakeBodyMesh(PhobosShape())));
    put(ArchiveMemberId::Deimos, EncodeBodyMesh(MakeBodyMesh(DeimosShape())));

    std::vector<ZipMember> members;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i]) {
            throw std::runtime_error(
                "no picture was painted for \"" + std::string(kArchiveMemberNames[i]) + "\"");
        }
        members.push_back(std::move(*slots[i]));
    }
    return members;
}

std::vector<uint8_t> BuildArchive(const std::vector<uint8_t>& stars)
{
    std::vector<Image> pictures = MakeFlareArt();
    std::vector<Image> planet = MakePlanetArt();
    std::move(planet.begin(), planet.end(), std::back_inserter(pictures));
    return PackZip(AssembleMembers(std::move(pictures), stars));
}

} // namespace velmora::art

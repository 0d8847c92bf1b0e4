#pragma once
// Pictures painted by the art generator before they are encoded and packed
// into the program's archive.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::art {

// 8-bit RGB, rows from the top row of the picture to the bottom row, tightly
// packed. The first row is the one the program uploads as texture t = 0.
struct Image {
    std::string name; // archive member name, e.g. "rings.jpg"
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Lens-flare, halo, rim and limb-darkening sprites: Flare1.jpg .. Flare10.jpg.
std::vector<Image> MakeFlareArt();

// The planet's four surface quarters, the ring profiles and pattern layers,
// both shadow textures and Titan.
std::vector<Image> MakePlanetArt();

} // namespace velmora::art

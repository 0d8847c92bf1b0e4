#pragma once
// The user's settings of Velmora 3D and the collection's shared registry
// layout: the program key below the collection key, the list of installed
// members and the "StartRandom" switch.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::platform {
class RegistryKey;
}

namespace velmora {

// One installed program of the collection, as registered by its installer.
struct CollectionMember {
    std::string title; // display name: the "List" value's data
    std::string key; // registry name: the "List" value's name
    std::string executablePath; // the member key's "ExecutablePath"
};

class SaverSettings {
public:
    SaverSettings() = default;

    // Reads the program key. False when the collection key is missing; then
    // every field keeps what it holds. Missing values keep their field too.
    bool Load();
    // Writes the nine numeric values, creating the keys when missing.
    bool Save() const;
    // Load, reset everything but RandomCameraStart, Save. Returns Save's result.
    bool RestoreDefaults();
    // Takes every value and text of `other`; the collection list is left empty.
    void CopyFrom(const SaverSettings& other);

    // Registry value names; the stored order of Load/Save lives in the source.
    int32_t XResolution = 1024;
    int32_t YResolution = 768;
    int32_t ColorDepth = 16;
    int32_t CurrentVideomode = 1; // 1: keep the desktop's display mode
    uint32_t RandomCameraStart = 1;
    int32_t AnimationSpeed = 50; // 0..100, 50 normal; consumers read it unsigned
    int32_t CamMode = 0; // consumers read it unsigned
    uint32_t NightSide = 1;
    uint32_t DemoMode = 0;
    std::string InstallPath; // read only; stored with a final '/'

    // Installed members in "List" order; filled by Load, never written.
    std::vector<CollectionMember> collectionList;
};

// InstallPath alone; empty when the collection key or the value is missing.
std::string ReadInstallPath();

// Reads the members registered in "List" below the open collection key, in
// stored order, keeping only those whose program file can be read.
void ReadCollectionList(const platform::RegistryKey& collectionKey, std::vector<CollectionMember>& list);

// The collection's "StartRandom" switch; 0 when it is missing.
uint32_t ReadStartRandom();
bool WriteStartRandom(uint32_t value);

} // namespace velmora

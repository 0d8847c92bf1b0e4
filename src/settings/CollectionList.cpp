#include "platform/Files.h"
#include "platform/Registry.h"
#include "settings/SaverSettings.h"
#include "StringTable.h"

namespace velmora {
namespace {

using platform::RegistryKey;

// Names, titles and paths of the shared layout fit buffers of this size.
constexpr std::size_t kBuffer = 1024;
constexpr std::string_view kListKey = "List";
constexpr std::string_view kExecutablePath = "ExecutablePath";
constexpr std::string_view kStartRandom = "StartRandom";

} // namespace

void ReadCollectionList(const RegistryKey& collectionKey, std::vector<CollectionMember>& list)
{
    list.clear();
    RegistryKey listKey;
    if (!listKey.Open(collectionKey, kListKey))
        return;
    // Each step offers full-size buffers: a name longer than the path read
    // before it must still come through whole.
    for (std::size_t index = 0;; ++index) {
        platform::RegistryValue entry;
        if (!listKey.EnumValue(index, entry, kBuffer))
            break;
        // The unnamed value would name the collection key itself, no member.
        if (entry.name.empty())
            continue;
        // A title stored in another type shows as no title: its bytes are no text.
        if (entry.type != platform::RegistryType::String)
            entry.text.clear();
        RegistryKey memberKey;
        std::string path;
        if (!memberKey.Open(collectionKey, entry.name)
            || !memberKey.QueryString(kExecutablePath, path, kBuffer))
            continue;
        if (!platform::CanOpenForReading(path))
            continue;
        list.push_back(CollectionMember {std::move(entry.text), std::move(entry.name), std::move(path)});
    }
}

uint32_t ReadStartRandom()
{
    RegistryKey collection;
    uint32_t value = 0;
    if (collection.Create(strings::kCollectionKey))
        collection.QueryDword(kStartRandom, value);
    return value;
}

bool WriteStartRandom(uint32_t value)
{
    RegistryKey collection;
    return collection.Create(strings::kCollectionKey) && collection.SetDword(kStartRandom, value);
}

} // namespace velmora

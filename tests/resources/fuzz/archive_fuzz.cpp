// Opens the input as the program's archive resource, extracts every member
// and decodes the image members, as the scene would.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "resources/DecodedImage.h"
#include "resources/ResourceArchive.h"
#include "resources/ResourceModule.h"
#include "resources/ShapeMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr int kFuzzId = 9090;
    velmora::ScopedProgramResource resource(velmora::kArchiveResourceType, kFuzzId, data, size);
    velmora::ResourceArchive archive;
    if (!archive.Open(kFuzzId))
        return 0;
    for (int32_t i = 0; i < archive.MemberCount(); ++i) {
        char name[velmora::kArchiveNameSize];
        std::memcpy(name, archive.Member(i)->name, sizeof name);
        velmora::HeapBlock block;
        const long n = archive.Extract(name, block);
        if (n > 0) {
            velmora::ShapeMesh mesh;
            mesh.Load(block.get(), n);
        }
        velmora::DecodedImage image;
        image.Load(archive, name);
    }
    velmora::HeapBlock block;
    archive.Extract("PHOBOS2.DAT", block);
    return 0;
}

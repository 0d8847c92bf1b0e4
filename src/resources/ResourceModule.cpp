#include "resources/ResourceModule.h"

#include "platform/ProgramResources.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

struct Registration {
    char type[32];
    int id;
    const unsigned char* data;
    std::size_t size;
};

std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<Registration>& Registry()
{
    static std::vector<Registration> registry;
    return registry;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool TypeEquals(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

void CopyType(char (&to)[32], const char* from)
{
    std::size_t n = 0;
    for (; from != nullptr && from[n] != '\0' && n + 1 < sizeof to; ++n)
        to[n] = from[n];
    to[n] = '\0';
}

} // namespace

ResourceBytes FindProgramResource(const char* type, int id)
{
    if (type == nullptr)
        return {};
    {
        std::lock_guard lock(RegistryMutex());
        for (const Registration& r : Registry())
            if (r.id == id && TypeEquals(r.type, type))
                return {r.data, r.size};
    }
    const platform::LinkedResource linked = platform::FindLinkedResource(type, id);
    return {linked.data, linked.size};
}

void RegisterProgramResource(const char* type, int id, const void* data, std::size_t size)
{
    Registration entry {};
    CopyType(entry.type, type);
    entry.id = id;
    entry.data = static_cast<const unsigned char*>(data);
    entry.size = size;
    std::lock_guard lock(RegistryMutex());
    for (Registration& r : Registry()) {
        if (r.id == id && TypeEquals(r.type, entry.type)) {
            r = entry;
            return;
        }
    }
    Registry().push_back(entry);
}

bool UnregisterProgramResource(const char* type, int id)
{
    if (type == nullptr)
        return false;
    std::lock_guard lock(RegistryMutex());
    auto& registry = Registry();
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        if (it->id == id && TypeEquals(it->type, type)) {
            registry.erase(it);
            return true;
        }
    }
    return false;
}

ScopedProgramResource::ScopedProgramResource(const char* type, int id, const void* data, std::size_t size)
    : id_(id)
{
    CopyType(type_, type);
    RegisterProgramResource(type_, id_, data, size);
}

ScopedProgramResource::~ScopedProgramResource()
{
    UnregisterProgramResource(type_, id_);
}

} // namespace velmora

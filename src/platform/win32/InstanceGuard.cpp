// The guard of full-screen runs as the system's global atom of that name,
// which other programs can see and remove. A crashed run would leave its atom
// behind for the rest of the session and keep every later run out, so the
// owner also holds a named mutex: an atom whose mutex is gone is stale and
// counts as absent.

#include "platform/InstanceGuard.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

#include <mutex>
#include <string>
#include <vector>

namespace velmora::platform {
namespace {

std::wstring OwnerMutexName(const std::string& name)
{
    // "Local\": the guard is per session, as the screensaver is.
    return L"Local\\" + win32::Widen(name) + L" (owner)";
}

// The mutexes this process holds for the guards it added; they live as long
// as the process unless the guard is deleted.
struct HeldMutexes {
    std::mutex lock;
    std::vector<std::pair<std::string, win32::UniqueKernelHandle>> held;
};

HeldMutexes& Held()
{
    static HeldMutexes held;
    return held;
}

bool OwnerAlive(const std::string& name)
{
    const win32::UniqueKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, OwnerMutexName(name).c_str()));
    return mutex.Valid();
}

void HoldOwnerMutex(const std::string& name)
{
    auto& held = Held();
    std::lock_guard lock(held.lock);
    for (const auto& entry : held.held)
        if (entry.first == name)
            return;
    win32::UniqueKernelHandle mutex(::CreateMutexW(nullptr, FALSE, OwnerMutexName(name).c_str()));
    if (mutex)
        held.held.emplace_back(name, std::move(mutex));
}

void DropOwnerMutex(const std::string& name)
{
    auto& held = Held();
    std::lock_guard lock(held.lock);
    std::erase_if(held.held, [&](const auto& entry) { return entry.first == name; });
}

// Removes every reference to the atom (a stale one may have been added more
// than once).
void RemoveAtom(const std::wstring& name)
{
    for (int i = 0; i < 64; ++i) {
        const ATOM atom = ::GlobalFindAtomW(name.c_str());
        if (atom == 0)
            return;
        ::GlobalDeleteAtom(atom);
    }
}

} // namespace

InstanceGuard::InstanceGuard(std::string_view name)
    : path_(name)
{
}

// The folder names where a guard file would live; the system's atom table
// has no folders, so it is not used here.
InstanceGuard::InstanceGuard(std::string_view name, std::string)
    : path_(name)
{
}

bool InstanceGuard::Exists() const
{
    return ::GlobalFindAtomW(win32::Widen(path_).c_str()) != 0 && OwnerAlive(path_);
}

bool InstanceGuard::Add()
{
    const std::wstring name = win32::Widen(path_);
    if (::GlobalFindAtomW(name.c_str()) != 0 && !OwnerAlive(path_))
        RemoveAtom(name);
    HoldOwnerMutex(path_);
    if (::GlobalFindAtomW(name.c_str()) != 0)
        return true; // one reference is enough: Delete removes it once
    return ::GlobalAddAtomW(name.c_str()) != 0;
}

bool InstanceGuard::TryAdd()
{
    // Two starts at the same moment are kept apart by the owner mutex's
    // creation, which only one of them can make.
    const std::wstring name = win32::Widen(path_);
    if (Exists())
        return false;
    win32::UniqueKernelHandle probe(::CreateMutexW(nullptr, FALSE, OwnerMutexName(path_).c_str()));
    const bool first = probe && ::GetLastError() != ERROR_ALREADY_EXISTS;
    if (!first) {
        // Another process made it between the check and here, unless this
        // process holds it already.
        bool ours = false;
        {
            auto& held = Held();
            std::lock_guard lock(held.lock);
            for (const auto& entry : held.held)
                ours = ours || entry.first == path_;
        }
        if (!ours)
            return false;
    } else {
        auto& held = Held();
        std::lock_guard lock(held.lock);
        held.held.emplace_back(path_, std::move(probe));
    }
    if (::GlobalFindAtomW(name.c_str()) != 0)
        RemoveAtom(name); // stale: its owner is gone
    return ::GlobalAddAtomW(name.c_str()) != 0;
}

bool InstanceGuard::Delete()
{
    const std::wstring name = win32::Widen(path_);
    const ATOM atom = ::GlobalFindAtomW(name.c_str());
    DropOwnerMutex(path_);
    if (atom == 0)
        return false;
    ::GlobalDeleteAtom(atom);
    return true;
}

} // namespace velmora::platform

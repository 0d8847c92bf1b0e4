#pragma once
// A named guard that keeps a second full-screen run out: a file holding the
// owner's process id (and start time, so a reused id is not taken for the
// owner). A guard whose owner no longer runs counts as absent.

#include <string>
#include <string_view>

namespace velmora::platform {

class InstanceGuard {
public:
    // The guard `name` in $XDG_RUNTIME_DIR, else "<name>-<uid>" in the temp
    // folder (shared by every user, hence the uid).
    explicit InstanceGuard(std::string_view name);
    // The guard `name` in `directory` (tests).
    InstanceGuard(std::string_view name, std::string directory);

    // True when the guard is registered by a process that still runs.
    bool Exists() const;
    // Registers the guard for this process (replacing a stale one).
    bool Add();
    // Exists() and Add() in one step under a lock: true when this process
    // now owns the guard, false when another live process holds it.
    bool TryAdd();
    // Removes the guard if it exists, whoever added it; true when one was
    // removed. A stale guard file is tidied away too but reports false.
    bool Delete();

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace velmora::platform

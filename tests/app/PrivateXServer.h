#pragma once
// A private Xvfb for one test process, so that window tests running side by
// side never share a screen, a pointer or the keyboard focus. DISPLAY points
// at it from Start() until the object goes away.

#include <string>

#include <sys/types.h>

namespace velmora::test {

class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Starts "Xvfb -screen 0 <geometry>" on a free display number and waits
    // (bounded) until it accepts clients. Returns false when it cannot.
    // `anyUser` turns access control off, for clients of other users.
    bool Start(const std::string& geometry = "1280x720x24", bool anyUser = false);
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string previous_;
    bool hadPrevious_ = false;
};

} // namespace velmora::test

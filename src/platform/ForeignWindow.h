#pragma once
// Watching a window that belongs to another program: whether it exists, its
// size, and the moment it changes size or goes away. Uses a connection of
// its own, so it works beside any toolkit's connection.

#include <cstdint>

namespace velmora::platform {

// A connection to the display server as the platform layer's own calls take
// it; opaque to everyone else.
struct DisplayConnection;

class ForeignWindowWatch {
public:
    ForeignWindowWatch() = default;
    ~ForeignWindowWatch();
    ForeignWindowWatch(const ForeignWindowWatch&) = delete;
    ForeignWindowWatch& operator=(const ForeignWindowWatch&) = delete;

    // Connects to $DISPLAY and starts watching `window`. False when there is
    // no X server, the id is 0, or no such window exists.
    bool Open(unsigned long window);

    struct Changes {
        bool resized = false;
        bool gone = false;
    };
    // Reads every event that has arrived; what happened since the last call.
    Changes Poll();
    // Whether events wait in the connection's own queue, already read from
    // the descriptor: any round trip on the connection (an acknowledgement
    // sent over it, for one) moves what has arrived there, and the
    // descriptor then stays quiet about it.
    bool HasQueuedEvents() const;

    unsigned long Window() const { return window_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool IsGone() const { return gone_; }
    // The connection's descriptor, readable when events arrive.
    int ConnectionFd() const;
    // The watch's own connection, for requests of the caller (acknowledgements).
    DisplayConnection* Connection() const { return connection_; }

private:
    DisplayConnection* connection_ = nullptr;
    unsigned long window_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool gone_ = false;
};

// True when `window` names an existing window on $DISPLAY.
bool IsLiveWindow(unsigned long window);

} // namespace velmora::platform

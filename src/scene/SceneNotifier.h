#pragma once
// How the scene reports a start-up failure. The window shows a modal box with
// a stop icon and posts its quit request; the headless tool prints to stderr
// and stops rendering.

#include <string_view>

namespace velmora {

class SceneNotifier {
public:
    virtual ~SceneNotifier() = default;
    // A fixed English text, shown in a modal box with a stop icon.
    virtual void ShowError(std::string_view message) = 0;
    // The same without an icon (the scene has one such message); windows that
    // make no difference need not override it.
    virtual void ShowPlainMessage(std::string_view message) { ShowError(message); }
    // Ends the run once the current operation has returned.
    virtual void RequestQuit() = 0;
};

// For headless programs and tests: messages go to stderr and are kept.
class StderrNotifier final : public SceneNotifier {
public:
    void ShowError(std::string_view message) override;
    void RequestQuit() override { quitRequested_ = true; }

    bool QuitRequested() const { return quitRequested_; }
    int ErrorCount() const { return errorCount_; }
    std::string_view FirstError() const { return firstError_; }

private:
    bool quitRequested_ = false;
    int errorCount_ = 0;
    char firstError_[256] = {};
};

} // namespace velmora

#pragma once
// How the web update reports what it does while it runs on the caller's
// thread: the progress window of the settings dialog, or the text progress of
// the command line.

#include <functional>
#include <string>
#include <string_view>

namespace velmora::webupdate {

class ProgressSink {
public:
    // Results of Finish(), the dialog results of OK and Cancel.
    static constexpr int kFinishedOk = 1;
    static constexpr int kFinishedCancelled = 2;

    virtual ~ProgressSink() = default;

    virtual void SetStatus(std::string_view text) = 0;
    // 0 to 100.
    virtual void SetPercent(int value) = 0;
    virtual void SetLocation(std::string_view text) = 0;
    virtual bool IsCancelled() const = 0;
    // Handles what is pending for the progress display and returns at once;
    // never waits. Called between the steps of a download and, many times a
    // second, while a transfer runs on a thread of its own.
    virtual void PumpMessages() = 0;
    // kFinishedCancelled when cancelling was asked for, else kFinishedOk.
    virtual int Finish() = 0;
};

// The message boxes of the web update (OK button, no icon). Empty: the
// message goes to stderr.
using ShowMessageFn = std::function<void(std::string_view text)>;

// Shows `text` through `show`, or on stderr when `show` is empty.
void ShowMessage(const ShowMessageFn& show, std::string_view text);

// Static controls draw "&&" as one "&" and take a single "&" as the mark of
// the following letter; the texts of the update are written for that rule.
std::string DisplayText(std::string_view text);

} // namespace velmora::webupdate

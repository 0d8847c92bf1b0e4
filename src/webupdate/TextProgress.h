#pragma once
// Progress of the web update on a text stream: a bar redrawn in place on a
// terminal, plain lines (status texts and percentages) otherwise, so that
// logs and scripts read one event per line.

#include <cstdio>
#include <string>

#include "webupdate/ProgressSink.h"

namespace velmora::webupdate {

class TextProgress final : public ProgressSink {
public:
    static constexpr int kBarWidth = 30;

    TextProgress(std::FILE* stream, bool terminal);

    void SetStatus(std::string_view text) override;
    void SetPercent(int value) override;
    void SetLocation(std::string_view text) override;
    bool IsCancelled() const override { return false; }
    void PumpMessages() override { }
    int Finish() override;

    // Ends the bar's line, so that a message can follow on lines of its own.
    void BreakLine();

private:
    void DrawBar();

    std::FILE* stream_;
    bool terminal_;
    std::string status_;
    int percent_ = -1;
    std::size_t drawnWidth_ = 0;
    bool lineOpen_ = false;
};

// `Velmora3D --web-update`: builds the catalogue online with progress on
// `progressStream`, prints one line per entry on `out` (id, title, installed or
// not, separated by tabs) and returns the exit code: 0 when the product list
// was downloaded, 1 when not, with the messages on `progressStream`.
int RunWebUpdateCommand(std::FILE* out, std::FILE* progressStream, bool terminal);

} // namespace velmora::webupdate

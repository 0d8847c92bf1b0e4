#include "webupdate/TextProgress.h"

#include <algorithm>

#include "webupdate/ProductCatalogue.h"

namespace velmora::webupdate {

TextProgress::TextProgress(std::FILE* stream, bool terminal)
    : stream_(stream)
    , terminal_(terminal)
{
}

void TextProgress::SetStatus(std::string_view text)
{
    const std::string shown = DisplayText(text);
    if (shown == status_)
        return;
    status_ = shown;
    if (terminal_) {
        DrawBar();
    } else {
        std::fprintf(stream_, "%s\n", status_.c_str());
        std::fflush(stream_);
    }
}

void TextProgress::SetPercent(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == percent_)
        return;
    percent_ = value;
    if (terminal_) {
        DrawBar();
    } else {
        std::fprintf(stream_, "%d%%\n", percent_);
        std::fflush(stream_);
    }
}

void TextProgress::SetLocation(std::string_view)
{
    // The bar has room for the status only; the address changes too fast to
    // be read anyway.
}

void TextProgress::DrawBar()
{
    const int percent = std::max(percent_, 0);
    const int filled = percent * kBarWidth / 100;
    std::string line = "\r[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    char figure[16];
    std::snprintf(figure, sizeof figure, "] %3d%% ", percent);
    line += figure;
    line += status_;
    const std::size_t width = line.size() - 1;
    // Blank out what a longer previous line left behind.
    if (width < drawnWidth_)
        line.append(drawnWidth_ - width, ' ');
    drawnWidth_ = width;
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    lineOpen_ = true;
}

void TextProgress::BreakLine()
{
    if (lineOpen_) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
        lineOpen_ = false;
        drawnWidth_ = 0;
    }
}

int TextProgress::Finish()
{
    BreakLine();
    return kFinishedOk;
}

int RunWebUpdateCommand(std::FILE* out, std::FILE* progressStream, bool terminal)
{
    TextProgress progress(progressStream, terminal);
    ProductCatalogue catalogue([&](std::string_view text) {
        progress.BreakLine();
        std::fprintf(progressStream, "%.*s\n", static_cast<int>(text.size()), text.data());
        std::fflush(progressStream);
    });
    catalogue.Build(true, &progress);
    if (catalogue.ListLoaded())
        progress.SetPercent(100);
    progress.Finish();
    for (const ProductEntry& entry : catalogue.Entries())
        std::fprintf(out, "%s\t%s\t%s\n", entry.id.c_str(), entry.title.c_str(),
            entry.IsInstalled() ? "installed" : "not installed");
    std::fflush(out);
    return catalogue.ListLoaded() ? 0 : 1;
}

} // namespace velmora::webupdate

// velmora3d-render: draws the tour without a display, into PNG files or
// as a benchmark. Settings come from the registry as for the screensaver.

#include "scene/GlApi.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/headless/HeadlessContext.h"
#include "scene/headless/PngWriter.h"
#include "scene/SceneNotifier.h"
#include "scene/SpaceScene.h"
#include "settings/SaverSettings.h"

namespace {

using namespace velmora;

constexpr int kMaxSide = 16384;
constexpr int kMaxFrames = 1000000;
constexpr int kDefaultBenchFrames = 100;

struct Options {
    std::string outDir;
    int frames = -1; // -1: 1 when writing, kDefaultBenchFrames when benchmarking
    int width = 1280;
    int height = 720;
    std::optional<double> time;
    std::optional<int32_t> camMode;
    std::optional<int32_t> speed;
    bool bench = false;
    bool passes = false;
};

void PrintUsage(const char* program)
{
    std::fprintf(stderr,
        "usage: %s --out DIR [--frames N] [--size WxH] [--time T] [--cam-mode M] [--speed S]\n"
        "       %s --bench [--passes] [--frames N] [--size WxH] [--time T] [--cam-mode M] [--speed S]\n"
        "\n"
        "  --out DIR      write DIR/frame-00000.png onwards\n"
        "  --frames N     consecutive frames to render (default 1; 100 with --bench)\n"
        "  --size WxH     frame size in pixels (default 1280x720)\n"
        "  --time T       clock value of the first frame (default: the settings' start rule)\n"
        "  --cam-mode M   camera mode (0, 1, 2: the tour; other values: fixed camera)\n"
        "  --speed S      animation speed, 0..100 (50 normal)\n"
        "  --bench        render without writing; print frames per second, ms per frame and\n"
        "                 the process's CPU ms per frame (all threads)\n"
        "  --passes       with --bench: also finish each pass of the frame on its own and print\n"
        "                 its median ms (the finishing itself slows the whole frame)\n",
        program, program);
}

template<typename T> bool ParseInt(std::string_view text, T& out)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc {} && ptr == end;
}

bool ParseDouble(std::string_view text, double& out)
{
    const std::string copy(text);
    char* end = nullptr;
    out = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && std::isfinite(out);
}

bool ParseSize(std::string_view text, int& width, int& height)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return false;
    return ParseInt(text.substr(0, x), width) && ParseInt(text.substr(x + 1), height) && width > 0
        && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

bool ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--bench") {
            o.bench = true;
            continue;
        }
        if (arg == "--passes") {
            o.passes = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string_view value = argv[++i];
        if (arg == "--out") {
            if (value.empty())
                return false;
            o.outDir = value;
        } else if (arg == "--frames") {
            if (!ParseInt(value, o.frames) || o.frames < 1 || o.frames > kMaxFrames)
                return false;
        } else if (arg == "--size") {
            if (!ParseSize(value, o.width, o.height))
                return false;
        } else if (arg == "--time") {
            double t = 0.0;
            if (!ParseDouble(value, t))
                return false;
            o.time = t;
        } else if (arg == "--cam-mode") {
            int32_t m = 0;
            if (!ParseInt(value, m))
                return false;
            o.camMode = m;
        } else if (arg == "--speed") {
            int32_t s = 0;
            if (!ParseInt(value, s))
                return false;
            o.speed = s;
        } else {
            return false;
        }
    }
    // Either a place to write to or a benchmark; passes are timed only in one.
    return (o.bench || !o.outDir.empty()) && (o.bench || !o.passes);
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(
        values.size() - 1, static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1);
    return values[index];
}

// Times every pass of the frame on its own: the GL work queued before a pass
// is finished first, and the pass's own work after it.
class PassTimer final : public FramePassObserver {
public:
    void BeforePass(FramePass) override
    {
        glFinish();
        start_ = std::chrono::steady_clock::now();
    }
    void AfterPass(FramePass pass) override
    {
        glFinish();
        ms_[static_cast<std::size_t>(pass)].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count());
    }
    void Print() const
    {
        for (std::size_t p = 0; p < ms_.size(); ++p)
            if (!ms_[p].empty())
                std::printf("  %-12s median %.2f ms\n", kFramePasses[p].name, Percentile(ms_[p], 0.5));
    }

private:
    std::chrono::steady_clock::time_point start_;
    std::array<std::vector<double>, static_cast<std::size_t>(FramePass::Count)> ms_;
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(argc > 0 ? argv[0] : "velmora3d-render");
        return 2;
    }
    const int frames = options.frames > 0 ? options.frames : (options.bench ? kDefaultBenchFrames : 1);

    SaverSettings settings;
    settings.Load(); // registry failures leave the defaults in force
    if (options.camMode)
        settings.CamMode = *options.camMode;
    if (options.speed)
        settings.AnimationSpeed = *options.speed;

    std::string error;
    if (!options.bench) {
        // Like any tool that writes into a folder: make it, so a fresh
        // machine needs no extra step.
        std::error_code ec;
        std::filesystem::create_directories(options.outDir, ec);
        if (ec) {
            std::fprintf(stderr, "velmora3d-render: cannot create folder %s: %s\n", options.outDir.c_str(),
                ec.message().c_str());
            return 1;
        }
    }
    const std::unique_ptr<HeadlessContext> context
        = HeadlessContext::Create(options.width, options.height, error);
    if (!context) {
        std::fprintf(stderr, "velmora3d-render: %s\n", error.c_str());
        return 1;
    }

    StderrNotifier notifier;
    SpaceScene scene(notifier);
    scene.Initialize(settings, options.width, options.height);
    if (notifier.QuitRequested()) {
        scene.ReleaseBuffers();
        return 1;
    }
    scene.Resize(options.width, options.height);
    if (options.time)
        scene.SetAnimationTime(*options.time);

    std::vector<double> frameMs;
    frameMs.reserve(static_cast<std::size_t>(frames));
    PassTimer passTimer;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int n = 0; n < frames; ++n) {
        const auto frameStart = std::chrono::steady_clock::now();
        scene.DrawFrame(options.passes ? &passTimer : nullptr);
        if (options.bench) {
            glFinish();
            frameMs.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - frameStart)
                    .count());
            continue;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%05d.png", n);
        if (!WritePng(
                options.outDir + name, options.width, options.height, context->ReadPixelsTopDown(), error)) {
            std::fprintf(stderr, "velmora3d-render: %s\n", error.c_str());
            scene.ReleaseBuffers();
            return 1;
        }
    }
    if (options.bench) {
        const double totalS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The raster threads' time counts too: a busy machine stretches the
        // wall clock, but hardly the work done.
        const double cpuMs = static_cast<double>(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
        std::printf("%dx%d, %d frames: %.2f frames per second; ms per frame: median %.2f, 95th percentile "
                    "%.2f; CPU ms per frame %.2f\n",
            options.width, options.height, frames, frames / totalS, Percentile(frameMs, 0.5),
            Percentile(frameMs, 0.95), cpuMs / frames);
        if (options.passes)
            passTimer.Print();
    }
    scene.ReleaseBuffers();
    return 0;
}

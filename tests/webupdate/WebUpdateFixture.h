#pragma once
// A whole web update set-up for one test: a private registry with an
// installation folder, a site on a real HTTP server that publishes a product
// list with screenshots and icons, and recorders for messages and progress.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codec/JpegEncoder.h"
#include "platform/Files.h"
#include "platform/TempRegistry.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "webupdate/ProgressSink.h"

namespace velmora::webupdate::testing {

struct PublishedProduct {
    std::string id;
    std::string title;
    std::string description = "First line\nSecond line\nThird line";
    bool withVersion = true;
};

// Records every call in order, as "status:<text>", "percent:<n>" and
// "location:<text>"; pumps are counted.
class RecordingProgress final : public ProgressSink {
public:
    void SetStatus(std::string_view text) override { events.push_back("status:" + std::string(text)); }
    void SetPercent(int value) override { events.push_back("percent:" + std::to_string(value)); }
    void SetLocation(std::string_view text) override { events.push_back("location:" + std::string(text)); }
    bool IsCancelled() const override { return false; }
    void PumpMessages() override { ++pumps; }
    int Finish() override { return kFinishedOk; }

    // The events of one kind, without their prefix.
    std::vector<std::string> Of(const std::string& kind) const
    {
        std::vector<std::string> found;
        for (const std::string& e : events)
            if (e.rfind(kind + ":", 0) == 0)
                found.push_back(e.substr(kind.size() + 1));
        return found;
    }

    std::vector<std::string> events;
    int pumps = 0;
};

class WebUpdateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "ALL_PROXY"})
            ::velmora::testing::UnsetEnvironment(name);
        installRoot_ = install_.Path() / "Kestrova";
        std::filesystem::create_directories(installRoot_);
        SetInstallPath(installRoot_.string() + platform::kPathSeparator);
        server_ = std::make_unique<TestHttpServer>(TestHttpServer::Mode::Files, site_.Path());
        ASSERT_TRUE(server_->Running());
        ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL", ListUrl().c_str());
    }
    void TearDown() override { ::velmora::testing::UnsetEnvironment("KESTROVA3D_UPDATE_URL"); }

    static void SetInstallPath(const std::string& path)
    {
        ::velmora::testing::StoreCollectionValue("Velmora3D", "InstallPath", path);
    }
    void ClearInstallPath() const
    {
        platform::RegistryKey key;
        ASSERT_TRUE(key.Open(std::string(::velmora::testing::kCollectionKey) + "\\Velmora3D"));
        ASSERT_TRUE(key.DeleteValue("InstallPath"));
    }
    // Registers an installed member the way the installer does.
    void RegisterMember(const std::string& key, const std::string& title) const
    {
        ::velmora::testing::RegisterMember(key, title, registry_.MakeFile(key + ".bin"));
    }

    std::string ListUrl() const { return server_->Url("/products.xml"); }
    // A colour of its own for each product's pictures.
    static uint8_t Shade(const std::string& id, int channel)
    {
        unsigned sum = static_cast<unsigned>(channel) * 71u;
        for (const char c : id)
            sum = sum * 31u + static_cast<unsigned char>(c);
        return static_cast<uint8_t>(sum);
    }
    // A small JPEG, as the site publishes a product's screenshot.
    static std::string ScreenshotBytes(const std::string& id)
    {
        constexpr int kWidth = 24, kHeight = 16;
        std::vector<uint8_t> rgb(kWidth * kHeight * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = Shade(id, static_cast<int>(i % 3));
        const std::vector<uint8_t> jpeg = codec::EncodeJpeg(rgb.data(), kWidth, kHeight, 3);
        return {jpeg.begin(), jpeg.end()};
    }
    // A 32 x 32 BMP of 24 bits, as the site publishes a product's icon.
    static std::string IconBytes(const std::string& id)
    {
        constexpr uint32_t kSide = 32, kPixels = kSide * kSide * 3, kOffset = 54;
        const auto le = [](uint32_t v, int n) {
            std::string b;
            for (int i = 0; i < n; ++i)
                b += static_cast<char>(v >> (8 * i) & 0xff);
            return b;
        };
        std::string bmp = "BM" + le(kOffset + kPixels, 4) + le(0, 4) + le(kOffset, 4);
        bmp += le(40, 4) + le(kSide, 4) + le(kSide, 4) + le(1, 2) + le(24, 2) + le(0, 4) + le(kPixels, 4)
            + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4);
        for (uint32_t i = 0; i < kPixels; ++i)
            bmp += static_cast<char>(Shade(id, static_cast<int>(2 - i % 3)));
        return bmp;
    }

    // The product list document for these products, pointing at the site.
    std::string ListText(const std::vector<PublishedProduct>& products) const
    {
        std::string xml = "<?xml version=\"1.0\"?>\n<English>\n<ProductsList>\n<Count>"
            + std::to_string(products.size()) + "</Count>\n";
        for (std::size_t i = 0; i < products.size(); ++i) {
            const PublishedProduct& p = products[i];
            const std::string tag = "Product" + std::to_string(i + 1);
            const std::string folder = "/files/" + std::to_string(i + 1) + "/";
            xml += "<" + tag + "><ID>" + p.id + "</ID><Title>" + p.title + "</Title>";
            if (p.withVersion)
                xml += "<Version>1.0</Version>";
            xml += "<Description><Text>" + p.description + "</Text><ScreenshotURL>"
                + server_->Url(folder + "screenshot.jpg") + "</ScreenshotURL><IconURL>"
                + server_->Url(folder + "icon.bmp")
                + "</IconURL></Description><DownloadURL>http://downloads.example/" + p.title
                + ".exe</DownloadURL></" + tag + ">\n";
        }
        return xml + "</ProductsList>\n</English>\n";
    }
    // Puts the list and every product's pictures on the site.
    void Publish(const std::vector<PublishedProduct>& products) const
    {
        site_.Write("products.xml", ListText(products));
        for (std::size_t i = 0; i < products.size(); ++i) {
            const std::string folder = "files/" + std::to_string(i + 1) + "/";
            site_.Write(folder + "screenshot.jpg", ScreenshotBytes(products[i].id));
            site_.Write(folder + "icon.bmp", IconBytes(products[i].id));
        }
    }

    std::filesystem::path WebFolder() const { return installRoot_ / "web"; }
    ShowMessageFn Recorder()
    {
        return [this](std::string_view text) { messages_.emplace_back(text); };
    }

    ::velmora::testing::TempRegistry registry_;
    TempFolder install_;
    TempFolder site_;
    std::filesystem::path installRoot_;
    std::unique_ptr<TestHttpServer> server_;
    std::vector<std::string> messages_;
};

} // namespace velmora::webupdate::testing

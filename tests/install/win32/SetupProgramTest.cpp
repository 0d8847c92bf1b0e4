// The setup program as a Windows user runs it, under Wine: silent installs
// into the run's prefix, the registry values and files they leave, the
// installed randomstart.exe and Velmora3D.scr run from there with the
// collection found in the registry, and silent uninstalls that leave nothing
// of ours and everything of another member's.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/TempRegistry.h"
#include "platform/win32/WideText.h"
#include "StubMembers.h"
#include "TempFolder.h"
#include "Win32Windows.h"
#include "WinProgram.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Hang bounds, not expectations.
constexpr int kSetupBoundMs = 120000;
constexpr int kProgramBoundMs = 60000;

constexpr const char* kTarnwick = "Software\\Tarnwick";
constexpr const char* kCollection = "Software\\Tarnwick\\Kestrova3D";
constexpr const char* kProgramKey = "Software\\Tarnwick\\Kestrova3D\\Velmora3D";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora3D";
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const wchar_t* kSaverWindowClass = L"Velmora3DScreenSaver";

using win32::Narrow;
using win32::Widen;

bool SamePath(const std::string& a, const std::string& b)
{
    return ::CompareStringOrdinal(Widen(a).c_str(), -1, Widen(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

using velmora::testing::PumpUntil;
using velmora::testing::StoredDword;
using velmora::testing::StoredText;
using velmora::testing::StoreValue;

void DeleteValue(const std::string& key, const std::string& name)
{
    platform::RegistryKey k;
    if (k.Open(key))
        k.DeleteValue(name);
}

bool KeyExists(const std::string& key)
{
    platform::RegistryKey k;
    return k.Open(key);
}

// The machine's view of 64-bit programs, where a machine-wide install
// enters itself in the installed programs.
bool MachineKeyExists(const std::string& key)
{
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(key).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &k)
        != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(k);
    return true;
}

std::string MachineText(const std::string& key, const std::string& name)
{
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(key).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &k)
        != ERROR_SUCCESS)
        return "<missing>";
    wchar_t text[4096] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result
        = ::RegQueryValueExW(k, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    ::RegCloseKey(k);
    return result == ERROR_SUCCESS && type == REG_SZ ? Narrow(text) : "<missing>";
}

std::string Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    EXPECT_TRUE(n > 0 && n < MAX_PATH) << Narrow(name);
    return n > 0 && n < MAX_PATH ? Narrow(std::wstring(value, n)) : std::string();
}

std::string SystemFolder()
{
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    return Narrow(std::wstring(folder, n));
}

// Everything below a key of HKEY_CURRENT_USER, one line per key and value,
// for comparing whole states.
void DumpKey(HKEY parent, const std::wstring& name, const std::wstring& path, std::string& out)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    out += '[';
    out += Narrow(path);
    out += "]\n";
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> valueName(16384);
        DWORD nameSize = 16384;
        std::vector<BYTE> data(65536);
        DWORD dataSize = 65536;
        DWORD type = 0;
        if (::RegEnumValueW(key, i, valueName.data(), &nameSize, nullptr, &type, data.data(), &dataSize)
            != ERROR_SUCCESS)
            break;
        out += Narrow(std::wstring(valueName.data(), nameSize)) + "=" + std::to_string(type) + ":";
        if (type == REG_SZ) {
            std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), dataSize / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0')
                text.pop_back();
            out += Narrow(text);
        } else {
            for (DWORD b = 0; b < dataSize; ++b)
                out += std::to_string(data[b]) + ",";
        }
        out += "\n";
    }
    std::vector<std::wstring> subKeys;
    for (DWORD i = 0;; ++i) {
        wchar_t subName[256];
        DWORD size = 256;
        if (::RegEnumKeyExW(key, i, subName, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subKeys.emplace_back(subName, size);
    }
    for (const std::wstring& sub : subKeys)
        DumpKey(key, sub, path + L"\\" + sub, out);
    ::RegCloseKey(key);
}

std::string Dump(const std::string& key)
{
    std::string out;
    DumpKey(HKEY_CURRENT_USER, Widen(key), Widen(key), out);
    return out;
}

// What the setup may not change on a second run: the collection, the
// screensaver choice and the installed-programs entry.
std::string RegistryState()
{
    return Dump(kTarnwick) + Dump(kUninstallKey) + "SCRNSAVE.EXE=" + StoredText(kDesktopKey, "SCRNSAVE.EXE")
        + "\n";
}

std::string FileBytes(const fs::path& path)
{
    return testing::ReadFileBytes(path);
}

// The program file of a running process.
std::string ProcessImage(DWORD processId)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return {};
    wchar_t path[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    const BOOL ok = ::QueryFullProcessImageNameW(process, 0, path, &size);
    ::CloseHandle(process);
    return ok ? Narrow(std::wstring(path, size)) : std::string();
}

struct ProgramWindow {
    HWND window = nullptr;
    DWORD processId = 0;
};

// A visible top-level window of `className` whose process runs `program`.
ProgramWindow FindProgramWindow(const wchar_t* className, const std::string& program)
{
    struct Search {
        const wchar_t* className;
        const std::string* program;
        ProgramWindow found;
    } search {className, &program, {}};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[128] = {};
            ::GetClassNameW(window, name, 128);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (::IsWindowVisible(window) && std::wstring(name) == s->className
                && SamePath(ProcessImage(owner), *s->program)) {
                s->found = {window, owner};
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class SetupProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        savedSaver_ = StoredText(kDesktopKey, "SCRNSAVE.EXE");
        DeleteValue(kDesktopKey, "SCRNSAVE.EXE");
        stubs_.Release();
    }
    void TearDown() override
    {
        // A failed case may leave the installed copy behind.
        if (fs::exists(UninstallerOf(installDir_))
            && (KeyExists(kUninstallKey) || MachineKeyExists(kUninstallKey)))
            Uninstall(installDir_, "/S /Purge");
        Clean();
        if (savedSaver_ != "<missing>")
            StoreValue(kDesktopKey, "SCRNSAVE.EXE", savedSaver_);
        else
            DeleteValue(kDesktopKey, "SCRNSAVE.EXE");
    }
    static void Clean()
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, Widen(kTarnwick).c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, Widen(kUninstallKey).c_str());
        HKEY uninstall = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                KEY_ALL_ACCESS | KEY_WOW64_64KEY, &uninstall)
            == ERROR_SUCCESS) {
            ::RegDeleteTreeW(uninstall, L"Velmora3D");
            ::RegCloseKey(uninstall);
        }
    }

    static std::string DefaultInstallDir() { return Environment(L"LOCALAPPDATA") + "\\Programs\\Velmora 3D"; }
    static fs::path UninstallerOf(const std::string& dir) { return fs::path(dir) / "Uninstall.exe"; }

    // A stand-in member: a copy of the launcher suite's stub program.
    std::string MakeStub(const std::string& name) const { return stubs_.Make(name, ".scr"); }

    void RunSetup(const std::string& commandTail)
    {
        test::WinProgram setup;
        ASSERT_TRUE(setup.Start(SETUP_PATH, commandTail, {}, folder_.File("setup.txt")));
        const int code = setup.WaitExit(kSetupBoundMs);
        ASSERT_FALSE(setup.Running()) << "the setup did not end";
        ASSERT_EQ(code, 0) << commandTail;
    }
    // The uninstaller hands over to a copy of itself and ends at once; the
    // installed-programs entry goes last, so its end shows that all is done.
    void Uninstall(const std::string& dir, const std::string& commandTail)
    {
        test::WinProgram uninstaller;
        ASSERT_TRUE(
            uninstaller.Start(UninstallerOf(dir).string(), commandTail, {}, folder_.File("uninstall.txt")));
        EXPECT_EQ(uninstaller.WaitExit(kSetupBoundMs), 0);
        ASSERT_TRUE(PumpUntil(kSetupBoundMs, [] {
            return !KeyExists(kUninstallKey) && !MachineKeyExists(kUninstallKey);
        })) << "the uninstaller did not finish";
        // Its copy in the temporary folder goes too, once it has ended.
        EXPECT_TRUE(PumpUntil(kSetupBoundMs,
            [] {
                for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
                    if (entry.path().filename().string().rfind("~nsu", 0) == 0)
                        return false;
                return true;
            }))
            << "the uninstaller's copy was left in " << fs::temp_directory_path();
    }

    void ExpectInstalledFiles(const std::string& dir) const
    {
        EXPECT_EQ(FileBytes(fs::path(dir) / "Velmora3D.scr"), FileBytes(VELMORA3D_PATH));
        EXPECT_EQ(FileBytes(fs::path(dir) / "randomstart.exe"), FileBytes(RANDOMSTART_PATH));
        EXPECT_TRUE(fs::is_regular_file(UninstallerOf(dir)));
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir))
            files.insert(entry.path().filename().string());
        EXPECT_EQ(files, (std::set<std::string> {"Uninstall.exe", "Velmora3D.scr", "randomstart.exe"}));
    }
    void ExpectRegistered(const std::string& dir) const
    {
        const std::string scr = dir + "\\Velmora3D.scr";
        EXPECT_EQ(StoredText(std::string(kCollection) + "\\List", "VELMORA3D"), "Velmora 3D Screensaver");
        EXPECT_EQ(StoredText(kProgramKey, "ExecutablePath"), scr);
        EXPECT_EQ(StoredText(kProgramKey, "InstallPath"), dir + "\\");
        EXPECT_EQ(StoredText(kUninstallKey, "DisplayName"), "Velmora 3D");
        EXPECT_EQ(StoredText(kUninstallKey, "DisplayVersion"), VELMORA3D_VERSION);
        EXPECT_EQ(StoredText(kUninstallKey, "Publisher"), "Tarnwick");
        EXPECT_EQ(StoredText(kUninstallKey, "DisplayIcon"), scr + ",0");
        EXPECT_EQ(StoredText(kUninstallKey, "UninstallString"), "\"" + dir + "\\Uninstall.exe\"");
        EXPECT_EQ(StoredText(kUninstallKey, "QuietUninstallString"), "\"" + dir + "\\Uninstall.exe\" /S");
        EXPECT_EQ(StoredText(kUninstallKey, "InstallLocation"), dir);
        // In KiB: at least the screensaver's own size.
        const auto size = static_cast<uint32_t>(StoredDword(kUninstallKey, "EstimatedSize"));
        EXPECT_GE(size, fs::file_size(VELMORA3D_PATH) / 1024);
        EXPECT_LT(size, 64u * 1024);
    }

    // The installed screensaver's full-screen window, once its scene has
    // loaded (its loading window is gone); ended with a key.
    bool EndInstalledSaver(const std::string& scr) const
    {
        ProgramWindow saver;
        if (!PumpUntil(kProgramBoundMs, [&] {
                saver = FindProgramWindow(kSaverWindowClass, scr);
                return saver.window != nullptr;
            }))
            return false;
        for (int i = 0; i < 600 && test::WaitForWindow(saver.processId, L"#32770", 0); ++i)
            ::Sleep(100);
        ::Sleep(500);
        HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, saver.processId);
        test::PressKey(VK_SPACE);
        const bool ended = process && ::WaitForSingleObject(process, kProgramBoundMs) == WAIT_OBJECT_0;
        if (process)
            ::CloseHandle(process);
        return ended;
    }

    testing::TempFolder folder_ {"velmora-setup"};
    testing::StubMembers stubs_ {folder_};
    std::string installDir_ = DefaultInstallDir();
    std::string savedSaver_;
};

TEST_F(SetupProgramTest, PerUserInstallRegistersRunsTwiceTheSameAndUninstallsWhatItWrote)
{
    // Another member, installed before, and the collection's switch.
    const std::string other = MakeStub("other");
    StoreValue(std::string(kCollection) + "\\List", "OTHER3D", "Other 3D Screensaver");
    StoreValue(std::string(kCollection) + "\\Other3D", "ExecutablePath", other);
    StoreValue(std::string(kCollection) + "\\Other3D", "Speed", 7);
    StoreValue(kCollection, "StartRandom", 0);
    const std::string before = Dump(kTarnwick);

    RunSetup("/S /SetScreensaver");
    const std::string scr = installDir_ + "\\Velmora3D.scr";
    ExpectInstalledFiles(installDir_);
    ExpectRegistered(installDir_);
    // No fallback was there: Velmora 3D stands in.
    EXPECT_EQ(StoredText(std::string(kCollection) + "\\Corvane3D", "ExecutablePath"), scr);
    EXPECT_EQ(StoredText(kDesktopKey, "SCRNSAVE.EXE"), scr);
    // Nothing of the other member's changed.
    EXPECT_EQ(StoredText(std::string(kCollection) + "\\List", "OTHER3D"), "Other 3D Screensaver");
    EXPECT_EQ(StoredText(std::string(kCollection) + "\\Other3D", "ExecutablePath"), other);
    EXPECT_EQ(StoredDword(std::string(kCollection) + "\\Other3D", "Speed"), 7);
    EXPECT_EQ(StoredDword(kCollection, "StartRandom"), 0);

    // A second run, without the screensaver tick, changes nothing but the
    // files, and does not take back the screensaver choice.
    const std::string installed = RegistryState();
    RunSetup("/S");
    EXPECT_EQ(RegistryState(), installed);
    ExpectInstalledFiles(installDir_);

    // The installed launcher, with the collection from the registry: the
    // fallback (this screensaver) for a full-screen run with the switch off
    // and waited for.
    test::WinProgram launcher;
    ASSERT_TRUE(launcher.Start(
        installDir_ + "\\randomstart.exe", "/s", {stubs_.Environment()}, folder_.File("launcher.txt")));
    EXPECT_TRUE(EndInstalledSaver(scr)) << "Velmora3D.scr /s from " << installDir_;
    EXPECT_EQ(launcher.WaitExit(kProgramBoundMs), 0);

    // With the switch on, every registered member in turn.
    StoreValue(kCollection, "StartRandom", 1);
    std::set<std::string> started;
    for (int run = 0; run < 40 && started.size() < 2; ++run) {
        test::WinProgram random;
        ASSERT_TRUE(random.Start(
            installDir_ + "\\randomstart.exe", "/s", {stubs_.Environment()}, folder_.File("random.txt")));
        const auto otherStarted = [&] { return !stubs_.Runs("other").empty(); };
        ASSERT_TRUE(PumpUntil(kProgramBoundMs,
            [&] { return otherStarted() || FindProgramWindow(kSaverWindowClass, scr).window; }));
        if (otherStarted()) {
            started.insert("other");
            stubs_.ClearRuns();
        } else {
            ASSERT_TRUE(EndInstalledSaver(scr));
            started.insert("Velmora3D");
        }
        EXPECT_EQ(random.WaitExit(kProgramBoundMs), 0);
    }
    EXPECT_EQ(started, (std::set<std::string> {"Velmora3D", "other"}));
    StoreValue(kCollection, "StartRandom", 0);

    // The user's own use: a setting and the web update's downloads.
    StoreValue(kProgramKey, "AnimationSpeed", 70);
    fs::create_directories(fs::path(installDir_) / "web");
    folder_.Write("update.xml", "<products/>");
    fs::copy_file(folder_.Path() / "update.xml", fs::path(installDir_) / "web" / "update.xml");

    Uninstall(installDir_, "/S");
    EXPECT_FALSE(fs::exists(installDir_)) << "files left behind";
    EXPECT_EQ(StoredText(kDesktopKey, "SCRNSAVE.EXE"), "<missing>");
    // All as before, but the user's own setting, which stays unless asked.
    std::string expected = before;
    expected += "[Software\\Tarnwick\\Kestrova3D\\Velmora3D]\nAnimationSpeed=4:70,0,0,0,\n";
    EXPECT_EQ(Dump(kTarnwick), expected);
}

TEST_F(SetupProgramTest, InstallIntoAChosenFolderLeavesAnotherFallbackAndChoiceAndPurgeTakesTheSettings)
{
    // Another member is the collection's fallback and the screensaver.
    const std::string corvane = MakeStub("corvane");
    StoreValue(std::string(kCollection) + "\\List", "CORVANE3D", "Corvane 3D Screensaver");
    StoreValue(std::string(kCollection) + "\\Corvane3D", "ExecutablePath", corvane);
    StoreValue(std::string(kCollection) + "\\Corvane3D", "CamMode", 2);
    StoreValue(kDesktopKey, "SCRNSAVE.EXE", corvane);
    const std::string before = Dump(kTarnwick);

    installDir_ = fs::path(folder_.Path() / "Chosen Place" / "Velmora").make_preferred().string();
    RunSetup("/S /D=" + installDir_);
    ExpectInstalledFiles(installDir_);
    ExpectRegistered(installDir_);
    EXPECT_EQ(StoredText(std::string(kCollection) + "\\Corvane3D", "ExecutablePath"), corvane);
    EXPECT_EQ(StoredText(kDesktopKey, "SCRNSAVE.EXE"), corvane) << "not ticked: the choice stays";

    // Ticked now, and run without a folder: the installed copy is replaced
    // where it is. Then the user chose the other one again: the uninstaller
    // leaves that choice alone.
    RunSetup("/S /SetScreensaver");
    ExpectInstalledFiles(installDir_);
    ExpectRegistered(installDir_);
    EXPECT_FALSE(fs::exists(DefaultInstallDir()));
    EXPECT_EQ(StoredText(kDesktopKey, "SCRNSAVE.EXE"), installDir_ + "\\Velmora3D.scr");
    StoreValue(kDesktopKey, "SCRNSAVE.EXE", corvane);
    StoreValue(kProgramKey, "AnimationSpeed", 70);
    StoreValue(kProgramKey, "CamMode", 1);

    Uninstall(installDir_, "/S /Purge");
    EXPECT_FALSE(fs::exists(installDir_)) << "files left behind";
    EXPECT_TRUE(fs::exists(folder_.Path() / "Chosen Place")) << "only the program's own folder goes";
    EXPECT_EQ(StoredText(kDesktopKey, "SCRNSAVE.EXE"), corvane);
    EXPECT_EQ(Dump(kTarnwick), before);
}

TEST_F(SetupProgramTest, MachineWideInstallPutsTheScreensaverInTheSystemFolder)
{
    installDir_ = Environment(L"ProgramW6432") + "\\Velmora 3D";
    const std::string scr = SystemFolder() + "\\Velmora3D.scr";
    const std::string dataDir = Environment(L"LOCALAPPDATA") + "\\Velmora 3D";
    RunSetup("/S /AllUsers");
    EXPECT_EQ(FileBytes(scr), FileBytes(VELMORA3D_PATH));
    EXPECT_EQ(FileBytes(fs::path(installDir_) / "randomstart.exe"), FileBytes(RANDOMSTART_PATH));
    EXPECT_TRUE(fs::is_regular_file(UninstallerOf(installDir_)));
    EXPECT_FALSE(fs::exists(fs::path(installDir_) / "Velmora3D.scr"));
    EXPECT_TRUE(fs::is_directory(dataDir)) << "the web update's folder, the user's own";
    EXPECT_EQ(StoredText(kProgramKey, "ExecutablePath"), scr);
    EXPECT_EQ(StoredText(kProgramKey, "InstallPath"), dataDir + "\\");
    EXPECT_EQ(StoredText(std::string(kCollection) + "\\List", "VELMORA3D"), "Velmora 3D Screensaver");
    EXPECT_EQ(MachineText(kUninstallKey, "DisplayName"), "Velmora 3D");
    EXPECT_EQ(MachineText(kUninstallKey, "DisplayIcon"), scr + ",0");
    EXPECT_EQ(MachineText(kUninstallKey, "UninstallString"), "\"" + installDir_ + "\\Uninstall.exe\"");
    EXPECT_FALSE(KeyExists(kUninstallKey)) << "not in the user's own list";

    Uninstall(installDir_, "/S");
    EXPECT_FALSE(fs::exists(scr));
    EXPECT_FALSE(fs::exists(installDir_));
    EXPECT_FALSE(fs::exists(dataDir));
    EXPECT_EQ(Dump(kTarnwick), "") << "nothing was there before";
}

} // namespace
} // namespace velmora

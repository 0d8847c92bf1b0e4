#include "app/win32/ProgramMessage.h"

#include "app/SaverApp.h"
#include "platform/Process.h"
#include "platform/win32/WideText.h"

namespace velmora::win32 {

std::wstring ProgramCaption()
{
    std::string name = ProgramBaseName(platform::RunningProgramPath());
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return Widen(name.empty() ? std::string("Velmora3D") : name);
}

void ShowProgramMessage(HWND owner, std::string_view text, UINT icon)
{
    ::MessageBoxW(owner, Widen(text).c_str(), ProgramCaption().c_str(), MB_OK | icon);
}

} // namespace velmora::win32

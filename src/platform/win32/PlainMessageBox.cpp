#include "platform/PlainMessageBox.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

namespace velmora::platform {

bool ShowPlainMessageBox(std::string_view caption, std::string_view text)
{
    // Topmost and task-modal: started by a screensaver host, nothing of ours
    // owns a window the box could sit on.
    return ::MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(caption).c_str(),
               MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL)
        != 0;
}

} // namespace velmora::platform

#include "platform/ProgramIcon.h"
#include "ui/model/SettingsDialogModel.h"

namespace velmora::ui {

MemberIcon ReadMemberIcon(const std::string& executablePath)
{
    platform::ProgramIcon icon = platform::ReadProgramIcon(executablePath);
    switch (icon.status) {
    case platform::ProgramIconStatus::Unreadable:
        return {MemberIconStatus::Unreadable, {}};
    case platform::ProgramIconStatus::NoIcon:
        return {MemberIconStatus::NoIcon, {}};
    case platform::ProgramIconStatus::Found:
        break;
    }
    const platform::IconImage* best = platform::BestIconImage(icon.images, kListImageSide);
    if (!best)
        return {MemberIconStatus::NoIcon, {}};
    return {MemberIconStatus::Found, best->png};
}

} // namespace velmora::ui

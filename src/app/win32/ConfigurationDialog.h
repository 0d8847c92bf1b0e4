#pragma once
// The configuration run mode on Windows: the collection settings dialog,
// modal and without an owner, on this program's own page.

namespace velmora::win32 {

void RunConfigurationDialog();

} // namespace velmora::win32

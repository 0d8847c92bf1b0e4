#pragma once
// The configuration run mode's window: the collection settings dialog,
// modal, without an owner, opened on this program's own page.

namespace velmora {

// Runs the dialog until it closes. Needs a QApplication.
void RunConfigurationDialog();

} // namespace velmora

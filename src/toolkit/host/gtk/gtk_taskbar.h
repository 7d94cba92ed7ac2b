// Taskbar progress on Linux desktops: the com.canonical.Unity.LauncherEntry "Update" signal on
// the session bus, for the launcher entry "application://nuv.desktop". Without a session bus
// nothing happens.
#pragma once

#include "toolkit/host/host.h"

namespace SkinUI {

void TaskbarProgress(TaskbarState state, int percent);

}  // namespace SkinUI

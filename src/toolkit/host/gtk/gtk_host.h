// The GTK 3 host: undecorated windows on a real display, input and input method, clipboard,
// folder picker, notification-area icon, taskbar progress (the LauncherEntry D-Bus signal).
// This header includes no GTK; only the files of this folder do.
#pragma once

#include <memory>

#include "toolkit/host/host.h"

namespace SkinUI {

// Initialises GTK and makes the host when a display opens (gtk_init_check), else nullptr.
std::unique_ptr<Host> CreateGtkHost();

// The GtkFixed of a window's native window, where web views are placed (a GtkWidget*), or
// nullptr outside the GTK host.
void* GtkFixedOf(WindowBase& window);

}  // namespace SkinUI

// Start-up steps 12 to 16 on the toolkit: the skin archive, the window host, the main window
// with its icon, and the message loop.
#pragma once

class NuvMgr;
class LanguageTable;

// 12. The skin archive from resource "ZIPRES" 133 (left unset when it is missing or empty), and
// the window host: GTK when a display opens, otherwise the off-screen host.
// 13.-15. The main window: made, logged, its handle stored in the controller, its icon set,
// centred and shown (hidden in fork mode). False when the window could not be made.
bool OpenMainWindow(NuvMgr& mgr, LanguageTable& language);

// 16. The toolkit's message loop, until the main window ends it.
void RunMainWindowLoop(NuvMgr& mgr, LanguageTable& language);

#include "shell/placeholder_window.h"

#include "toolkit/messages.h"

void PlaceholderMainWindow::InitWindow() {
  if (SkinUI::Control* install = FindControl(u"btn_install")) install->SetEnabled(true);
}

void PlaceholderMainWindow::Notify(SkinUI::Notification& n) {
  if (n.type == SkinUI::kNotifyWindowInit && endAtOnce_) return End();
  if (n.type != SkinUI::kNotifyClick || !n.sender) return;
  if (n.sender->GetName() == u"btn_close") End();
  if (n.sender->GetName() == u"btn_minimal") Show(SkinUI::ShowCommand::Minimize);
}

bool PlaceholderMainWindow::MessageFilter(const SkinUI::Message& key) {
  return key.wParam == SkinUI::kVkEscape;  // Escape never closes the main window
}

int64_t PlaceholderMainWindow::HandleMessage(const SkinUI::Message& message, bool& handled) {
  if (message.id == SkinUI::kWmSysCommand && message.wParam == SkinUI::kScClose) {
    handled = true;
    End();
  }
  return 0;
}

void PlaceholderMainWindow::End() {
  ShowWindow(false);
  SkinUI::QuitMessageLoop(0);
}

// The main window until the real one exists: the skin "skin.xml" as it stands, with its close
// and minimise buttons working. Without a display (or in fork mode, hidden) there is nobody to
// close it, so it ends the loop as soon as it is up.
#pragma once

#include "toolkit/window/window_base.h"

class PlaceholderMainWindow : public SkinUI::WindowBase {
 public:
  explicit PlaceholderMainWindow(bool endAtOnce) : endAtOnce_(endAtOnce) {}

  std::u16string ClassName() const override { return u"NUV"; }
  std::u16string SkinFile() const override { return u"skin.xml"; }
  void InitWindow() override;
  void Notify(SkinUI::Notification& notification) override;
  bool MessageFilter(const SkinUI::Message& key) override;
  int64_t HandleMessage(const SkinUI::Message& message, bool& handled) override;
  void OnFinalMessage() override { delete this; }

 private:
  void End();

  bool endAtOnce_;
};

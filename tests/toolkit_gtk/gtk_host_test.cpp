// The GTK host on a real X server (Xvfb, no window manager): the main skin opens at 600 × 400,
// xdotool clicks a button and the agreement check box, picks a language from the combo and types
// into an edit, the notifications arrive, and a screenshot of the screen is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "skin_fixture.h"
#include "support/temp_dir.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/combo.h"
#include "toolkit/controls/edit.h"
#include "toolkit/host/gtk/gtk_host.h"
#include "toolkit/window/message_loop.h"
#include "xml/utf.h"
#include "xvfb_display.h"

namespace {

using namespace SkinUI;
using skin_fixture::RecordingWindow;

constexpr int kLeft = 40, kTop = 30;

class Driver {
 public:
  explicit Driver(RecordingWindow& window) : window_(window) {}

  // The screen point at the centre of a control (or at an offset inside it).
  Point At(const char16_t* name, int dx = -1, int dy = -1) {
    Point p;
    window_.Invoke([&] {
      window_.Manager().LayoutIfNeeded();
      const Rect r = window_.FindControl(name)->GetPos();
      const Rect w = window_.GetWindowRect();
      p = {w.left + (dx < 0 ? r.Width() / 2 : dx) + r.left,
           w.top + (dy < 0 ? r.Height() / 2 : dy) + r.top};
    });
    return p;
  }
  bool Click(Point p) {
    return RunTool({"xdotool", "mousemove", std::to_string(p.x), std::to_string(p.y), "click",
                    "1"}) == 0;
  }
  // Waits until the window saw `event` (bounded).
  bool Saw(const std::string& event) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      for (const std::string& e : window_.Events())
        if (e == event) return true;
      MessageLoop::Current().WaitIdle(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool Until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      bool ok = false;
      window_.Invoke([&] { ok = done(); });
      if (ok) return true;
      MessageLoop::Current().WaitIdle(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  RecordingWindow& window_;
};

TEST(GtkHostTest, MainSkinTakesClicksPicksAndTyping) {
  XvfbDisplay display(1024, 768);
  if (display.Name().empty()) GTEST_SKIP() << "no X server: " << display.Error();
  setenv("DISPLAY", display.Name().c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  unsetenv("WAYLAND_DISPLAY");

  TempDir dir;
  skin_fixture::WriteFixtureSkin(dir.Path());
  skin_fixture::UsePlaceholderResources();
  SkinResources::Get().SetFolder(dir.Path());
  std::unique_ptr<Host> host = CreateGtkHost();
  ASSERT_TRUE(host) << "GTK could not open " << display.Name();
  SetHost(std::move(host));

  RecordingWindow window(u"NUV", u"skin.xml");
  ASSERT_NE(window.Create(nullptr, u"Capturo GTK test"), 0u);
  EXPECT_EQ(window.GetClientSize(), (Size{600, 400}));
  window.MoveWindow(kLeft, kTop);
  window.FindControl(u"btn_install")->SetEnabled(true);
  auto* combo = window.Find<Combo>(u"cmb_language");
  for (const char16_t* language : {u"简体中文", u"English", u"Deutsch"})
    combo->AddItem(language, 32);
  combo->SetDropBoxSize({0, 32 * 3 + 2});
  combo->SelectItem(0);
  window.Show();

  const std::string shot = std::string(NUV_BINARY_DIR) + "/toolkit_gtk_screenshot.png";
  std::filesystem::remove(shot);
  std::string failure;
  std::thread driver([&] {
    Driver d(window);
    auto step = [&](bool ok, const char* what) {
      if (!ok && failure.empty()) failure = what;
      return ok;
    };
    if (step(RunTool({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                      "^Capturo GTK test$"}) == 0,
             "the window never showed") &&
        step(d.Click(d.At(u"btn_install")) && d.Saw("click:btn_install"), "install click") &&
        step(d.Click(d.At(u"cbx_agree", 8, 8)) && d.Saw("selectchanged:cbx_agree"), "check box") &&
        step(d.Until([&] {
          // The language row lies below 400 and shares its place with the folder row.
          for (const char16_t* name :
               {u"lbl_install_dir", u"lbl_folder_bk", u"edit_install_dir", u"btn_select_dir"})
            window.FindControl(name)->SetVisible(false);
          window.ResizeClient(600, 440);
          return window.GetClientSize().cy == 440;
        }),
             "grow to 440") &&
        step(d.Click(d.At(u"cmb_language")) && d.Until([&] { return combo->IsDropped(); }),
             "open the list")) {
      Point item;
      window.Invoke([&] {
        const Rect list = combo->DropRect();
        const Rect w = window.GetWindowRect();
        item = {w.left + list.left + 40, w.top + list.top + 1 + 32 + 16};  // the second item
      });
      step(d.Click(item) && d.Saw("itemselect:cmb_language"), "pick an item") &&
          step(d.Until([&] {
            window.FindControl(u"lay_before")->SetVisible(false);
            window.FindControl(u"lay_failed")->SetVisible(true);
            window.ResizeClient(600, 400);
            return true;
          }),
               "failed page") &&
          step(d.Click(d.At(u"edit_contact")) && d.Saw("setfocus:edit_contact"),
               "focus the edit") &&
          step(RunTool({"xdotool", "type", "--delay", "40", "hi@veltrin.cn"}) == 0 && d.Until([&] {
            return window.FindControl(u"edit_contact")->GetText() == u"hi@veltrin.cn";
          }),
               "typing") &&
          step(RunTool({"sh", "-c",
                        "xwd -root -silent -display \"$DISPLAY\" | xwdtopnm 2>/dev/null | "
                        "pnmcut -left 0 -top 0 -width 720 -height 480 | pnmtopng > '" +
                            shot + "'"}) == 0,
               "screenshot");
    }
    window.PostTask([&] { window.Destroy(); });
    QuitMessageLoop(0);
  });
  EXPECT_EQ(RunMessageLoop(), 0);
  driver.join();
  EXPECT_TRUE(failure.empty()) << "failed at: " << failure;

  const std::vector<std::string> events = window.Events();
  auto count = [&](const std::string& e) { return std::count(events.begin(), events.end(), e); };
  EXPECT_EQ(count("click:btn_install"), 1);
  EXPECT_EQ(count("click:cbx_agree"), 1);
  EXPECT_EQ(count("selectchanged:cbx_agree"), 1);
  EXPECT_EQ(count("itemselect:cmb_language"), 1);
  EXPECT_EQ(count("textchanged:edit_contact"), 13);  // one per typed character
  EXPECT_TRUE(window.Find<CheckBox>(u"cbx_agree")->IsChecked());
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_TRUE(std::filesystem::exists(shot) && std::filesystem::file_size(shot) > 1000) << shot;
  std::printf("screenshot: %s\n", shot.c_str());
  SetHost(nullptr);
}

}  // namespace

// Input and notifications of a window's controls, driven through the off-screen host as a user
// would: clicks, check-box toggles, combo picks, typing, timers, keyboard focus.
#include <gtest/gtest.h>

#include "skin_fixture.h"
#include "support/temp_dir.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/combo.h"
#include "toolkit/controls/edit.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/messages.h"
#include "toolkit/window/message_loop.h"
#include "xml/utf.h"

namespace {

using namespace SkinUI;
using skin_fixture::RecordingWindow;
using Events = std::vector<std::string>;

constexpr const char* kForm = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200">
  <Font id="1" name="思源黑体" size="12" default="true"/>
  <VerticalLayout name="root">
    <Button name="btn_a" float="true" pos="10,10,90,40" text="A"/>
    <Button name="btn_off" float="true" pos="100,10,180,40" text="off" enabled="false"/>
    <Button name="btn_hidden" float="true" pos="190,10,270,40" text="hidden" visible="false"/>
    <CheckBox name="cbx" float="true" pos="10,50,90,66" text="agree"/>
    <Combo name="cmb" float="true" pos="100,50,260,80">
      <ListLabelElement text="简体中文"/>
      <ListLabelElement text="English"/>
      <ListLabelElement text="Deutsch"/>
    </Combo>
    <Edit name="edit" float="true" pos="10,150,140,174"/>
    <Edit name="edit_ro" float="true" pos="150,150,290,174" readonly="true" text="fixed"/>
    <Label name="lbl" float="true" pos="10,100,290,140" text="a label"/>
  </VerticalLayout>
</Window>
)";

class PaintManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLoop::Current().BindToCurrentThread();
    WriteWholeFile(dir_.File("form.xml"), kForm);
    SkinResources::Get().SetFolder(dir_.Path());
    MessageLoop::Current().UseManualClock();
    auto host = std::make_unique<OffscreenHost>();
    host_ = host.get();
    SetHost(std::move(host));
    ASSERT_NE(window_.Create(nullptr, u"form"), 0u);
    window_.Show();
    host_->Settle();
    window_.ClearEvents();
  }
  void TearDown() override { window_.Destroy(); }

  Events Take() {
    Events e = window_.Events();
    window_.ClearEvents();
    return e;
  }

  TempDir dir_;
  OffscreenHost* host_ = nullptr;
  RecordingWindow window_{u"form", u"form.xml"};
};

TEST_F(PaintManagerTest, WindowInitComesOnceAfterCreate) {
  RecordingWindow other(u"other", u"form.xml");
  ASSERT_NE(other.Create(nullptr, u"other"), 0u);
  EXPECT_TRUE(other.Events().empty());  // not during Create
  host_->Settle();
  EXPECT_EQ(other.Events(), Events{"windowinit:"});
  other.Destroy();
}

TEST_F(PaintManagerTest, ClicksReachEnabledShownButtonsOnly) {
  ASSERT_TRUE(host_->Press(u"btn_a"));
  EXPECT_EQ(Take(), (Events{"setfocus:btn_a", "click:btn_a"}));
  EXPECT_TRUE(host_->Press(u"btn_off"));  // pressed, but a disabled button does nothing
  EXPECT_FALSE(host_->Press(u"btn_hidden"));
  EXPECT_TRUE(host_->Click({220, 25}));  // where the hidden button would be
  EXPECT_EQ(Take(), Events{"killfocus:btn_a"});

  // A press that leaves the button before the release is no click.
  host_->WithWindow(u"form", [](WindowBase* w) {
    w->HostButtonDown({20, 20}, {20, 20}, 1);
    w->HostMouseMove({200, 190});
    w->HostButtonUp({200, 190});
  });
  EXPECT_EQ(Take(), Events{"setfocus:btn_a"});
  // Labels let the press through to their layout.
  EXPECT_EQ(window_.Manager().FindControlAt({50, 120})->GetName(), u"root");
}

TEST_F(PaintManagerTest, CheckBoxTogglesWithClickThenSelectChanged) {
  auto* cbx = window_.Find<CheckBox>(u"cbx");
  ASSERT_TRUE(host_->Press(u"cbx"));
  EXPECT_TRUE(cbx->IsChecked());
  EXPECT_EQ(Take(), (Events{"setfocus:cbx", "click:cbx", "selectchanged:cbx"}));
  ASSERT_TRUE(host_->Key(kVkSpace));
  EXPECT_FALSE(cbx->IsChecked());
  EXPECT_EQ(Take(), (Events{"click:cbx", "selectchanged:cbx"}));
  cbx->SetCheck(true);  // by code: no notification
  EXPECT_TRUE(Take().empty());
}

TEST_F(PaintManagerTest, ComboPicksByMouseAndArrows) {
  auto* cmb = window_.Find<Combo>(u"cmb");
  ASSERT_EQ(cmb->GetCount(), 3);
  cmb->SetDropBoxSize({0, 32 * 3 + 2});  // as the main window sizes its language list
  ASSERT_TRUE(host_->Press(u"cmb"));
  EXPECT_TRUE(cmb->IsDropped());
  Take();
  // Three 32-pixel items and the frame fit below the box inside the 200-pixel window.
  const Rect list = cmb->DropRect();
  EXPECT_EQ(list, Rect::FromXYWH(100, 80, 160, 98));
  ASSERT_TRUE(host_->Click({list.left + 20, list.top + 1 + 32 + 16}));  // the second item
  EXPECT_FALSE(cmb->IsDropped());
  EXPECT_EQ(cmb->GetCurSel(), 1);
  EXPECT_EQ(Take(), Events{"itemselect:cmb"});
  ASSERT_TRUE(host_->Key(kVkDown));
  EXPECT_EQ(cmb->GetCurSel(), 2);
  ASSERT_TRUE(host_->Key(kVkDown));  // already the last
  EXPECT_EQ(cmb->GetCurSel(), 2);
  EXPECT_EQ(Take(), Events{"itemselect:cmb"});
  // A press outside an open list only closes it.
  ASSERT_TRUE(host_->Press(u"cmb"));
  Take();
  ASSERT_TRUE(host_->Press(u"btn_a"));
  EXPECT_FALSE(cmb->IsDropped());
  EXPECT_EQ(Take(), Events{});
}

TEST_F(PaintManagerTest, EditTypingSelectionAndClipboard) {
  auto* edit = window_.Find<Edit>(u"edit");
  ASSERT_TRUE(host_->Press(u"edit"));
  EXPECT_EQ(Take(), Events{"setfocus:edit"});
  ASSERT_TRUE(host_->Type(u"mail@"));
  ASSERT_TRUE(host_->Type(u"例え"));
  EXPECT_EQ(WideToUtf8(edit->GetText()), "mail@例え");
  ASSERT_TRUE(host_->Key(kVkBack));
  EXPECT_EQ(WideToUtf8(edit->GetText()), "mail@例");
  EXPECT_EQ(Take(), (Events{"textchanged:edit", "textchanged:edit", "textchanged:edit"}));
  // Select all, copy, paste twice at the end.
  ASSERT_TRUE(host_->Key('A', kModControl));
  ASSERT_TRUE(host_->Key('C', kModControl));
  EXPECT_EQ(WideToUtf8(host_->ClipboardText()), "mail@例");
  ASSERT_TRUE(host_->Key(kVkEnd));
  ASSERT_TRUE(host_->Key('V', kModControl));
  EXPECT_EQ(WideToUtf8(edit->GetText()), "mail@例mail@例");
  // Line breaks do not enter a one-line edit; a setter sends no notification.
  ASSERT_TRUE(host_->Type(u"\r\n!"));
  EXPECT_EQ(WideToUtf8(edit->GetText()), "mail@例mail@例!");
  Take();
  edit->SetText(u"reset");
  EXPECT_TRUE(Take().empty());

  // A read-only edit keeps its text but still copies.
  auto* ro = window_.Find<Edit>(u"edit_ro");
  ASSERT_TRUE(host_->Press(u"edit_ro"));
  ASSERT_TRUE(host_->Type(u"x"));
  ASSERT_TRUE(host_->Key(kVkBack));
  ASSERT_TRUE(host_->Key('A', kModControl));
  ASSERT_TRUE(host_->Key('X', kModControl));
  EXPECT_EQ(WideToUtf8(ro->GetText()), "fixed");
  EXPECT_EQ(WideToUtf8(host_->ClipboardText()), "fixed");
  EXPECT_EQ(Take(), (Events{"killfocus:edit", "setfocus:edit_ro"}));
}

TEST_F(PaintManagerTest, TimersTickByControlAndStop) {
  Control* a = window_.FindControl(u"btn_a");
  Control* lbl = window_.FindControl(u"lbl");
  PaintManager& pm = window_.Manager();
  ASSERT_TRUE(pm.SetTimer(a, 1982, 1000));
  ASSERT_TRUE(pm.SetTimer(lbl, 1990, 500));
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(1100));
  EXPECT_EQ(Take(), (Events{"timer:lbl", "timer:btn_a", "timer:lbl"}));
  // Restarting a timer counts from now; killing it ends it; the other goes on.
  ASSERT_TRUE(pm.SetTimer(a, 1982, 1000));
  ASSERT_TRUE(pm.KillTimer(lbl, 1990));
  EXPECT_FALSE(pm.KillTimer(lbl, 1990));
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(999));
  EXPECT_TRUE(Take().empty());
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(1));
  EXPECT_EQ(Take(), Events{"timer:btn_a"});
  // A timer set from another thread ticks on the loop as well.
  std::thread([&] { pm.SetTimer(lbl, 7, 10); }).join();
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(10));
  EXPECT_EQ(Take(), Events{"timer:lbl"});
  pm.KillTimers(lbl);
  pm.KillTimers(a);
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(5000));
  EXPECT_TRUE(Take().empty());
}

TEST_F(PaintManagerTest, TabMovesFocusOverEnabledShownControls) {
  const char16_t* forward[] = {u"btn_a", u"cbx", u"cmb", u"edit", u"edit_ro", u"btn_a"};
  for (const char16_t* name : forward) {
    ASSERT_TRUE(host_->Key(kVkTab));
    ASSERT_NE(window_.Manager().GetFocus(), nullptr);
    EXPECT_EQ(WideToUtf8(window_.Manager().GetFocus()->GetName()), WideToUtf8(name));
  }
  ASSERT_TRUE(host_->Key(kVkTab, kModShift));
  EXPECT_EQ(window_.Manager().GetFocus()->GetName(), u"edit_ro");
  // Disabling or hiding the focused control takes the focus away.
  window_.FindControl(u"edit_ro")->SetVisible(false);
  EXPECT_EQ(window_.Manager().GetFocus(), nullptr);
  Take();
  // Enter presses the focused button.
  ASSERT_TRUE(host_->Key(kVkTab));
  ASSERT_TRUE(host_->Key(kVkReturn));
  EXPECT_EQ(Take(), (Events{"setfocus:btn_a", "click:btn_a"}));
}

TEST_F(PaintManagerTest, MessageFilterSeesKeysFirst) {
  window_.consumedKeys = {kVkEscape, kVkReturn};
  ASSERT_TRUE(host_->Press(u"btn_a"));
  Take();
  ASSERT_TRUE(host_->Key(kVkReturn));
  ASSERT_TRUE(host_->Key(kVkEscape));
  EXPECT_EQ(Take(), (Events{"filtered:13", "filtered:27"}));
}

}  // namespace

// The shipped skin documents against the layout values the window code relies on: every named
// control's kind, rectangle and initial state, plus the window-level values.
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/edit.h"
#include "toolkit/controls/progress.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/skin/skin_builder.h"
#include "xml/utf.h"

namespace {

using namespace SkinUI;

struct Expected {
  const char* document;
  const char16_t* name;
  const char16_t* kind;
  Rect rect;  // x, y, width, height written as FromXYWH below
  bool visible;
  bool enabled;
  const char16_t* text;  // nullptr: not checked
  int font;              // -2: not checked
};

constexpr bool kShown = true, kHidden = false, kOn = true, kOff = false;
constexpr int kAny = -2;

Rect R(int x, int y, int w, int h) {
  return Rect::FromXYWH(x, y, w, h);
}

const Expected kControls[] = {
    // skin.xml: pages and backgrounds.
    {"skin.xml", u"lab_bk0", u"Label", R(0, 0, 600, 440), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lab_bk", u"Label", R(0, 0, 600, 400), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lay_before", u"VerticalLayout", R(0, 0, 600, 440), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lay_download", u"VerticalLayout", R(0, 0, 600, 400), kHidden, kOn, nullptr,
     kAny},
    {"skin.xml", u"lay_after", u"VerticalLayout", R(0, 0, 600, 400), kHidden, kOn, nullptr, kAny},
    {"skin.xml", u"lay_failed", u"Container", R(0, 0, 600, 400), kHidden, kOn, nullptr, kAny},
    {"skin.xml", u"lay_license", u"Container", R(0, 0, 600, 536), kHidden, kOn, nullptr, kAny},
    {"skin.xml", u"lay_caption", u"HorizontalLayout", R(0, 0, 600, 30), kShown, kOn, nullptr, kAny},
    // Start page.
    {"skin.xml", u"btn_install", u"Button", R(204, 265, 192, 40), kShown, kOff, u"开始安装", 6},
    {"skin.xml", u"cbx_agree", u"CheckBox", R(225, 330, 50, 16), kShown, kOn, u"同意", kAny},
    {"skin.xml", u"lbl_agree", u"Label", R(139, 330, 250, 20), kShown, kOn, u"agree", 4},
    {"skin.xml", u"btn_privacy", u"Button", R(334, 330, 150, 20), kShown, kOn, u"privacy", 9},
    {"skin.xml", u"lbl_and", u"Label", R(326, 330, 12, 20), kShown, kOn, u"and", 4},
    {"skin.xml", u"btn_eula", u"Button", R(412, 330, 60, 20), kShown, kOn, u"eula", 9},
    {"skin.xml", u"lbl_tail", u"Label", R(326, 330, 12, 20), kShown, kOn, u"and", 4},
    {"skin.xml", u"btn_settings", u"Button", R(510, 368, 60, 20), kShown, kOn, u"个性化安装", 1},
    {"skin.xml", u"btn_downIcon", u"Button", R(570, 375, 8, 8), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"btn_upIcon", u"Button", R(570, 375, 8, 8), kHidden, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_language", u"Label", R(24, 408, 131, 20), kShown, kOn, u"请选择语言:", 2},
    {"skin.xml", u"cmb_language", u"Combo", R(160, 400, 320, 32), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_install_dir", u"Label", R(70, 408, 110, 20), kShown, kOn, u"安装路径：", 2},
    {"skin.xml", u"lbl_folder_bk", u"Label", R(170, 400, 300, 32), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"btn_select_dir", u"Button", R(442, 404, 24, 24), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"edit_install_dir", u"Edit", R(174, 404, 268, 24), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"cbx_ext_install", u"CheckBox", R(186, 380, 280, 16), kHidden, kOn, nullptr,
     kAny},
    // Download page.
    {"skin.xml", u"lab_banner", u"Label", R(0, 0, 600, 338), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"web_banner", u"WebBrowser", R(0, 0, 600, 338), kHidden, kOn, nullptr, kAny},
    {"skin.xml", u"progress_download", u"Progress", R(58, 350, 484, 6), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_progress_tip", u"Label", R(58, 360, 484, 20), kShown, kOn, u"安装中，请稍后",
     1},
    {"skin.xml", u"lbl_progress_value", u"Label", R(500, 360, 40, 20), kShown, kOn, u"100%", 1},
    {"skin.xml", u"lbl_wait_for_time_tip", u"Label", R(58, 375, 484, 20), kShown, kOn, u"", 1},
    {"skin.xml", u"lbl_agree2", u"Label", R(58, 370, 100, 20), kHidden, kOn,
     u"{c #7a7b7f}下载即表示您同意{/c}", kAny},
    {"skin.xml", u"btn_privacy2", u"Button", R(152, 369, 60, 20), kHidden, kOn,
     u"{f 1}{u}{l}{c #7a7b7f}隐私政策{/c}{/l}{/u}{/f}", 4},
    {"skin.xml", u"btn_eula2", u"Button", R(205, 369, 100, 20), kHidden, kOn,
     u"{f 1} 和 {u}{l}{c #7a7b7f}EULA{/c}{/l}{/u}{/f}", 4},
    {"skin.xml", u"btn_settings2", u"Button", R(532, 370, 50, 20), kHidden, kOn, u"个性化安装",
     kAny},
    // Success page.
    {"skin.xml", u"btn_run", u"Button", R(204, 265, 192, 40), kShown, kOn, u"立即启动", 6},
    {"skin.xml", u"edit_package", u"Edit", R(5, 325, 590, 24), kShown, kOn, nullptr, 4},
    // Failure page.
    {"skin.xml", u"lbl_bk", u"Label", R(0, 0, 600, 400), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_icon", u"Label", R(30, 30, 57, 57), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_title", u"Label", R(5, 2, 585, 28), kHidden, kOn, nullptr, 4},
    {"skin.xml", u"lbl_install_failed", u"Label", R(105, 35, 195, 45), kShown, kOn, u"安装出错", 5},
    {"skin.xml", u"lbl_tip1", u"Label", R(35, 80, 415, 30), kShown, kOn,
     u"如果在安装时遇到问题，可尝试下列操作：", kAny},
    {"skin.xml", u"lbl_tip2", u"Label", R(35, 110, 300, 20), kShown, kOn, u"1.检查网络连接是否正常",
     kAny},
    {"skin.xml", u"lbl_tip3", u"Label", R(35, 130, 300, 20), kShown, kOn, u"2.清理磁盘存储空间",
     kAny},
    {"skin.xml", u"lbl_tip4", u"Label", R(35, 150, 50, 20), kShown, kOn, u"3.重新", kAny},
    {"skin.xml", u"btn_download_pkg", u"Button", R(73, 150, 72, 20), kShown, kOn, u"下载安装程序",
     7},
    {"skin.xml", u"lbl_contact", u"Label", R(35, 180, 545, 20), kShown, kOn,
     u"若无法解决，请留下联系方式并发送错误报告", kAny},
    {"skin.xml", u"edit_contact", u"Edit", R(35, 200, 530, 30), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"edit_remark", u"RichEdit", R(35, 240, 530, 95), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"btn_help", u"Button", R(35, 355, 55, 25), kShown, kOn, u"获取帮助", 7},
    {"skin.xml", u"btn_send_report", u"Button", R(465, 350, 100, 30), kShown, kOff, u"发送错误报告",
     kAny},
    // Licence view and caption.
    {"skin.xml", u"lbl_web_bk", u"Label", R(0, 400, 600, 136), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"lbl_license_border", u"Label", R(15, 400, 570, 134), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"web_license", u"WebBrowser", R(16, 401, 568, 132), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"btn_close", u"Button", R(568, 4, 24, 24), kShown, kOn, nullptr, kAny},
    {"skin.xml", u"btn_minimal", u"Button", R(536, 4, 24, 24), kShown, kOn, nullptr, kAny},
    // mask.xml
    {"mask.xml", u"btn_minimal", u"Button", R(576, 4, 24, 24), kShown, kOn, nullptr, kAny},
    {"mask.xml", u"btn_close", u"Button", R(608, 4, 24, 24), kShown, kOn, nullptr, kAny},
    {"mask.xml", u"lbl_tips_bkg", u"Label", R(78, 28, 484, 60), kShown, kOn, nullptr, kAny},
    {"mask.xml", u"lbl_tips", u"Label", R(94, 28, 452, 56), kShown, kOn, u"this is a tips", 14},
    {"mask.xml", u"btn_close_tip", u"Button", R(547, 29, 14, 14), kShown, kOn, nullptr, kAny},
    // messagebox.xml
    {"messagebox.xml", u"lbl_title", u"Label", R(10, 5, 200, 20), kShown, kOn, u"Install Error", 3},
    {"messagebox.xml", u"btn_close", u"Button", R(214, 5, 24, 24), kShown, kOn, nullptr, kAny},
    {"messagebox.xml", u"lab_icon", u"Label", R(94, 24, 56, 56), kShown, kOn, nullptr, kAny},
    {"messagebox.xml", u"edit_content", u"RichEdit", R(24, 84, 200, 100), kShown, kOn, nullptr, 1},
    {"messagebox.xml", u"btn_ok", u"Button", R(24, 180, 200, 32), kHidden, kOn,
     u"Change install Location", kAny},
    {"messagebox.xml", u"btn_cancel", u"Button", R(24, 220, 200, 32), kHidden, kOn, u"cancel",
     kAny},
    // privacybox.xml
    {"privacybox.xml", u"lbl_title", u"Label", R(24, 32, 200, 18), kShown, kOn, u"Default", 4},
    {"privacybox.xml", u"lbl_content", u"Label", R(24, 60, 200, 40), kShown, kOn, u"Default tip",
     3},
    {"privacybox.xml", u"box_btn_privacy", u"Button", R(24, 100, 80, 20), kShown, kOn, u"privacy",
     5},
    {"privacybox.xml", u"box_lbl_and", u"Label", R(104, 100, 40, 20), kShown, kOn, u"and", 3},
    {"privacybox.xml", u"box_btn_eula", u"Button", R(130, 100, 80, 20), kShown, kOn, u"eula", 5},
    {"privacybox.xml", u"box_lbl_tail", u"Label", R(104, 100, 40, 20), kShown, kOn, u"and", 3},
    {"privacybox.xml", u"btn_agree_install", u"Button", R(24, 150, 200, 32), kShown, kOn, nullptr,
     kAny},
    {"privacybox.xml", u"btn_not_agree", u"Button", R(24, 190, 200, 32), kShown, kOn, nullptr,
     kAny},
    // redeembox.xml
    {"redeembox.xml", u"lbl_content", u"Label", R(24, 32, 240, 90), kShown, kOn, u"Default", 3},
    {"redeembox.xml", u"btn_close", u"Button", R(254, 5, 24, 24), kHidden, kOn, nullptr, kAny},
    {"redeembox.xml", u"edit_email_bk", u"Label", R(24, 128, 240, 32), kShown, kOn, nullptr, kAny},
    {"redeembox.xml", u"edit_email", u"Edit", R(28, 132, 232, 24), kShown, kOn, nullptr, kAny},
    {"redeembox.xml", u"lbl_error_tip", u"Label", R(24, 168, 240, 48), kHidden, kOn, u"Default tip",
     1},
    {"redeembox.xml", u"lbl_tip", u"Label", R(24, 168, 240, 72), kShown, kOn, u"Default tip", 1},
    {"redeembox.xml", u"btn_ok", u"Button", R(24, 248, 240, 32), kShown, kOn, nullptr, kAny},
    {"redeembox.xml", u"btn_cancel", u"Button", R(24, 288, 240, 32), kShown, kOn, nullptr, kAny},
};

struct Built {
  PaintManager manager;
  int problems = 0;
};

std::unique_ptr<Built> Build(const char* document, Size client) {
  const std::string text = ReadWholeFile(std::string(NUV_SOURCE_DIR "/resources/skin/") + document);
  std::optional<BuiltSkin> skin = BuildSkin(Utf8ToWide(text), document);
  if (!skin) return nullptr;
  auto built = std::make_unique<Built>();
  built->problems = skin->problems;
  built->manager.AttachRoot(std::move(skin->root), std::move(skin->window));
  built->manager.SetClientSize(client);
  built->manager.LayoutIfNeeded();
  return built;
}

TEST(SkinDocumentsTest, NamedControlsHaveTheirRectanglesAndInitialStates) {
  std::map<std::string, std::unique_ptr<Built>> documents;
  for (const Expected& e : kControls) {
    auto& built = documents[e.document];
    // A large client area: controls outside the window's own size still get their rectangles.
    if (!built) built = Build(e.document, {800, 600});
    ASSERT_TRUE(built) << e.document;
    SCOPED_TRACE(std::string(e.document) + " " + WideToUtf8(e.name));
    Control* c = built->manager.FindControl(e.name);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c->GetInterface(e.kind), nullptr) << "kind " << WideToUtf8(c->GetClass());
    EXPECT_EQ(c->GetPos(), e.rect);
    EXPECT_EQ(c->IsVisible(), e.visible);
    EXPECT_EQ(c->IsEnabled(), e.enabled);
    if (e.text) {
      EXPECT_EQ(WideToUtf8(c->GetText()), WideToUtf8(e.text));
    }
    if (e.font != kAny) {
      EXPECT_EQ(c->GetFont(), e.font);
    }
  }
  for (auto& [name, built] : documents) EXPECT_EQ(built->problems, 0) << name;
}

TEST(SkinDocumentsTest, WindowValuesAndSpecialStates) {
  auto main = Build("skin.xml", {600, 400});
  ASSERT_TRUE(main);
  const WindowSkin& w = main->manager.Skin();
  EXPECT_EQ(w.size, (Size{600, 400}));
  EXPECT_EQ(w.caption, (Rect{0, 0, 0, 0}));
  EXPECT_EQ(w.bkColor, 0xFF00FFFFu);
  EXPECT_TRUE(w.shadow.enabled);
  EXPECT_EQ(w.shadow.darkness, 25);
  EXPECT_EQ(w.shadow.size, 6);
  EXPECT_EQ(w.shadow.offset, (Point{0, 2}));
  // Font table: sizes and styles by number.
  const struct {
    int id, size;
    bool bold, underline;
  } fonts[] = {{1, 12, false, false},  {2, 12, false, false}, {3, 10, false, false},
               {4, 14, false, false},  {5, 18, true, false},  {6, 15, true, false},
               {7, 12, false, true},   {8, 18, false, false}, {9, 14, false, true},
               {10, 12, false, false}, {11, 12, false, true}};
  for (const auto& f : fonts) {
    ASSERT_TRUE(w.fonts.Has(f.id)) << f.id;
    EXPECT_EQ(w.fonts.Get(f.id).size, f.size) << f.id;
    EXPECT_EQ(w.fonts.Get(f.id).bold, f.bold) << f.id;
    EXPECT_EQ(w.fonts.Get(f.id).underline, f.underline) << f.id;
    EXPECT_EQ(WideToUtf8(w.fonts.Get(f.id).face), "思源黑体");
  }
  EXPECT_EQ(w.fonts.DefaultId(), 1);

  auto* agree = main->manager.Find<CheckBox>(u"cbx_agree");
  auto* ext = main->manager.Find<CheckBox>(u"cbx_ext_install");
  auto* dir = main->manager.Find<Edit>(u"edit_install_dir");
  auto* progress = main->manager.Find<Progress>(u"progress_download");
  ASSERT_TRUE(agree && ext && dir && progress);
  EXPECT_FALSE(agree->IsChecked());
  EXPECT_TRUE(ext->IsChecked());
  EXPECT_TRUE(dir->IsReadOnly());
  EXPECT_EQ(progress->GetValue(), 10);
  EXPECT_EQ(progress->GetMinValue(), 0);
  EXPECT_EQ(progress->GetMaxValue(), 100);
  EXPECT_EQ(main->manager.FindControl(u"edit_contact")->GetInterface(u"Edit") != nullptr, true);
  EXPECT_EQ(WideToUtf8(main->manager.Find<Edit>(u"edit_contact")->GetPlaceholder()),
            "联系方式（邮箱/手机号）");
  EXPECT_EQ(WideToUtf8(main->manager.Find<Edit>(u"edit_remark")->GetPlaceholder()),
            "问题描述（选填）");

  auto mask = Build("mask.xml", {600, 330});
  ASSERT_TRUE(mask);
  EXPECT_TRUE(mask->manager.Skin().layered);
  EXPECT_EQ(mask->manager.Skin().opacity, 255);
  EXPECT_EQ(mask->manager.Skin().size, (Size{600, 330}));
  const struct {
    const char* document;
    Size size;
    const char* face;
  } dialogs[] = {{"messagebox.xml", {248, 248}, "Segoe UI"},
                 {"privacybox.xml", {248, 244}, "Segoe UI"},
                 {"redeembox.xml", {288, 344}, "Segoe UI"}};
  for (const auto& d : dialogs) {
    auto box = Build(d.document, d.size);
    ASSERT_TRUE(box) << d.document;
    EXPECT_EQ(box->manager.Skin().size, d.size) << d.document;
    EXPECT_EQ(WideToUtf8(box->manager.Skin().fonts.Get(1).face), d.face);
    EXPECT_EQ(box->manager.GetRoot()->GetBkColor(), 0xFFFFFFFFu) << d.document;
  }
}

}  // namespace

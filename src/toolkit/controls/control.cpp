#include "toolkit/controls/control.h"

#include "log/simple_log.h"
#include "toolkit/controls/container.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"
#include "xml/utf.h"

namespace SkinUI {

Control::Control() = default;

Control::~Control() {
  if (manager_) manager_->ForgetControl(this);
}

void* Control::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Control") ? this : nullptr;
}

void Control::Attach(PaintManager* manager, Container* parent) {
  manager_ = manager;
  parent_ = parent;
  if (manager_ && font_ >= 0 && !manager_->Skin().fonts.Has(font_))
    NUV_LOG(2, "[WARN] skin control %s: font %d does not exist", WideToUtf8(name_).c_str(), font_);
  OnAttached();
}

void Control::SetFloatPos(const Rect& relative) {
  float_ = true;
  floatPos_ = relative;
  fixedSize_ = {relative.Width(), relative.Height()};
  Invalidate();
  const Point origin = parent_ ? Point{parent_->GetPos().left, parent_->GetPos().top} : Point{};
  SetPos(relative.Offset(origin.x, origin.y));
  Invalidate();
}

void Control::SetFloat(bool isFloat) {
  if (float_ == isFloat) return;
  float_ = isFloat;
  NeedParentUpdate();
}

void Control::SetFixedXY(Point relative) {
  SetFloatPos(Rect::FromXYWH(relative.x, relative.y, floatPos_.Width(), floatPos_.Height()));
}

void Control::SetFixedWidth(int width) {
  if (width < 0) return;
  if (float_) {
    SetFloatPos(Rect::FromXYWH(floatPos_.left, floatPos_.top, width, floatPos_.Height()));
  } else {
    fixedSize_.cx = width;
    NeedParentUpdate();
  }
}

void Control::SetFixedHeight(int height) {
  if (height < 0) return;
  if (float_) {
    SetFloatPos(Rect::FromXYWH(floatPos_.left, floatPos_.top, floatPos_.Width(), height));
  } else {
    fixedSize_.cy = height;
    NeedParentUpdate();
  }
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!visible && manager_) manager_->ReleaseStates(this);
  Invalidate();
  NeedParentUpdate();
}

bool Control::IsShownInWindow() const {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled && manager_) manager_->ReleaseStates(this);
  Invalidate();
}

bool Control::IsFocused() const {
  return manager_ && manager_->GetFocus() == this;
}

void Control::SetFocus() {
  if (manager_) manager_->SetFocus(this);
}

void Control::SetText(std::u16string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Invalidate();
}

void Control::SetFont(int font) {
  font_ = font;
  Invalidate();
}

void Control::SetTextColor(Color color) {
  textColor_ = color;
  hasTextColor_ = true;
  Invalidate();
}

void Control::SetDisabledTextColor(Color color) {
  disabledTextColor_ = color;
  hasDisabledTextColor_ = true;
  Invalidate();
}

void Control::SetTextPadding(const Edges& padding) {
  textPadding_ = padding;
  Invalidate();
}

void Control::SetHAlign(HAlign align) {
  hAlign_ = align;
  Invalidate();
}

void Control::SetVAlign(VAlign align) {
  vAlign_ = align;
  Invalidate();
}

void Control::SetWordBreak(bool wordBreak) {
  wordBreak_ = wordBreak;
  Invalidate();
}

void Control::SetRichText(bool rich) {
  richText_ = rich;
  Invalidate();
}

void Control::SetBkColor(Color color) {
  bkColor_ = color;
  Invalidate();
}

void Control::SetBkImage(std::u16string image) {
  bkImage_ = std::move(image);
  Invalidate();
}

void Control::SetBorderSize(int size) {
  borderSize_ = size < 0 ? 0 : size;
  Invalidate();
}

void Control::SetBorderColor(Color color) {
  borderColor_ = color;
  Invalidate();
}

void Control::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  bool ok = true;
  if (is(u"name")) {
    SetName(std::u16string(value));
  } else if (is(u"pos")) {
    std::optional<Rect> r = ParseRect(value);
    ok = r.has_value();
    if (ok && float_) {
      SetFloatPos(*r);
    } else if (ok) {
      // Laid-out controls take the size; the corner comes from the layout.
      floatPos_ = *r;
      fixedSize_ = {r->Width(), r->Height()};
      NeedParentUpdate();
    }
  } else if (is(u"float")) {
    std::optional<bool> b = ParseBool(value);
    ok = b.has_value();
    if (ok) {
      float_ = *b;
      if (float_) SetFloatPos(floatPos_);
      NeedParentUpdate();
    }
  } else if (is(u"width") || is(u"height")) {
    std::optional<int> v = ParseInt(value);
    ok = v && *v >= 0;
    if (ok) is(u"width") ? SetFixedWidth(*v) : SetFixedHeight(*v);
  } else if (is(u"visible") || is(u"enabled") || is(u"mouse") || is(u"wordbreak") ||
             is(u"showhtml") || is(u"multiline")) {
    std::optional<bool> b = ParseBool(value);
    ok = b.has_value();
    if (ok) {
      if (is(u"visible")) SetVisible(*b);
      if (is(u"enabled")) SetEnabled(*b);
      if (is(u"mouse")) SetMouseEnabled(*b);
      if (is(u"wordbreak") || is(u"multiline")) SetWordBreak(*b);
      if (is(u"showhtml")) SetRichText(*b);
    }
  } else if (is(u"text")) {
    SetText(std::u16string(value));
  } else if (is(u"tooltip")) {
    SetToolTip(std::u16string(value));
  } else if (is(u"userdata")) {
    SetUserData(std::u16string(value));
  } else if (is(u"font")) {
    std::optional<int> f = ParseInt(value);
    ok = f.has_value();
    if (ok && manager_ && *f >= 0 && !manager_->Skin().fonts.Has(*f)) {
      NUV_LOG(2, "[WARN] skin control %s: font %d does not exist", WideToUtf8(name_).c_str(), *f);
    }
    if (ok) SetFont(*f);
  } else if (is(u"textcolor") || is(u"disabledtextcolor") || is(u"bkcolor") || is(u"bordercolor")) {
    std::optional<Color> c = ParseColor(value);
    ok = c.has_value();
    if (ok) {
      if (is(u"textcolor")) SetTextColor(*c);
      if (is(u"disabledtextcolor")) SetDisabledTextColor(*c);
      if (is(u"bkcolor")) SetBkColor(*c);
      if (is(u"bordercolor")) SetBorderColor(*c);
    }
  } else if (is(u"textpadding")) {
    std::optional<Edges> e = ParseEdges(value);
    ok = e.has_value();
    if (ok) SetTextPadding(*e);
  } else if (is(u"bordersize")) {
    std::optional<int> v = ParseInt(value);
    ok = v && *v >= 0;
    if (ok) SetBorderSize(*v);
  } else if (is(u"bkimage")) {
    SetBkImage(std::u16string(value));
  } else if (is(u"align")) {
    if (EqualsNoCase(value, u"left"))
      SetHAlign(HAlign::Left);
    else if (EqualsNoCase(value, u"center"))
      SetHAlign(HAlign::Center);
    else if (EqualsNoCase(value, u"right"))
      SetHAlign(HAlign::Right);
    else if (EqualsNoCase(value, u"top"))
      SetVAlign(VAlign::Top);
    else if (EqualsNoCase(value, u"bottom"))
      SetVAlign(VAlign::Bottom);
    else
      ok = false;
  } else if (is(u"valign")) {
    if (EqualsNoCase(value, u"top"))
      SetVAlign(VAlign::Top);
    else if (EqualsNoCase(value, u"center") || EqualsNoCase(value, u"vcenter"))
      SetVAlign(VAlign::Center);
    else if (EqualsNoCase(value, u"bottom"))
      SetVAlign(VAlign::Bottom);
    else
      ok = false;
  } else if (is(u"endellipsis")) {
    ok = ParseBool(value).has_value();  // texts are clipped at the control's edge
  } else {
    ReportAttribute(name, value, false);
    return;
  }
  if (!ok) ReportAttribute(name, value, true);
}

void Control::ReportAttribute(std::u16string_view name, std::u16string_view value,
                              bool known) const {
  NUV_LOG(2, "[WARN] skin control %s: %s %s=\"%s\" ignored", WideToUtf8(name_).c_str(),
          known ? "malformed" : "unknown attribute", WideToUtf8(name).c_str(),
          WideToUtf8(value).c_str());
}

void Control::Invalidate() {
  if (manager_ && !pos_.IsEmpty()) manager_->Invalidate(pos_);
}

void Control::NeedParentUpdate() {
  if (manager_) manager_->NeedUpdate();
}

void Control::SetPos(const Rect& absolute) {
  if (pos_ == absolute) return;
  Invalidate();
  pos_ = absolute;
  Invalidate();
}

Size Control::EstimateSize(Size available) {
  return {fixedSize_.cx ? fixedSize_.cx : available.cx,
          fixedSize_.cy ? fixedSize_.cy : available.cy};
}

void Control::Paint(Painter& painter) {
  if (pos_.Intersect(painter.Clip()).IsEmpty()) return;
  PaintBkColor(painter);
  PaintBkImage(painter);
  PaintStatusImage(painter);
  PaintText(painter);
  PaintBorder(painter);
}

void Control::DoEvent(UiEvent&) {}

void Control::PaintBkColor(Painter& painter) {
  painter.FillRect(pos_, bkColor_);
}

void Control::PaintBkImage(Painter& painter) {
  if (!bkImage_.empty()) painter.DrawImage(pos_, bkImage_);
}

void Control::PaintText(Painter&) {}

void Control::PaintBorder(Painter& painter) {
  painter.DrawBorder(pos_, borderSize_, borderColor_);
}

Color Control::EffectiveTextColor() const {
  if (!enabled_ && hasDisabledTextColor_) return disabledTextColor_;
  if (hasTextColor_) return textColor_;
  if (!manager_) return 0xFF000000;
  return enabled_ ? manager_->Skin().defaultTextColor : manager_->Skin().disabledTextColor;
}

TextStyle Control::BaseTextStyle() const {
  TextStyle style;
  style.font = font_;
  style.color = EffectiveTextColor();
  if (manager_) style.linkColor = manager_->Skin().linkTextColor;
  style.hAlign = hAlign_;
  style.vAlign = vAlign_;
  style.wordBreak = wordBreak_;
  style.rich = richText_;
  return style;
}

Rect Control::TextRect() const {
  return {pos_.left + textPadding_.left, pos_.top + textPadding_.top,
          pos_.right - textPadding_.right, pos_.bottom - textPadding_.bottom};
}

void Control::Notify(const char* type, uint64_t wParam, int64_t lParam) {
  if (manager_) manager_->SendNotify(this, type, wParam, lParam);
}

}  // namespace SkinUI

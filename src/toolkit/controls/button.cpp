#include "toolkit/controls/button.h"

#include "toolkit/messages.h"
#include "toolkit/paint/notification.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

namespace {

// Keyboard focus shows as a thin ring in the accent colour.
constexpr Color kFocusRing = 0xFF1398F0;

}  // namespace

Button::Button() {
  mouseEnabled_ = true;
  hAlign_ = HAlign::Center;
}

void* Button::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Button") ? this : Label::GetInterface(name);
}

void Button::SetNormalImage(std::u16string image) {
  normalImage_ = std::move(image);
  Invalidate();
}
void Button::SetHotImage(std::u16string image) {
  hotImage_ = std::move(image);
  Invalidate();
}
void Button::SetPushedImage(std::u16string image) {
  pushedImage_ = std::move(image);
  Invalidate();
}
void Button::SetDisabledImage(std::u16string image) {
  disabledImage_ = std::move(image);
  Invalidate();
}
void Button::SetHotTextColor(Color color) {
  hotTextColor_ = color;
  Invalidate();
}
void Button::SetPushedTextColor(Color color) {
  pushedTextColor_ = color;
  Invalidate();
}

void Button::Activate() {
  if (!IsEnabled() || !IsShownInWindow()) return;
  // Last: the window's handler may change or delete this control.
  Notify(kNotifyClick);
}

void Button::SetEnabled(bool enabled) {
  if (!enabled) {
    hot_ = false;
    pushed_ = false;
    captured_ = false;
  }
  Label::SetEnabled(enabled);
}

void Button::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"normalimage")) return SetNormalImage(std::u16string(value));
  if (is(u"hotimage")) return SetHotImage(std::u16string(value));
  if (is(u"pushedimage")) return SetPushedImage(std::u16string(value));
  if (is(u"disabledimage")) return SetDisabledImage(std::u16string(value));
  if (is(u"focusedimage")) {
    focusedImage_ = std::u16string(value);
    return Invalidate();
  }
  if (is(u"hottextcolor") || is(u"pushedtextcolor")) {
    std::optional<Color> c = ParseColor(value);
    if (!c) return ReportAttribute(name, value, true);
    return is(u"hottextcolor") ? SetHotTextColor(*c) : SetPushedTextColor(*c);
  }
  Label::SetAttribute(name, value);
}

void Button::DoEvent(UiEvent& event) {
  if (!IsEnabled()) return;
  switch (event.type) {
    case UiEventType::MouseEnter:
      hot_ = true;
      Invalidate();
      break;
    case UiEventType::MouseLeave:
      hot_ = false;
      Invalidate();
      break;
    case UiEventType::MouseMove:
      if (captured_) {
        const bool inside = pos_.Contains(event.point);
        if (inside != pushed_) {
          pushed_ = inside;
          Invalidate();
        }
      }
      break;
    case UiEventType::ButtonDown:
      captured_ = true;
      pushed_ = true;
      Invalidate();
      break;
    case UiEventType::ButtonUp: {
      const bool click = captured_ && pos_.Contains(event.point);
      captured_ = false;
      pushed_ = false;
      Invalidate();
      if (click) Activate();
      break;
    }
    case UiEventType::KeyDown:
      if (event.key == kVkSpace || event.key == kVkReturn) {
        event.handled = true;
        Activate();
      }
      break;
    default:
      break;
  }
}

const std::u16string& Button::StateImage() const {
  if (!IsEnabled() && !disabledImage_.empty()) return disabledImage_;
  if (pushed_ && !pushedImage_.empty()) return pushedImage_;
  if ((hot_ || pushed_) && !hotImage_.empty()) return hotImage_;
  if (IsFocused() && !focusedImage_.empty()) return focusedImage_;
  return normalImage_;
}

void Button::PaintStatusImage(Painter& painter) {
  const std::u16string& image = StateImage();
  if (!image.empty()) painter.DrawImage(pos_, image);
  if (IsFocused() && manager_ && manager_->IsFocusVisible()) {
    painter.DrawBorder(pos_, 1, kFocusRing);
  }
}

void Button::PaintText(Painter& painter) {
  if (text_.empty()) return;
  TextStyle style = BaseTextStyle();
  if (IsEnabled() && pushed_ && pushedTextColor_)
    style.color = pushedTextColor_;
  else if (IsEnabled() && hot_ && hotTextColor_)
    style.color = hotTextColor_;
  painter.DrawText(TextRect(), text_, style);
}

}  // namespace SkinUI

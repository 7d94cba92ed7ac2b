#include "toolkit/controls/progress.h"

#include <algorithm>

#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

Progress::Progress() = default;

void* Progress::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Progress") ? this : Label::GetInterface(name);
}

void Progress::SetMinValue(int value) {
  min_ = value;
  if (max_ < min_) max_ = min_;
  SetValue(value_);
  Invalidate();
}

void Progress::SetMaxValue(int value) {
  max_ = std::max(value, min_);
  SetValue(value_);
  Invalidate();
}

void Progress::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Invalidate();
}

void Progress::SetForeImage(std::u16string image) {
  foreImage_ = std::move(image);
  Invalidate();
}

void Progress::SetHorizontal(bool horizontal) {
  horizontal_ = horizontal;
  Invalidate();
}

void Progress::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"foreimage")) return SetForeImage(std::u16string(value));
  if (is(u"hor")) {
    std::optional<bool> b = ParseBool(value);
    if (!b) return ReportAttribute(name, value, true);
    return SetHorizontal(*b);
  }
  if (is(u"min") || is(u"max") || is(u"value")) {
    std::optional<int> v = ParseInt(value);
    if (!v) return ReportAttribute(name, value, true);
    if (is(u"min")) SetMinValue(*v);
    if (is(u"max")) SetMaxValue(*v);
    if (is(u"value")) SetValue(*v);
    return;
  }
  Label::SetAttribute(name, value);
}

void Progress::PaintStatusImage(Painter& painter) {
  if (foreImage_.empty() || max_ <= min_ || value_ <= min_) return;
  const double done = static_cast<double>(value_ - min_) / (max_ - min_);
  Rect filled = pos_;
  if (horizontal_) {
    filled.right = pos_.left + static_cast<int>(pos_.Width() * done + 0.5);
  } else {
    filled.top = pos_.bottom - static_cast<int>(pos_.Height() * done + 0.5);
  }
  if (!filled.IsEmpty()) painter.DrawImage(filled, foreImage_);
}

}  // namespace SkinUI

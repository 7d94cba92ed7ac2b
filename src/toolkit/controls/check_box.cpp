#include "toolkit/controls/check_box.h"

#include "toolkit/paint/notification.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

void* CheckBox::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"CheckBox") || EqualsNoCase(name, u"Option")
             ? this
             : Button::GetInterface(name);
}

void CheckBox::SetCheck(bool checked, bool notify) {
  if (checked_ == checked) return;
  checked_ = checked;
  Invalidate();
  if (notify) Notify(kNotifySelectChanged, checked ? 1 : 0);
}

void CheckBox::SetSelectedImage(std::u16string image) {
  selectedImage_ = std::move(image);
  Invalidate();
}

void CheckBox::SetSelectedHotImage(std::u16string image) {
  selectedHotImage_ = std::move(image);
  Invalidate();
}

void CheckBox::Activate() {
  if (!IsEnabled() || !IsShownInWindow()) return;
  checked_ = !checked_;
  Invalidate();
  // The handlers see the new state ("click" handlers must not delete the check box).
  const bool checked = checked_;
  Notify(kNotifyClick);
  Notify(kNotifySelectChanged, checked ? 1 : 0);
}

void CheckBox::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (EqualsNoCase(name, u"selectedimage")) return SetSelectedImage(std::u16string(value));
  if (EqualsNoCase(name, u"selectedhotimage")) return SetSelectedHotImage(std::u16string(value));
  if (EqualsNoCase(name, u"selected") || EqualsNoCase(name, u"checked")) {
    std::optional<bool> b = ParseBool(value);
    if (!b) return ReportAttribute(name, value, true);
    return SetCheck(*b);
  }
  if (EqualsNoCase(name, u"group")) return;  // radio groups are not used by our skins
  Button::SetAttribute(name, value);
}

const std::u16string& CheckBox::StateImage() const {
  if (checked_ && IsEnabled()) {
    if ((hot_ || pushed_) && !selectedHotImage_.empty()) return selectedHotImage_;
    if (!selectedImage_.empty()) return selectedImage_;
  }
  return Button::StateImage();
}

}  // namespace SkinUI

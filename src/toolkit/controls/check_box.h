// CheckBox: a button with a selected state ("selected") and two more images for it
// ("selectedimage", "selectedhotimage"). A click toggles it and sends "selectchanged" after
// "click".
#pragma once

#include "toolkit/controls/button.h"

namespace SkinUI {

class CheckBox : public Button {
 public:
  std::u16string_view GetClass() const override { return u"CheckBox"; }
  void* GetInterface(std::u16string_view name) override;

  bool IsChecked() const { return checked_; }
  // Changes the state; with notify, sends "selectchanged" when it changed.
  void SetCheck(bool checked, bool notify = false);

  void SetSelectedImage(std::u16string image);
  void SetSelectedHotImage(std::u16string image);

  void Activate() override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 protected:
  const std::u16string& StateImage() const override;

  bool checked_ = false;
  std::u16string selectedImage_;
  std::u16string selectedHotImage_;
};

}  // namespace SkinUI

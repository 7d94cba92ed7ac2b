// Button: a label that is pressed. One image per state (attributes "normalimage", "hotimage",
// "pushedimage", "disabledimage", "focusedimage") and optional per-state text colours. A click
// (press and release inside, or Space / Enter while focused) sends "click".
#pragma once

#include "toolkit/controls/label.h"

namespace SkinUI {

class Button : public Label {
 public:
  Button();
  std::u16string_view GetClass() const override { return u"Button"; }
  void* GetInterface(std::u16string_view name) override;
  bool IsFocusable() const override { return true; }

  void SetNormalImage(std::u16string image);
  void SetHotImage(std::u16string image);
  void SetPushedImage(std::u16string image);
  void SetDisabledImage(std::u16string image);
  void SetHotTextColor(Color color);
  void SetPushedTextColor(Color color);

  bool IsHot() const { return hot_; }
  bool IsPushed() const { return pushed_; }

  // Sends "click" as a press would (when enabled and shown).
  virtual void Activate();

  void SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void DoEvent(UiEvent& event) override;
  void SetEnabled(bool enabled) override;

 protected:
  void PaintStatusImage(Painter& painter) override;
  void PaintText(Painter& painter) override;
  // The image of the current state, falling back to the normal image.
  virtual const std::u16string& StateImage() const;

  std::u16string normalImage_;
  std::u16string hotImage_;
  std::u16string pushedImage_;
  std::u16string disabledImage_;
  std::u16string focusedImage_;
  Color hotTextColor_ = 0;
  Color pushedTextColor_ = 0;
  bool hot_ = false;
  bool pushed_ = false;    // the left button went down on it and is still down
  bool captured_ = false;  // the press started here
};

}  // namespace SkinUI

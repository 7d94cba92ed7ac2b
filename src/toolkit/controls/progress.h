// Progress: a bar from min to max (attributes "min", "max", "value", "foreimage", "hor"). The
// background is the common background image; the fore image covers the done part.
#pragma once

#include "toolkit/controls/label.h"

namespace SkinUI {

class Progress : public Label {
 public:
  Progress();
  std::u16string_view GetClass() const override { return u"Progress"; }
  void* GetInterface(std::u16string_view name) override;

  int GetMinValue() const { return min_; }
  int GetMaxValue() const { return max_; }
  void SetMinValue(int value);
  void SetMaxValue(int value);
  int GetValue() const { return value_; }
  // Clamped to [min, max]; repaints only when the value changed.
  void SetValue(int value);
  void SetForeImage(std::u16string image);
  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool horizontal);

  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 protected:
  void PaintStatusImage(Painter& painter) override;

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  std::u16string foreImage_;
};

}  // namespace SkinUI

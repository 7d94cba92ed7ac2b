// Label: text (plain or rich) over the common background. Takes no mouse input by default, so
// a press on a label reaches the layout beneath it.
#pragma once

#include "toolkit/controls/control.h"

namespace SkinUI {

class Label : public Control {
 public:
  Label();
  std::u16string_view GetClass() const override { return u"Label"; }
  void* GetInterface(std::u16string_view name) override;

 protected:
  void PaintText(Painter& painter) override;
};

}  // namespace SkinUI

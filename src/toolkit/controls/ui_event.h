// The input and state events the paint manager delivers to one control.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/geometry.h"

namespace SkinUI {

enum class UiEventType {
  MouseEnter,
  MouseLeave,
  MouseMove,
  ButtonDown,  // left button; clicks = 2 for the second press of a double click
  ButtonUp,
  SetFocus,
  KillFocus,
  KeyDown,  // key = virtual key code, modifiers = kMod* bits
  Text,     // committed text (typing, input method, paste), in `text`
  Scroll,   // wheel: delta > 0 is up
};

struct UiEvent {
  UiEventType type = UiEventType::MouseMove;
  Point point;  // window client coordinates
  uint32_t key = 0;
  int64_t modifiers = 0;
  int clicks = 1;
  int delta = 0;
  std::u16string text;
  bool handled = false;  // set by a control that used a key
};

}  // namespace SkinUI

// A notification from a control to its window, by name: "click", "selectchanged",
// "itemselect", "setfocus", "killfocus", "textchanged", "timer", "windowinit".
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/geometry.h"

namespace SkinUI {

class Control;

inline constexpr const char* kNotifyClick = "click";
inline constexpr const char* kNotifySelectChanged = "selectchanged";
inline constexpr const char* kNotifyItemSelect = "itemselect";
inline constexpr const char* kNotifySetFocus = "setfocus";
inline constexpr const char* kNotifyKillFocus = "killfocus";
inline constexpr const char* kNotifyTextChanged = "textchanged";
inline constexpr const char* kNotifyTimer = "timer";
inline constexpr const char* kNotifyWindowInit = "windowinit";

struct Notification {
  std::string type;
  Control* sender = nullptr;  // nullptr for "windowinit"
  uint64_t wParam = 0;        // "timer": the timer id; "itemselect": the new index
  int64_t lParam = 0;         // "itemselect": the previous index
  Point point;                // where the mouse was, for mouse-made notifications
};

class NotifySink {
 public:
  virtual ~NotifySink() = default;
  virtual void Notify(Notification& notification) = 0;
};

}  // namespace SkinUI

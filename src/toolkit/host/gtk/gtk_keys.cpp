#include "toolkit/host/gtk/gtk_keys.h"

#include <gdk/gdkkeysyms.h>

#include "toolkit/messages.h"

namespace SkinUI {

uint32_t VirtualKeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Escape:
      return kVkEscape;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return kVkReturn;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return kVkTab;
    case GDK_KEY_BackSpace:
      return kVkBack;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      return kVkDelete;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
      return kVkHome;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
      return kVkEnd;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return kVkLeft;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return kVkRight;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return kVkUp;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return kVkDown;
    case GDK_KEY_space:
      return kVkSpace;
    case GDK_KEY_F4:
      return kVkF4;
    default:
      break;
  }
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
  return 0;
}

int64_t ModifiersOf(guint state) {
  int64_t mods = 0;
  if (state & GDK_SHIFT_MASK) mods |= kModShift;
  if (state & GDK_CONTROL_MASK) mods |= kModControl;
  if (state & GDK_MOD1_MASK) mods |= kModAlt;
  return mods;
}

}  // namespace SkinUI

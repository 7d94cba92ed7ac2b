// GDK key values and modifier states as the toolkit's virtual keys and kMod* bits.
#pragma once

#include <gdk/gdk.h>

#include <cstdint>

namespace SkinUI {

// 0 for a key without a virtual key of ours.
uint32_t VirtualKeyOf(guint keyval);
int64_t ModifiersOf(guint state);

}  // namespace SkinUI

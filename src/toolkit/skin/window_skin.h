// The window-level attributes of a skin document (its <Window> element).
#pragma once

#include "toolkit/geometry.h"
#include "toolkit/skin/font_table.h"

namespace SkinUI {

struct ShadowSpec {
  bool enabled = false;
  Color color = 0xFF000000;
  int darkness = 25;  // 0..255, the shadow's strongest alpha
  Point offset;
  int size = 0;
  bool sharpCorners = true;
};

struct WindowSkin {
  Size size;     // "size": the window's client size (0 = keep the created size)
  Rect caption;  // "caption": l,t,r,b; the top strip that drags the window (b <= 0: none)
  Size minSize;
  Size maxSize;
  Color bkColor = 0;     // "bkcolor": drawn under everything; alpha is honoured
  bool layered = false;  // "layered" / "bktrans": the window has transparent parts
  int opacity = 255;     // "alpha" / "opacity": whole-window opacity for layered windows
  ShadowSpec shadow;
  FontTable fonts;
  Color defaultTextColor = 0xFF000000;
  Color disabledTextColor = 0xFFA7A6AA;
  Color linkTextColor = 0xFF0078D7;
};

}  // namespace SkinUI

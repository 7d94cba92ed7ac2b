// How a text is drawn: font number, colour, alignment, wrapping, markup.
#pragma once

#include "toolkit/geometry.h"

namespace SkinUI {

// Horizontal and vertical placement of a control's text (attribute "align" / "valign").
enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

struct TextStyle {
  int font = -1;
  Color color = 0xFF000000;
  Color linkColor = 0xFF0078D7;
  HAlign hAlign = HAlign::Left;
  VAlign vAlign = VAlign::Center;
  bool wordBreak = false;
  bool rich = false;
};

}  // namespace SkinUI

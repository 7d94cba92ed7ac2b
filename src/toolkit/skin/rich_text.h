// The inline markup of rich texts: {f n} font n, {c #rrggbb} colour, {u} underline, {l} link,
// each closed by {/f}, {/c}, {/u}, {/l}; {n} is a line break. Braces that do not open a known
// tag are text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/geometry.h"

namespace SkinUI {

// One stretch of the plain text with its look; UTF-16 offsets [start, end).
struct RichSpan {
  size_t start = 0;
  size_t end = 0;
  std::optional<int> font;
  std::optional<Color> color;
  bool underline = false;
  bool link = false;
};

struct RichText {
  std::u16string text;          // the markup removed
  std::vector<RichSpan> spans;  // in order, covering only marked-up stretches
};

// An unclosed tag runs to the end; a stray closing tag is dropped.
RichText ParseRichText(std::u16string_view markup);

}  // namespace SkinUI

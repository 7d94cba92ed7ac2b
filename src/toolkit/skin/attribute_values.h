// Parsers of the value notations of skin attributes. Each returns nothing for a malformed value
// so that the caller can log it and keep what it had.
#pragma once

#include <optional>
#include <string_view>

#include "toolkit/geometry.h"

namespace SkinUI {

// "#AARRGGBB" (alpha first), "#RRGGBB" (opaque) or "0xAARRGGBB".
std::optional<Color> ParseColor(std::u16string_view text);
// "l,t,r,b" (blanks around the numbers allowed; negative numbers too).
std::optional<Rect> ParseRect(std::u16string_view text);
std::optional<Edges> ParseEdges(std::u16string_view text);
// "x,y" and "cx,cy".
std::optional<Point> ParsePoint(std::u16string_view text);
std::optional<Size> ParseSize(std::u16string_view text);
std::optional<int> ParseInt(std::u16string_view text);
// "true" / "false" (any case), "1" / "0".
std::optional<bool> ParseBool(std::u16string_view text);
// ASCII case-insensitive equality, for attribute and kind names.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace SkinUI

// The image notation of skin attributes: "file='x.png' corner='l,t,r,b' dest='l,t,r,b'",
// "res='136' restype='PNG'", or a bare file name. Drawn as a nine-patch: `corner` are the borders
// (logical pixels) that are not stretched, `dest` the part of the control the image covers; an
// image without keys is stretched to the whole control.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "toolkit/geometry.h"

namespace SkinUI {

struct ImageSpec {
  std::u16string file;  // name in the skin archive
  int resourceId = 0;   // res='N': an image of the program's resources
  std::u16string resourceType;
  Edges corner;
  std::optional<Rect> dest;    // l,t,r,b relative to the control's top-left
  std::optional<Rect> source;  // part of the image to draw, in image pixels at scale 1
  int fade = 255;
  bool IsResource() const { return resourceId != 0; }
};

// Nothing for a malformed notation (unterminated quote, bad numbers, neither file nor res).
std::optional<ImageSpec> ParseImageSpec(std::u16string_view text);

}  // namespace SkinUI

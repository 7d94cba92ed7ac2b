// Painter: what a control draws with during one paint of its window: a cairo context in logical
// pixels, the window's fonts and images, and a clip stack.
#pragma once

#include <string_view>
#include <vector>

#include "toolkit/geometry.h"
#include "toolkit/render/text_renderer.h"

typedef struct _cairo cairo_t;

namespace SkinUI {

class PaintManager;
struct ImageSpec;
struct SkinImage;

class Painter {
 public:
  Painter(cairo_t* cr, PaintManager& manager, const Rect& clip);
  ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  cairo_t* Cairo() const { return cr_; }
  PaintManager& Manager() const { return manager_; }
  const Rect& Clip() const { return clips_.back(); }

  // Narrows the clip to rect (intersected with the current one) until PopClip.
  void PushClip(const Rect& rect);
  void PopClip();

  // Colours keep their alpha here (backgrounds may be translucent).
  void FillRect(const Rect& rect, Color color);
  // A frame of `size` pixels drawn inside rect.
  void DrawBorder(const Rect& rect, int size, Color color);
  // An image in the skins' notation over a control's rectangle; false when nothing was drawn.
  bool DrawImage(const Rect& control, std::u16string_view notation);
  void DrawText(const Rect& rect, std::u16string_view text, const TextStyle& style);

 private:
  cairo_t* cr_;
  PaintManager& manager_;
  std::vector<Rect> clips_;
};

// Draws `image` as a nine-patch: `corner` (logical pixels) is kept unscaled, the middle parts
// stretch; the picture covers spec.dest inside `control`, or all of it.
void DrawNinePatch(cairo_t* cr, const SkinImage& image, const ImageSpec& spec, const Rect& control);

}  // namespace SkinUI

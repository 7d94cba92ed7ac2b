#include "toolkit/render/painter.h"

#include <cairo.h>

#include <algorithm>

#include "toolkit/archive/image_cache.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/skin/image_spec.h"

namespace SkinUI {

namespace {

void SetSource(cairo_t* cr, Color color) {
  cairo_set_source_rgba(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                        (color & 0xFF) / 255.0, ((color >> 24) & 0xFF) / 255.0);
}

void ClipTo(cairo_t* cr, const Rect& r) {
  cairo_reset_clip(cr);
  cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
  cairo_clip(cr);
}

// One piece of a nine-patch: source rectangle (device pixels of the picture) onto a destination
// rectangle (logical pixels).
void DrawPiece(cairo_t* cr, cairo_surface_t* surface, double sx, double sy, double sw, double sh,
               double dx, double dy, double dw, double dh, double alpha) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, dx, dy, dw, dh);
  cairo_clip(cr);
  cairo_surface_t* piece = cairo_surface_create_for_rectangle(surface, sx, sy, sw, sh);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(piece);
  // Stretched pieces sample only their own pixels: no seams from the neighbours.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  const bool exact = sw == dw && sh == dh;
  cairo_pattern_set_filter(pattern, exact ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
  cairo_matrix_t matrix;
  cairo_matrix_init_scale(&matrix, sw / dw, sh / dh);
  cairo_matrix_translate(&matrix, -dx, -dy);
  cairo_pattern_set_matrix(pattern, &matrix);
  cairo_set_source(cr, pattern);
  if (alpha < 1.0)
    cairo_paint_with_alpha(cr, alpha);
  else
    cairo_paint(cr);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(piece);
  cairo_restore(cr);
}

}  // namespace

Painter::Painter(cairo_t* cr, PaintManager& manager, const Rect& clip)
    : cr_(cr), manager_(manager) {
  clips_.push_back(clip);
  cairo_save(cr_);
  ClipTo(cr_, clip);
}

Painter::~Painter() {
  cairo_restore(cr_);
}

void Painter::PushClip(const Rect& rect) {
  clips_.push_back(rect.Intersect(clips_.back()));
  ClipTo(cr_, clips_.back());
}

void Painter::PopClip() {
  if (clips_.size() > 1) clips_.pop_back();
  ClipTo(cr_, clips_.back());
}

void Painter::FillRect(const Rect& rect, Color color) {
  if ((color >> 24) == 0 || rect.IsEmpty()) return;
  SetSource(cr_, color);
  cairo_rectangle(cr_, rect.left, rect.top, rect.Width(), rect.Height());
  cairo_fill(cr_);
}

void Painter::DrawBorder(const Rect& rect, int size, Color color) {
  if (size <= 0 || (color >> 24) == 0 || rect.IsEmpty()) return;
  SetSource(cr_, color);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_rectangle(cr_, rect.left, rect.top, rect.Width(), rect.Height());
  cairo_rectangle(cr_, rect.left + size, rect.top + size, rect.Width() - 2 * size,
                  rect.Height() - 2 * size);
  cairo_fill(cr_);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
}

bool Painter::DrawImage(const Rect& control, std::u16string_view notation) {
  if (notation.empty() || control.IsEmpty()) return false;
  ImageCache& images = manager_.Images();
  const ImageSpec* spec = images.Spec(notation);
  if (!spec) return false;
  Rect dest = control;
  if (spec->dest) {
    dest = Rect{control.left + spec->dest->left, control.top + spec->dest->top,
                control.left + spec->dest->right, control.top + spec->dest->bottom};
  }
  if (dest.Intersect(Clip()).IsEmpty()) return true;
  std::shared_ptr<const SkinImage> picture =
      images.Rendered(*spec, {dest.Width(), dest.Height()}, manager_.GetScale());
  if (!picture) return false;
  // A 1:1 copy at whole device pixels: the fast path of the rasteriser.
  cairo_set_source_surface(cr_, picture->surface, dest.left, dest.top);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr_, dest.left, dest.top, dest.Width(), dest.Height());
  cairo_fill(cr_);
  return true;
}

void Painter::DrawText(const Rect& rect, std::u16string_view text, const TextStyle& style) {
  SkinUI::DrawText(cr_, manager_.Skin().fonts, rect, text, style);
}

void DrawNinePatch(cairo_t* cr, const SkinImage& image, const ImageSpec& spec,
                   const Rect& control) {
  Rect dest = control;
  if (spec.dest) {
    dest = Rect{control.left + spec.dest->left, control.top + spec.dest->top,
                control.left + spec.dest->right, control.top + spec.dest->bottom};
  }
  if (dest.IsEmpty()) return;
  const double s = image.scale;
  // Source in device pixels of the picture.
  double sx = 0, sy = 0, sw = image.width, sh = image.height;
  if (spec.source) {
    sx = spec.source->left * s;
    sy = spec.source->top * s;
    sw = std::min<double>(spec.source->Width() * s, image.width - sx);
    sh = std::min<double>(spec.source->Height() * s, image.height - sy);
  }
  const double alpha = spec.fade / 255.0;
  const Edges& c = spec.corner;
  const double dx = dest.left, dy = dest.top, dw = dest.Width(), dh = dest.Height();
  if (c.IsZero()) {
    DrawPiece(cr, image.surface, sx, sy, sw, sh, dx, dy, dw, dh, alpha);
    return;
  }
  // Borders shrink together when the destination is smaller than they are.
  double l = c.left, r = c.right, t = c.top, b = c.bottom;
  if (l + r > dw) {
    const double k = dw / (l + r);
    l *= k;
    r *= k;
  }
  if (t + b > dh) {
    const double k = dh / (t + b);
    t *= k;
    b *= k;
  }
  const double sl = c.left * s, sr = c.right * s, st = c.top * s, sb = c.bottom * s;
  const double srcX[3] = {sx, sx + sl, sx + sw - sr};
  const double srcW[3] = {sl, sw - sl - sr, sr};
  const double srcY[3] = {sy, sy + st, sy + sh - sb};
  const double srcH[3] = {st, sh - st - sb, sb};
  const double dstX[3] = {dx, dx + l, dx + dw - r};
  const double dstW[3] = {l, dw - l - r, r};
  const double dstY[3] = {dy, dy + t, dy + dh - b};
  const double dstH[3] = {t, dh - t - b, b};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      DrawPiece(cr, image.surface, srcX[col], srcY[row], srcW[col], srcH[row], dstX[col], dstY[row],
                dstW[col], dstH[row], alpha);
}

}  // namespace SkinUI

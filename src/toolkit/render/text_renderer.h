// Text with Pango: measuring and drawing plain and rich texts in a window's fonts, and the
// layout of an edit's text (caret positions, hit tests, selection).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/geometry.h"
#include "toolkit/render/text_style.h"
#include "toolkit/skin/font_table.h"

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

namespace SkinUI {

// Pixel size of a text (logical extents, rounded up). wrapWidth > 0 wraps at words.
Size MeasureText(const FontTable& fonts, int font, std::u16string_view text, int wrapWidth,
                 bool rich);

// Draws the text inside rect with the style's alignment, clipped to rect. A text colour's alpha
// is ignored.
void DrawText(cairo_t* cr, const FontTable& fonts, const Rect& rect, std::u16string_view text,
              const TextStyle& style);

// The laid-out text of an edit. Coordinates are relative to the layout's top-left corner.
class TextLayout {
 public:
  // wrapWidth > 0: wrapped multi-line text; 0: one line.
  TextLayout(const FontTable& fonts, int font, std::u16string_view text, int wrapWidth);
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  Size GetSize() const { return size_; }
  int LineHeight() const { return lineHeight_; }
  // The caret's rectangle before UTF-16 index i (1 pixel wide).
  Rect CaretRect(size_t index) const;
  // The UTF-16 index nearest to a point.
  size_t IndexAt(Point point) const;
  // Draws at origin; the UTF-16 range [selStart, selEnd) on a selection background.
  void Draw(cairo_t* cr, Point origin, Color color, size_t selStart, size_t selEnd,
            Color selectionBk, Color selectionText) const;

 private:
  int ByteOf(size_t index) const;
  size_t IndexOfByte(int byte) const;

  PangoLayout* layout_ = nullptr;
  std::vector<int> byteOfUnit_;  // UTF-8 offset of every UTF-16 index (and one past the end)
  Size size_;
  int lineHeight_ = 0;
};

// UTF-8 text and the UTF-8 offset of every UTF-16 index (size + 1 entries).
std::string Utf8WithOffsets(std::u16string_view text, std::vector<int>& byteOfUnit);

}  // namespace SkinUI

#include "toolkit/render/text_renderer.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "toolkit/render/font_config.h"
#include "toolkit/skin/rich_text.h"
#include "xml/utf.h"

namespace SkinUI {

namespace {

// A context for measuring (never bound to a surface) and one for drawing; both under TextLock,
// both released at exit before the font map.
struct SharedContext {
  PangoContext* context = NewTextContext();
  ~SharedContext() { g_object_unref(context); }
};

PangoContext* MeasureContext() {
  static SharedContext shared;
  return shared.context;
}

PangoContext* DrawContext() {
  static SharedContext shared;
  return shared.context;
}

PangoFontDescription* Describe(const FontInfo& font) {
  PangoFontDescription* d = pango_font_description_new();
  const std::string face = WideToUtf8(font.face);
  pango_font_description_set_family(d, face.c_str());
  pango_font_description_set_absolute_size(d, font.size * PANGO_SCALE);
  pango_font_description_set_weight(d, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return d;
}

guint16 Channel(Color color, int shift) {
  return static_cast<guint16>(((color >> shift) & 0xFF) * 257);
}

// Fills the layout with the text: fonts, markup and wrapping. Hold TextLock.
void Prepare(PangoLayout* layout, const FontTable& fonts, int font, std::u16string_view text,
             int wrapWidth, bool rich, Color linkColor) {
  const FontInfo& base = fonts.Get(font);
  PangoFontDescription* desc = Describe(base);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);

  std::vector<int> offsets;
  PangoAttrList* attrs = pango_attr_list_new();
  std::string utf8;
  if (rich) {
    const RichText parsed = ParseRichText(text);
    utf8 = Utf8WithOffsets(parsed.text, offsets);
    for (const RichSpan& span : parsed.spans) {
      const guint start = static_cast<guint>(offsets[span.start]);
      const guint end = static_cast<guint>(offsets[span.end]);
      auto add = [&](PangoAttribute* a) {
        a->start_index = start;
        a->end_index = end;
        pango_attr_list_insert(attrs, a);
      };
      bool underline = span.underline;
      if (span.font) {
        const FontInfo& f = fonts.Get(*span.font);
        PangoFontDescription* d = Describe(f);
        add(pango_attr_font_desc_new(d));
        pango_font_description_free(d);
        underline = underline || f.underline;
      }
      std::optional<Color> color = span.color;
      if (!color && span.link) color = linkColor;
      if (color)
        add(pango_attr_foreground_new(Channel(*color, 16), Channel(*color, 8), Channel(*color, 0)));
      if (underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
  } else {
    utf8 = Utf8WithOffsets(text, offsets);
  }
  if (base.underline) {
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = 0;
    a->end_index = static_cast<guint>(utf8.size());
    pango_attr_list_insert_before(attrs, a);
  }
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  if (wrapWidth > 0) {
    pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else {
    pango_layout_set_width(layout, -1);
  }
}

Size PixelSize(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return {static_cast<int>(std::ceil(static_cast<double>(logical.width) / PANGO_SCALE)),
          static_cast<int>(std::ceil(static_cast<double>(logical.height) / PANGO_SCALE))};
}

void SetSourceOpaque(cairo_t* cr, Color color) {
  cairo_set_source_rgb(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                       (color & 0xFF) / 255.0);
}

}  // namespace

std::string Utf8WithOffsets(std::u16string_view text, std::vector<int>& byteOfUnit) {
  std::string out;
  out.reserve(text.size() * 3);
  byteOfUnit.assign(text.size() + 1, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    byteOfUnit[i] = static_cast<int>(out.size());
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      byteOfUnit[i + 1] = static_cast<int>(out.size());
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = u'?';
    }
    if (c == 0) c = u' ';  // Pango takes no NUL inside a text
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  byteOfUnit[text.size()] = static_cast<int>(out.size());
  return out;
}

Size MeasureText(const FontTable& fonts, int font, std::u16string_view text, int wrapWidth,
                 bool rich) {
  if (text.empty()) return {};
  std::lock_guard<std::mutex> hold(TextLock());
  PangoLayout* layout = pango_layout_new(MeasureContext());
  Prepare(layout, fonts, font, text, wrapWidth, rich, 0);
  const Size size = PixelSize(layout);
  g_object_unref(layout);
  return size;
}

void DrawText(cairo_t* cr, const FontTable& fonts, const Rect& rect, std::u16string_view text,
              const TextStyle& style) {
  if (text.empty() || rect.IsEmpty()) return;
  std::lock_guard<std::mutex> hold(TextLock());
  PangoContext* context = DrawContext();
  pango_cairo_update_context(cr, context);
  PangoLayout* layout = pango_layout_new(context);
  const int wrap = style.wordBreak ? rect.Width() : 0;
  Prepare(layout, fonts, style.font, text, wrap, style.rich, style.linkColor);
  PangoAlignment align = style.hAlign == HAlign::Center  ? PANGO_ALIGN_CENTER
                         : style.hAlign == HAlign::Right ? PANGO_ALIGN_RIGHT
                                                         : PANGO_ALIGN_LEFT;
  pango_layout_set_alignment(layout, align);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  const double width = static_cast<double>(logical.width) / PANGO_SCALE;
  const double height = static_cast<double>(logical.height) / PANGO_SCALE;
  double x = rect.left;
  if (wrap == 0) {
    // One line: align the line itself inside the rectangle.
    if (style.hAlign == HAlign::Center) x += (rect.Width() - width) / 2.0;
    if (style.hAlign == HAlign::Right) x += rect.Width() - width;
    x -= static_cast<double>(logical.x) / PANGO_SCALE;
  }
  double y = rect.top;
  if (style.vAlign == VAlign::Center) y += (rect.Height() - height) / 2.0;
  if (style.vAlign == VAlign::Bottom) y += rect.Height() - height;
  cairo_save(cr);
  cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
  cairo_clip(cr);
  SetSourceOpaque(cr, style.color);
  // Whole pixels vertically keep the baseline crisp.
  cairo_move_to(cr, std::round(x), std::round(y));
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

TextLayout::TextLayout(const FontTable& fonts, int font, std::u16string_view text, int wrapWidth) {
  std::lock_guard<std::mutex> hold(TextLock());
  layout_ = pango_layout_new(MeasureContext());
  Prepare(layout_, fonts, font, text, wrapWidth, false, 0);
  Utf8WithOffsets(text, byteOfUnit_);
  size_ = PixelSize(layout_);
  PangoLayoutIter* iter = pango_layout_get_iter(layout_);
  int top = 0, bottom = 0;
  pango_layout_iter_get_line_yrange(iter, &top, &bottom);
  pango_layout_iter_free(iter);
  lineHeight_ = static_cast<int>(std::ceil(static_cast<double>(bottom - top) / PANGO_SCALE));
  if (lineHeight_ <= 0) lineHeight_ = fonts.Get(font).size + 4;
  if (text.empty()) size_ = {0, lineHeight_};
}

TextLayout::~TextLayout() {
  std::lock_guard<std::mutex> hold(TextLock());
  g_object_unref(layout_);
}

int TextLayout::ByteOf(size_t index) const {
  if (index >= byteOfUnit_.size()) return byteOfUnit_.back();
  return byteOfUnit_[index];
}

size_t TextLayout::IndexOfByte(int byte) const {
  for (size_t i = 0; i < byteOfUnit_.size(); ++i)
    if (byteOfUnit_[i] >= byte) return i;
  return byteOfUnit_.size() - 1;
}

Rect TextLayout::CaretRect(size_t index) const {
  std::lock_guard<std::mutex> hold(TextLock());
  PangoRectangle strong;
  pango_layout_get_cursor_pos(layout_, ByteOf(index), &strong, nullptr);
  const int x = static_cast<int>(std::lround(static_cast<double>(strong.x) / PANGO_SCALE));
  const int y = static_cast<int>(std::lround(static_cast<double>(strong.y) / PANGO_SCALE));
  int h = static_cast<int>(std::lround(static_cast<double>(strong.height) / PANGO_SCALE));
  if (h <= 0) h = lineHeight_;
  return {x, y, x + 1, y + h};
}

size_t TextLayout::IndexAt(Point point) const {
  std::lock_guard<std::mutex> hold(TextLock());
  int byte = 0, trailing = 0;
  pango_layout_xy_to_index(layout_, point.x * PANGO_SCALE, point.y * PANGO_SCALE, &byte, &trailing);
  size_t index = IndexOfByte(byte);
  for (int i = 0; i < trailing && index + 1 < byteOfUnit_.size(); ++i) {
    ++index;
    // Step over the low half of a surrogate pair.
    while (index + 1 < byteOfUnit_.size() && byteOfUnit_[index] == byteOfUnit_[index - 1]) ++index;
  }
  return index;
}

void TextLayout::Draw(cairo_t* cr, Point origin, Color color, size_t selStart, size_t selEnd,
                      Color selectionBk, Color selectionText) const {
  std::lock_guard<std::mutex> hold(TextLock());
  pango_cairo_update_layout(cr, layout_);
  cairo_save(cr);
  cairo_translate(cr, origin.x, origin.y);
  SetSourceOpaque(cr, color);
  cairo_move_to(cr, 0, 0);
  pango_cairo_show_layout(cr, layout_);
  if (selStart < selEnd) {
    // The selection's rectangles line by line, then the text once more inside them.
    const int a = ByteOf(selStart), b = ByteOf(selEnd);
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    do {
      PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
      const int lineStart = line->start_index, lineEnd = line->start_index + line->length;
      const int from = std::max(a, lineStart), to = std::min(b, lineEnd);
      PangoRectangle extents;
      pango_layout_iter_get_line_extents(iter, nullptr, &extents);
      if (from < to || (from == to && b > lineEnd && a <= lineEnd)) {
        int x1 = 0, x2 = 0;
        pango_layout_line_index_to_x(line, from, FALSE, &x1);
        if (to >= lineEnd) {
          x2 = extents.x + extents.width;
        } else {
          pango_layout_line_index_to_x(line, to, FALSE, &x2);
        }
        if (x2 < x1) std::swap(x1, x2);
        cairo_rectangle(cr, static_cast<double>(x1) / PANGO_SCALE,
                        static_cast<double>(extents.y) / PANGO_SCALE,
                        static_cast<double>(x2 - x1) / PANGO_SCALE,
                        static_cast<double>(extents.height) / PANGO_SCALE);
      }
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    cairo_clip(cr);
    SetSourceOpaque(cr, selectionBk);
    cairo_paint(cr);
    SetSourceOpaque(cr, selectionText);
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_layout(cr, layout_);
  }
  cairo_restore(cr);
}

}  // namespace SkinUI

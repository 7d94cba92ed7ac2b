#include "toolkit/skin/rich_text.h"

#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

namespace {

struct State {
  std::vector<int> fonts;
  std::vector<Color> colors;
  int underline = 0;
  int link = 0;
};

}  // namespace

RichText ParseRichText(std::u16string_view markup) {
  RichText out;
  State state;
  size_t spanStart = 0;
  // Closes the stretch written since the last change of state.
  auto flush = [&] {
    if (out.text.size() == spanStart) return;
    RichSpan span;
    span.start = spanStart;
    span.end = out.text.size();
    if (!state.fonts.empty()) span.font = state.fonts.back();
    if (!state.colors.empty()) span.color = state.colors.back();
    span.underline = state.underline > 0;
    span.link = state.link > 0;
    if (span.font || span.color || span.underline || span.link) out.spans.push_back(span);
    spanStart = out.text.size();
  };

  size_t i = 0;
  while (i < markup.size()) {
    if (markup[i] != u'{') {
      out.text.push_back(markup[i++]);
      continue;
    }
    const size_t close = markup.find(u'}', i + 1);
    if (close == std::u16string_view::npos) {
      out.text.append(markup.substr(i));
      break;
    }
    const std::u16string_view tag = markup.substr(i + 1, close - i - 1);
    bool known = true;
    if (tag == u"u" || tag == u"l" || tag == u"/u" || tag == u"/l" || tag == u"/f" ||
        tag == u"/c") {
      flush();
      if (tag == u"u") ++state.underline;
      if (tag == u"l") ++state.link;
      if (tag == u"/u" && state.underline > 0) --state.underline;
      if (tag == u"/l" && state.link > 0) --state.link;
      if (tag == u"/f" && !state.fonts.empty()) state.fonts.pop_back();
      if (tag == u"/c" && !state.colors.empty()) state.colors.pop_back();
    } else if (tag == u"n") {
      out.text.push_back(u'\n');
    } else if (tag.size() > 2 && tag[0] == u'f' && tag[1] == u' ') {
      std::optional<int> font = ParseInt(tag.substr(2));
      known = font.has_value();
      if (known) {
        flush();
        state.fonts.push_back(*font);
      }
    } else if (tag.size() > 2 && tag[0] == u'c' && tag[1] == u' ') {
      std::optional<Color> color = ParseColor(tag.substr(2));
      known = color.has_value();
      if (known) {
        flush();
        state.colors.push_back(*color);
      }
    } else {
      known = false;
    }
    if (!known) {
      out.text.push_back(u'{');
      ++i;
      continue;
    }
    i = close + 1;
  }
  flush();
  return out;
}

}  // namespace SkinUI

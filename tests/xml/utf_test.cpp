#include <gtest/gtest.h>

#include <string>

#include "xml/utf.h"

namespace {

TEST(Utf8ToWide, Decoding) {
  struct Case {
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"plain", u"plain"},
      {"\xC3\xA9\xE4\xB8\xAD", u"\u00E9\u4E2D"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xFF"
       "b\xF8",
       u"a?b?"},  // invalid lead bytes
      {"\xE4"
       "A",
       u"?A"},  // ASCII interrupts: '?' and the byte is kept
      {"\xF0\x9F"
       "<x",
       u"?<x"},
      {"ab\xE4\xB8", u"ab"},  // cut off at the end: dropped
      {"ab\xF0", u"ab"},
      {std::string("a\0b", 3), u"a"},  // NUL ends the text
      {std::string("\xE4\0b", 3), u"?"},
      {"a\xC0\x80"
       "b\xE0\x80\x80"
       "c\xC0\xC0",
       u"a?b?c?"},                          // overlong NULs stay out of the text
      {"\x9F\xBF", u"\u07FF"},              // 0x80-0x9F lead a 2-byte sequence
      {"\xAF\xBF\xBF", u"\uFFFF"},          // 0xA0-0xAF a 3-byte one
      {"\xF7\xBF\xBF\xBF", u"?"},           // beyond U+10FFFF
      {"\xEF\xBB\xBF<a/>", u"\uFEFF<a/>"},  // the byte-order mark is kept
      {"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Utf8ToWide(c.bytes), c.wide);
    EXPECT_EQ(Utf8ToWide(c.bytes.data(), c.bytes.size(), nullptr), c.wide.size());
  }
}

TEST(WideToUtf8, Encoding) {
  struct Case {
    std::u16string wide;
    std::string bytes;
  } cases[] = {
      {u"plain", "plain"},
      {u"\u00E9\u07FF\u0800\uFFFF", "\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {u"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {std::u16string(1, char16_t(0xD83D)), "?"},      // high surrogate at the end
      {std::u16string{char16_t(0xD83D), u'A'}, "?A"},  // not followed by a low one
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D), char16_t(0xDE00)}, "?\xF0\x9F\x98\x80"},
      {std::u16string(u"a\0b", 3), "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(WideToUtf8(c.wide), c.bytes);
    EXPECT_EQ(WideToUtf8(c.wide.data(), c.wide.size(), nullptr), c.bytes.size());
  }
}

}  // namespace

namespace {

TEST(Utf16LeBytes, RoundTripEndsAtNulAndDropsAnOddByte) {
  const std::u16string text = u"A\u00E9\U0001F600";
  const std::string bytes = WideToUtf16LeBytes(text);
  EXPECT_EQ(bytes, std::string("A\0\xE9\0\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(Utf16LeBytesToWide(bytes), text);
  EXPECT_EQ(Utf16LeBytesToWide(bytes + std::string("\0\0x\0", 4)), text);  // message terminator
  EXPECT_EQ(Utf16LeBytesToWide(bytes + "x"), text);
  EXPECT_EQ(Utf16LeBytesToWide(""), u"");
}

}  // namespace

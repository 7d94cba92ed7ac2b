#include "xml/xml_text.h"

#include <cstring>

#include "xml/xml_chars.h"

namespace {

inline bool EndsElementName(char16_t c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case '<':
    case '>':
    case '=':
    case '\\':
    case '/':
    case '?':
    case '!':
      return true;
    default:
      return false;
  }
}

inline char16_t FoldAscii(char16_t c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

inline int DigitValue(char16_t c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16) {
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  }
  return -1;
}

// Length of the reference at p[0] == '&' that lies within [p, end) and its replacement, or 0.
size_t MatchReference(const char16_t* p, const char16_t* end, char16_t out[2], int& units) {
  static constexpr struct {
    const char16_t* name;
    size_t length;
    char16_t value;
  } kNamed[] = {{u"&lt;", 4, u'<'},
                {u"&amp;", 5, u'&'},
                {u"&gt;", 4, u'>'},
                {u"&apos;", 6, u'\''},
                {u"&quot;", 6, u'"'}};
  size_t avail = static_cast<size_t>(end - p);
  if (avail >= 2 && p[1] == '#') {
    int base = 10;
    size_t i = 2;
    if (avail > 2 && p[2] == 'x') {
      base = 16;
      i = 3;
    }
    // The ';' must come within the 7 characters after the '&'.
    size_t limit = avail < 8 ? avail : 8;
    size_t digits = i;
    uint32_t value = 0;
    while (digits < limit && DigitValue(p[digits], base) >= 0) {
      value = value * base + DigitValue(p[digits], base);
      ++digits;
    }
    if (digits == i || digits >= limit || p[digits] != ';' || value == 0) return 0;
    if (value > 0xFFFF) {
      // Decimal references can reach past one unit; a pair keeps the character intact.
      if (value > 0x10FFFF) return 0;
      value -= 0x10000;
      out[0] = static_cast<char16_t>(0xD800 | (value >> 10));
      out[1] = static_cast<char16_t>(0xDC00 | (value & 0x3FF));
      units = 2;
    } else {
      out[0] = static_cast<char16_t>(value);
      units = 1;
    }
    return digits + 1;
  }
  for (const auto& e : kNamed) {
    if (avail >= e.length && std::char_traits<char16_t>::compare(p, e.name, e.length) == 0) {
      out[0] = e.value;
      units = 1;
      return e.length;
    }
  }
  return 0;
}

}  // namespace

std::u16string_view ElementNameAt(const char16_t* lt, const char16_t* end) {
  const char16_t* p = lt + 1;
  while (p < end && IsXmlSpace(*p)) ++p;
  const char16_t* q = p;
  while (q < end && !EndsElementName(*q)) ++q;
  return std::u16string_view(p, static_cast<size_t>(q - p));
}

std::u16string_view LeadingName(std::u16string_view token) {
  size_t i = 0;
  while (i < token.size() && !EndsElementName(token[i])) ++i;
  return token.substr(0, i);
}

bool NameMatches(std::u16string_view name, std::u16string_view requested, bool caseInsensitive) {
  if (requested.size() < name.size()) return false;
  if (caseInsensitive) {
    for (size_t i = 0; i < name.size(); ++i) {
      if (FoldAscii(name[i]) != FoldAscii(requested[i])) return false;
    }
  } else if (std::char_traits<char16_t>::compare(name.data(), requested.data(), name.size()) != 0) {
    return false;
  }
  if (requested.size() == name.size()) return true;
  char16_t next = requested[name.size()];
  return next == ' ' || next == '=' || next == '/' || next == '[' || next == ']';
}

void AppendDecodedEntities(const char16_t* p, size_t n, std::u16string& out) {
  const char16_t* end = p + n;
  out.reserve(out.size() + n);  // decoding never lengthens the text
  for (;;) {
    const char16_t* amp = FindXmlChar(p, end, '&');
    out.append(p, static_cast<size_t>(amp - p));
    if (amp == end) return;
    char16_t repl[2];
    int units = 0;
    size_t len = MatchReference(amp, end, repl, units);
    if (len == 0) {
      out.push_back('&');
      p = amp + 1;
    } else {
      out.append(repl, static_cast<size_t>(units));
      p = amp + len;
    }
  }
}

std::u16string DecodeEntities(std::u16string_view text) {
  std::u16string out;
  AppendDecodedEntities(text.data(), text.size(), out);
  return out;
}

std::u16string EncodeEntities(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case '<':
        out.append(u"&lt;");
        break;
      case '&':
        out.append(u"&amp;");
        break;
      case '>':
        out.append(u"&gt;");
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

#include "xml/utf.h"

namespace {

// Returns the number of continuation bytes announced by a lead byte (0 for ASCII, -1 if invalid)
// and its payload bits. The 0x80-0xB7 ranges are accepted as lead bytes on purpose: documents
// written by older tools carry such bytes and must still read without losing structure.
inline int LeadLength(unsigned char b, unsigned& bits) {
  if (b < 0x80) {
    bits = b;
    return 0;
  }
  if ((b & 0xE0) == 0xC0 || b <= 0x9F) {
    bits = b & 0x1F;
    return 1;
  }
  if ((b & 0xF0) == 0xE0 || b <= 0xAF) {
    bits = b & 0x0F;
    return 2;
  }
  if ((b & 0xF8) == 0xF0 || b <= 0xB7) {
    bits = b & 0x07;
    return 3;
  }
  return -1;
}

template <bool kWrite>
size_t DecodeUtf8(const unsigned char* p, size_t count, char16_t* out) {
  size_t units = 0;
  size_t i = 0;
  auto put = [&](char16_t u) {
    if constexpr (kWrite) out[units] = u;
    ++units;
  };
  while (i < count) {
    unsigned char b = p[i];
    if (b < 0x80) {
      if (b == 0) break;
      put(b);
      ++i;
      continue;
    }
    unsigned value;
    int more = LeadLength(b, value);
    if (more < 0) {
      put(u'?');
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool broken = false;
    for (int k = 0; k < more && j < count; ++k, ++j) {
      if (!(p[j] & 0x80)) {  // not consumed: it starts the next character
        broken = true;
        break;
      }
      value = (value << 6) | (p[j] & 0x3F);
    }
    if (!broken && j - i <= static_cast<size_t>(more)) break;  // cut off by the end: dropped
    i = j;
    if (broken) {
      put(u'?');
    } else if (value == 0) {
      // An overlong NUL (C0 80): a NUL unit inside the text would cut every later narrow copy
      // of it short, so a path or URL could be checked whole and then used in part.
      put(u'?');
    } else if (value > 0x10FFFF) {
      put(u'?');  // no UTF-16 form
    } else if (value > 0xFFFF) {
      value -= 0x10000;
      put(static_cast<char16_t>(0xD800 | (value >> 10)));
      put(static_cast<char16_t>(0xDC00 | (value & 0x3FF)));
    } else {
      put(static_cast<char16_t>(value));
    }
  }
  return units;
}

template <bool kWrite>
size_t EncodeUtf8(const char16_t* p, size_t count, char* out) {
  size_t bytes = 0;
  auto put = [&](unsigned v) {
    if constexpr (kWrite) out[bytes] = static_cast<char>(v);
    ++bytes;
  };
  for (size_t i = 0; i < count; ++i) {
    unsigned c = p[i];
    if (c == 0) break;
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0xD800 || c > 0xDFFF) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else if (c <= 0xDBFF && i + 1 < count && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
      unsigned v = (((c & 0x3FF) << 10) | (p[i + 1] & 0x3FF)) + 0x10000;
      ++i;
      put(0xF0 | (v >> 18));
      put(0x80 | ((v >> 12) & 0x3F));
      put(0x80 | ((v >> 6) & 0x3F));
      put(0x80 | (v & 0x3F));
    } else {
      // A lone surrogate must not swallow the unit after it.
      put('?');
    }
  }
  return bytes;
}

}  // namespace

size_t Utf8ToWide(const char* bytes, size_t count, char16_t* out) {
  auto* p = reinterpret_cast<const unsigned char*>(bytes);
  return out ? DecodeUtf8<true>(p, count, out) : DecodeUtf8<false>(p, count, nullptr);
}

std::u16string Utf8ToWide(std::string_view bytes) {
  std::u16string out;
  // One unit per byte at most; shrink afterwards instead of decoding twice.
  out.resize(bytes.size());
  out.resize(Utf8ToWide(bytes.data(), bytes.size(), out.data()));
  return out;
}

size_t WideToUtf8(const char16_t* text, size_t count, char* out) {
  return out ? EncodeUtf8<true>(text, count, out) : EncodeUtf8<false>(text, count, nullptr);
}

std::string WideToUtf8(std::u16string_view text) {
  std::string out;
  out.resize(WideToUtf8(text.data(), text.size(), nullptr));
  WideToUtf8(text.data(), text.size(), out.data());
  return out;
}

std::string WideToUtf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string Utf16LeBytesToWide(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text;
}

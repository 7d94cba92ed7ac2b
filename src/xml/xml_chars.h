// Character helpers shared by the XML scanner and the text helpers.
#pragma once

#include <cstdint>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

inline bool IsXmlSpace(char16_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// First of up to four characters in [p, end), or end. Text and tag bodies are the bulk of every
// document, so this is the loop that decides parse speed.
inline const char16_t* FindAnyXmlChar(const char16_t* p, const char16_t* end, char16_t a,
                                      char16_t b, char16_t c, char16_t d) {
#ifdef __SSE2__
  const __m128i va = _mm_set1_epi16(static_cast<short>(a));
  const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
  const __m128i vc = _mm_set1_epi16(static_cast<short>(c));
  const __m128i vd = _mm_set1_epi16(static_cast<short>(d));
  while (end - p >= 8) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb)),
                             _mm_or_si128(_mm_cmpeq_epi16(x, vc), _mm_cmpeq_epi16(x, vd)));
    int mask = _mm_movemask_epi8(m);
    if (mask) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
    p += 8;
  }
#endif
  for (; p < end; ++p) {
    char16_t x = *p;
    if (x == a || x == b || x == c || x == d) return p;
  }
  return end;
}

// First occurrence of c in [p, end), or end.
inline const char16_t* FindXmlChar(const char16_t* p, const char16_t* end, char16_t c) {
  return FindAnyXmlChar(p, end, c, c, c, c);
}

void AppendAscii(std::u16string& out, const char* ascii);
void AppendNumber(std::u16string& out, int64_t value);

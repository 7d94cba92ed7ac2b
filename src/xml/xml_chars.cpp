#include "xml/xml_chars.h"

void AppendAscii(std::u16string& out, const char* ascii) {
  for (; *ascii; ++ascii) out.push_back(static_cast<unsigned char>(*ascii));
}

void AppendNumber(std::u16string& out, int64_t value) {
  char buf[24];
  int n = 0;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  if (value < 0) out.push_back('-');
  while (n) out.push_back(buf[--n]);
}

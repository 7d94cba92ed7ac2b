// Values the download and install events carry for a task.
#pragma once

#include <cstdint>
#include <string>

#include "session/nuv_task.h"
#include "xml/utf.h"

// "product", "depend" or "donet".
inline const char* TaskTypeName(int32_t type) {
  switch (type) {
    case kTaskProduct:
      return "product";
    case kTaskDependent:
      return "depend";
    default:
      return "donet";
  }
}

// The text between "://" and the next '/', or the whole URL when it has no "://".
inline std::string UrlHostPart(const std::u16string& url) {
  const std::string text = WideToUtf8(url);
  const size_t scheme = text.find("://");
  if (scheme == std::string::npos) return text;
  const size_t begin = scheme + 3;
  return text.substr(begin, text.find('/', begin) - begin);
}

// Whole seconds from start to end; 0 when the span is not positive.
inline int64_t SpanSeconds(int64_t start, int64_t end) {
  return end > start ? end - start : 0;
}

// Bytes per second over the span; 0 for an empty span.
inline int64_t BytesPerSecond(int64_t bytes, int64_t seconds) {
  return seconds > 0 ? bytes / seconds : 0;
}

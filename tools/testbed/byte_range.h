// Reading a "Range" request header against a body size.
#pragma once

#include <cstdint>
#include <string>

namespace testbed {

struct ByteRange {
  enum Kind {
    kWhole,          // no usable single range: answer 200 with the whole body
    kPart,           // answer 206 with [first, last]
    kUnsatisfiable,  // answer 416
  };
  Kind kind = kWhole;
  int64_t first = 0;
  int64_t last = -1;  // inclusive
};

// header is the value after "Range:" ("" when absent). Single ranges "bytes=a-b", "bytes=a-" and
// "bytes=-n" are served; a last byte past the end is cut to the end. Several ranges are answered
// with the whole body. A malformed value, a start at or past the end, or a != 0 start on an empty
// body is unsatisfiable.
ByteRange ParseByteRange(const std::string& header, int64_t size);

}  // namespace testbed

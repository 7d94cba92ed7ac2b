// Misbehaviours the package side can put on an answer, chosen per request, package or address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace testbed {

// Every member that is set changes the answer; unset members leave the normal behaviour. Byte
// counts of stall/drop count the body of the one answer (from its first byte, whatever the range);
// corruptFrom is an offset in the file, so every range that covers it carries flipped bytes.
struct Faults {
  std::optional<int64_t> stallAfter;     // send N body bytes, then nothing until the peer leaves
  std::optional<int64_t> dropAfter;      // send N body bytes, then close the connection
  std::optional<int> status;             // answer this status (404, 403, 500, 416 ...) and no body
  bool ignoreRange = false;              // 200 with the whole body whatever Range asks
  std::optional<int64_t> announcedSize;  // headers claim this size; the bytes stay the real ones
  std::optional<int64_t> corruptFrom;    // every byte from this file offset on is inverted
  std::optional<int64_t> throttle;       // bytes per second, per connection
  std::optional<std::string> redirect;   // 302 to this target ("" = "/disable.htm")
  std::optional<int64_t> size;           // serve a package of this size instead (same pattern)
  std::optional<int64_t> rangeCap;       // a ranged answer carries at most N bytes (206, honest)
  std::optional<int64_t> delayMs;        // wait this long before the answer's headers

  bool Empty() const;
  // Members set in `other` replace ours.
  void MergeFrom(const Faults& other);
  std::string ToText() const;
};

// Reads the comma-separated form used in "?fault=..." and on the command line:
//   stall_after:N drop_after:N status:CODE ignore_range wrong_length:N corrupt_from:K
//   throttle:R redirect[:TARGET] size:N range_cap:N delay:MS
// An empty text gives empty faults. Unknown names or bad numbers make it fail.
std::optional<Faults> ParseFaults(const std::string& text);

}  // namespace testbed

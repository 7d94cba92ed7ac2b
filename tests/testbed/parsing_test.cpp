#include <gtest/gtest.h>

#include "testbed/byte_range.h"
#include "testbed/faults.h"

namespace testbed {
namespace {

TEST(ByteRange, SingleRangesAgainstSize) {
  struct Case {
    const char* header;
    int64_t size;
    ByteRange::Kind kind;
    int64_t first, last;
  } cases[] = {
      {"", 100, ByteRange::kWhole, 0, -1},
      {"bytes=0-9", 100, ByteRange::kPart, 0, 9},
      {"bytes=90-", 100, ByteRange::kPart, 90, 99},
      {"bytes=95-500", 100, ByteRange::kPart, 95, 99},  // end cut to the size
      {"bytes=-10", 100, ByteRange::kPart, 90, 99},
      {"bytes=-500", 100, ByteRange::kPart, 0, 99},
      {"bytes=99-99", 100, ByteRange::kPart, 99, 99},
      {"bytes=100-", 100, ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=0-", 0, ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=5-2", 100, ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=abc", 100, ByteRange::kUnsatisfiable, 0, 0},
      {"items=0-1", 100, ByteRange::kUnsatisfiable, 0, 0},
      {"bytes=0-1,5-6", 100, ByteRange::kWhole, 0, -1},
  };
  for (const Case& c : cases) {
    ByteRange r = ParseByteRange(c.header, c.size);
    EXPECT_EQ(r.kind, c.kind) << c.header;
    if (c.kind == ByteRange::kPart) {
      EXPECT_EQ(r.first, c.first) << c.header;
      EXPECT_EQ(r.last, c.last) << c.header;
    }
  }
}

TEST(Faults, TextFormRoundTripsAndRejectsNonsense) {
  auto f = ParseFaults(
      "stall_after:1048576,ignore_range,status:404,throttle:100,redirect,range_cap:5,delay:0");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->stallAfter, 1048576);
  EXPECT_TRUE(f->ignoreRange);
  EXPECT_EQ(f->status, 404);
  EXPECT_EQ(f->throttle, 100);
  EXPECT_EQ(f->redirect, "");
  EXPECT_EQ(f->rangeCap, 5);
  EXPECT_EQ(f->delayMs, 0);
  EXPECT_EQ(ParseFaults(f->ToText())->ToText(), f->ToText());
  EXPECT_TRUE(ParseFaults("")->Empty());

  for (const char* bad : {"stall_after", "stall_after:x", "drop_after:-1", "status:99",
                          "throttle:0", "range_cap:0", "ignore_range:1", "nonsense"}) {
    EXPECT_FALSE(ParseFaults(bad)) << bad;
  }
}

}  // namespace
}  // namespace testbed

#include <gtest/gtest.h>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

TEST(Server, FailedStartLeavesNoAddressBoundAndCanRestart) {
  Server taken;
  ASSERT_TRUE(taken.Start());

  Server second;
  ServerOptions clash;
  clash.addresses = {"127.0.0.2", "127.0.0.1"};
  clash.port = taken.Port();
  EXPECT_FALSE(second.Start(clash));
  EXPECT_FALSE(second.Running());

  // 127.0.0.2 was bound before the clash was found; it must be free again.
  ServerOptions again;
  again.addresses = {"127.0.0.2"};
  again.port = taken.Port();
  ASSERT_TRUE(second.Start(again));
  second.Packages().AddGenerated("/p.bin", 10, 2);
  EXPECT_EQ(Fetch(second.Url("/p.bin")).body, PatternBytes(2, 0, 10));

  second.Stop();
  second.Stop();
  ASSERT_TRUE(second.Start(again));
  EXPECT_EQ(Fetch(second.Url("/p.bin")).status, 200);
}

}  // namespace
}  // namespace testbed

#include <gtest/gtest.h>

#include <thread>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

using std::chrono::seconds;

TEST(RequestLog, RecordsMethodPathQueryHeadersAndBody) {
  Server server;
  ASSERT_TRUE(server.Start());
  FetchResult r = Fetch(server.Url("/api/v1/thing?a=1&b=x%20y"), FetchOptions()
                                                                     .Post(std::string("b\0dy", 4))
                                                                     .AddHeader("X-Zeta: 1")
                                                                     .AddHeader("x-probe: one")
                                                                     .AddHeader("X-Alpha: 2"));
  EXPECT_EQ(r.status, 404);  // no side answers it, but it is recorded all the same
  auto log = server.Requests();
  ASSERT_EQ(log.size(), 1u);
  const RecordedRequest& rec = log[0];
  EXPECT_EQ(rec.method, "POST");
  EXPECT_EQ(rec.path, "/api/v1/thing");
  EXPECT_EQ(rec.query, "a=1&b=x%20y");
  EXPECT_EQ(rec.QueryParam("b"), "x%20y");
  EXPECT_EQ(rec.Header("X-Probe"), "one");
  EXPECT_FALSE(rec.HasHeader("REMOTE_ADDR"));
  // Wire order and spelling, not the library's sorted map.
  std::vector<std::string> names;
  for (const auto& [name, value] : rec.headers) {
    if (name.rfind("X-", 0) == 0 || name.rfind("x-", 0) == 0) names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"X-Zeta", "x-probe", "X-Alpha"}));
  EXPECT_EQ(rec.body, std::string("b\0dy", 4));
  EXPECT_EQ(rec.localAddress, "127.0.0.1");
  EXPECT_EQ(rec.status, 404);
}

TEST(RequestLog, WaitForSeesRequestsFromOtherThreadsAndTimesOut) {
  Server server;
  server.Packages().AddGenerated("/p.bin", 10);
  ASSERT_TRUE(server.Start());
  EXPECT_FALSE(server.WaitForRequests(1, "GET", "/p.bin", std::chrono::milliseconds(50)));
  std::thread client([&] {
    for (int i = 0; i < 3; ++i) Fetch(server.Url("/p.bin"));
  });
  EXPECT_TRUE(server.WaitForRequests(3, "GET", "/p.bin", seconds(10)));
  client.join();
  server.Log().Clear();
  EXPECT_EQ(server.Log().Count(), 0u);
  Fetch(server.Url("/p.bin"));
  EXPECT_EQ(server.Requests().at(0).index, 3u);
}

TEST(RequestLog, MalformedRequestsAnsweredByTheLibraryAreRecorded) {
  Server server;
  server.Packages().AddGenerated("/p.bin", 10);
  ASSERT_TRUE(server.Start());
  FetchResult r = Fetch(server.Url("/p.bin"), FetchOptions().AddHeader("Range: bytes=zz"));
  EXPECT_EQ(r.status, 416);
  // Recorded only once the answer is out, so the client may see it first.
  ASSERT_TRUE(server.WaitForRequests(1, "GET", "/p.bin", std::chrono::seconds(10)));
  EXPECT_EQ(server.Requests()[0].status, 416);
}

}  // namespace
}  // namespace testbed

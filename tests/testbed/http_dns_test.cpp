#include <gtest/gtest.h>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

TEST(HttpDns, SignedQueriesAreAnsweredAndBadOnesRefused) {
  Server server;
  HttpDnsCredentials creds{"u1", "ak1", "s3cret"};
  server.HttpDns().SetCredentials(creds);
  server.HttpDns().SetAnswer("dl.example.test", {"127.0.0.2", "127.0.0.3"});
  ASSERT_TRUE(server.Start());

  // The key is computed independently of the side's own helper.
  const std::string ts = "1700000000";
  const std::string key = Sha256Hex("u1s3cret" + ts + "dl.example.testak1");
  const std::string query = "/resolve?type=1&short=1&uid=u1&ak=ak1&name=dl.example.test&ts=" + ts;
  FetchResult good = Fetch(server.Url(query + "&key=" + key));
  EXPECT_EQ(good.status, 200);
  EXPECT_EQ(good.body, "[\"127.0.0.2\",\"127.0.0.3\"]");
  EXPECT_EQ(HttpDnsSide::SignedQuery(creds, "dl.example.test", ts), query + "&key=" + key);

  FetchResult unknown = Fetch(server.Url(HttpDnsSide::SignedQuery(creds, "other.test", ts)));
  EXPECT_EQ(unknown.status, 200);
  EXPECT_EQ(unknown.body, "[]");

  std::string wrong = key;
  wrong[0] = wrong[0] == '0' ? '1' : '0';
  for (const std::string& bad : {query + "&key=" + wrong, query,
                                 HttpDnsSide::SignedQuery({"u1", "ak1", "other"}, "x.test", ts)}) {
    FetchResult refused = Fetch(server.Url(bad));
    EXPECT_EQ(refused.status, 403) << bad;
    EXPECT_TRUE(refused.body.empty()) << bad;
  }
  auto log = server.Requests();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[2].status, 403);
  EXPECT_EQ(log[2].QueryParam("key"), wrong);
}

}  // namespace
}  // namespace testbed

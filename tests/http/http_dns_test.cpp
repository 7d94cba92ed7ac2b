// HttpDnsResolve against the testbed's HTTP DNS side, which only answers correctly signed queries.
#include "http/http_dns.h"

#include <gtest/gtest.h>

#include "http/raw_server.h"
#include "testbed/testbed.h"

namespace {

const testbed::HttpDnsCredentials kCredentials = {"186420", "vt-nuv-ak-7f3c",
                                                  "9d41c27be05a4f6e8a3d"};

class HttpDnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    server_.HttpDns().SetCredentials(kCredentials);
    saved_ = GetHttpDnsConfig();
    closed_ = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
    Use(server_.BaseUrl(), closed_, kCredentials.secret);
  }
  void TearDown() override { SetHttpDnsConfig(saved_); }

  void Use(const std::string& primary, const std::string& secondary, const std::string& secret) {
    SetHttpDnsConfig({primary, secondary, kCredentials.uid, kCredentials.ak, secret});
  }

  testbed::Server server_;
  HttpDnsConfig saved_;
  std::string closed_;
};

TEST_F(HttpDnsTest, SignedQueryIsAcceptedAndBothAddressesComeBack) {
  server_.HttpDns().SetAnswer("pkg.example", {"10.0.0.1", "10.0.0.2"});
  std::vector<std::string> addresses;
  ASSERT_TRUE(HttpDnsResolve("pkg.example", addresses));
  EXPECT_EQ(addresses, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));

  ASSERT_EQ(server_.Requests().size(), 1u);
  testbed::RecordedRequest r = server_.Requests()[0];
  EXPECT_EQ(r.method, "GET");
  std::string ts = r.QueryParam("ts");
  EXPECT_EQ(r.path + "?" + r.query,
            testbed::HttpDnsSide::SignedQuery(kCredentials, "pkg.example", ts));
  EXPECT_EQ(HttpDnsQuery(GetHttpDnsConfig(), "pkg.example", ts), r.path + "?" + r.query);
}

TEST_F(HttpDnsTest, RefusedSignatureAndEmptyArrayYieldNothing) {
  server_.HttpDns().SetAnswer("pkg.example", {});
  std::vector<std::string> addresses;
  EXPECT_FALSE(HttpDnsResolve("pkg.example", addresses));

  server_.HttpDns().SetAnswer("pkg.example", {"10.0.0.1"});
  Use(server_.BaseUrl(), closed_, "wrong-secret");
  EXPECT_FALSE(HttpDnsResolve("pkg.example", addresses));
  EXPECT_TRUE(addresses.empty());
}

TEST_F(HttpDnsTest, SecondaryEndpointIsAskedWhenThePrimaryGivesNoReply) {
  server_.HttpDns().SetAnswer("pkg.example", {"10.0.0.9"});
  Use(closed_, server_.BaseUrl(), kCredentials.secret);
  std::vector<std::string> addresses;
  EXPECT_TRUE(HttpDnsResolve("pkg.example", addresses));
  EXPECT_EQ(addresses, std::vector<std::string>{"10.0.0.9"});
}

TEST(HttpDnsReply, KeepsQuotedAddressesOnly) {
  using List = std::vector<std::string>;
  struct Case {
    std::string reply;
    bool ok;
    List addresses;
  } cases[] = {
      {"[\"1.2.3.4\", \"5.6.7.8\"]", true, {"1.2.3.4", "5.6.7.8"}},
      {"[\"1.2.3.4\"]\n", true, {"1.2.3.4"}},
      {"[]", false, {}},
      {"[", false, {}},
      {"", false, {}},
      {"[\"\"]", false, {}},
      {"[ , \"x\"]", false, {}},
      {"[\"1.2.3.4\",\"not-an-ip\",\"999.1.1.1\"]", true, {"1.2.3.4"}},
      {std::string("[\"1.2.3.4\0x\",\"5.6.7.8\"]", 23), true, {"5.6.7.8"}},  // NUL inside
  };
  for (const Case& c : cases) {
    List got;
    EXPECT_EQ(ParseHttpDnsReply(c.reply, got), c.ok) << c.reply;
    EXPECT_EQ(got, c.addresses) << c.reply;
  }
}

}  // namespace

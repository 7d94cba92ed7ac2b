// Host table pieces that need no package server: URL parts, the Content-Length reader, and the
// resolution failures (system resolver and HTTP DNS both without an answer).
#include "engine/host_table.h"

#include <gtest/gtest.h>

#include "engine/host_fakes.h"
#include "engine/host_resolver.h"
#include "engine/url_host.h"
#include "http/closed_port.h"
#include "http/http_dns.h"
#include "http/log_capture.h"

namespace {

using ns_NUK::CHostResolver;
using ns_NUK::CHostTable;

TEST(HostUrlParts, SplitsSchemeHostAndPath) {
  struct Case {
    std::u16string url;
    bool ok;
    std::u16string scheme, host, path;
  } cases[] = {
      {u"https://dl.example/a/b.exe?x=1", true, u"https", u"dl.example", u"/a/b.exe?x=1"},
      {u"http://dl.example:8443/p", true, u"http", u"dl.example:8443", u"/p"},
      {u"http://dl.example", true, u"http", u"dl.example", u""},
      {u"http:///p", true, u"http", u"", u"/p"},
      {u"dl.example/p", false, u"", u"", u""},
  };
  for (const Case& c : cases) {
    ns_NUK::UrlParts parts;
    ASSERT_EQ(ns_NUK::ParseUrlParts(c.url, parts), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(parts.scheme, c.scheme);
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.path, c.path);
  }
  EXPECT_EQ(ns_NUK::UrlHost("https://dl.example:8443/a/b"), "dl.example:8443");
  EXPECT_EQ(ns_NUK::UrlHost("dl.example/a"), "");
}

TEST(HostUrlParts, NameWithoutThePortAndItsResolveEntries) {
  struct Case {
    std::string host, name, port;
    std::vector<std::string> entries;  // pinned to 10.0.0.1
  } cases[] = {
      {"dl.example", "dl.example", "", {"dl.example:80:10.0.0.1", "dl.example:443:10.0.0.1"}},
      {"dl.example:8443", "dl.example", "8443", {"dl.example:8443:10.0.0.1"}},
      {"127.0.0.1:18555", "127.0.0.1", "18555", {"127.0.0.1:18555:10.0.0.1"}},
      {"[::1]:8080", "[::1]", "8080", {"[::1]:8080:10.0.0.1"}},
      {"[::1]", "[::1]", "", {"[::1]:80:10.0.0.1", "[::1]:443:10.0.0.1"}},
  };
  for (const Case& c : cases) {
    const ns_NUK::HostPort hp = ns_NUK::SplitHostPort(c.host);
    EXPECT_EQ(hp.name, c.name) << c.host;
    EXPECT_EQ(hp.port, c.port) << c.host;
    EXPECT_EQ(ns_NUK::ResolveEntries(c.host, "10.0.0.1"), c.entries) << c.host;
  }
  EXPECT_TRUE(ns_NUK::ResolveEntries("dl.example", "").empty());
  uint32_t address = 0;
  EXPECT_TRUE(ns_NUK::ParseIPv4Address("127.0.0.1", address));
  EXPECT_EQ(address, htonl(0x7f000001));
  for (const char* notAddress : {"dl.example", "127.1", "127.0.0.256", "", "[::1]"})
    EXPECT_FALSE(ns_NUK::ParseIPv4Address(notAddress, address)) << notAddress;
}

TEST(HostContentLength, ReadsTheLastHeaderUpToCrLf) {
  struct Case {
    std::string reply;
    int64_t length;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", 1000},
      {"HTTP/1.1 302 Found\r\nContent-Length: 5\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: "
       "7\r\n\r\n",
       7},
      {"HTTP/2 200\r\ncontent-length: 4294967296\r\n\r\n", 4294967296LL},
      {"Content-Length:  1 2 3 \r\n", 123},
      {"Content-Length: 12", 0},  // not ended by CR LF
      {"Content-Length: abc\r\n", 0},
      {"Content-Length: -5\r\n", 0},
      {"HTTP/1.1 200 OK\r\n\r\n", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ns_NUK::ParseContentLength(c.reply), c.length) << c.reply;
}

class HostResolveFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetHttpDnsConfig();
    std::string closed = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
    SetHttpDnsConfig({closed, closed, "u", "a", "s"});
  }
  void TearDown() override { SetHttpDnsConfig(saved_); }

  HttpDnsConfig saved_;
  ChosenResolver resolver_;
  CHostTable table_;
};

TEST_F(HostResolveFailure, BadUrlsAreRefusedWithTheirLines) {
  LogCapture log;
  EXPECT_FALSE(table_.InitHost(u""));
  EXPECT_FALSE(table_.InitHost(u"dl.example/p"));
  EXPECT_FALSE(table_.InitHost(u"http:///p"));
  // Neither an IPv6 literal nor a bare port is a name any resolver is asked for.
  EXPECT_FALSE(table_.InitHost(u"http://[::1]:8080/p"));
  EXPECT_FALSE(table_.InitHost(u"http://:8080/p"));
  EXPECT_EQ(log.Count("[ERROR] init host url is empty."), 1);
  EXPECT_EQ(log.Count("[ERROR] parse url failed!"), 2);
  EXPECT_EQ(log.Count("[ERROR] query host failed!"), 2);
  EXPECT_EQ(log.Count("query httpdns"), 0);
  EXPECT_TRUE(resolver_.Asked().empty());
}

TEST_F(HostResolveFailure, NoAddressAnywhereFailsTheResolutionWithError2) {
  LogCapture log;
  CHostResolver resolver(table_);
  RecordingTarget target;
  target.uses.SetAddressUses({"10.9.9.9"});
  EXPECT_FALSE(resolver.ResolveHost("http://dl.example:8443/pkg.exe", false, target));

  // Both resolvers are asked for the name without its port.
  EXPECT_EQ(resolver_.Asked(), std::vector<std::string>{"dl.example"});
  ASSERT_EQ(target.Types(), std::vector<int>{ns_NUK::kNotifyPackageInfoFailed});
  EXPECT_EQ(target.sent[0].value, 2);
  EXPECT_EQ(target.totalSets, 0);
  EXPECT_TRUE(target.uses.Empty());
  EXPECT_EQ(log.Count("[INFO] query httpdns, host=[dl.example], ip count=[0]."), 1);
  EXPECT_EQ(log.Count("[INFO] query host=[dl.example], ip count=[0]."), 1);
  EXPECT_EQ(log.Count("[ERROR] query host failed!"), 1);
  EXPECT_EQ(log.Count("[ERROR] multi, get dns info failed!"), 1);
  EXPECT_FALSE(table_.IsHostKnown(u"http://dl.example:8443/pkg.exe"));
}

}  // namespace

// Host resolution end to end: chosen resolver answers, real probes over HTTP to a testbed that
// listens on several loopback addresses on port 80 (the probe URLs carry no port), so each test
// runs in a private network namespace.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "engine/host_fakes.h"
#include "engine/host_resolver.h"
#include "engine/host_table.h"
#include "engine/netns.h"
#include "http/log_capture.h"
#include "http/http_dns.h"
#include "testbed/testbed.h"

namespace {

using ns_NUK::CHostResolver;
using ns_NUK::CHostTable;

const char kUrl[] = "http://pkg.example/pkg.bin";
const char16_t kWideUrl[] = u"http://pkg.example/pkg.bin";

std::vector<std::string> Loopbacks(int first, int last) {
  std::vector<std::string> out;
  for (int i = first; i <= last; ++i) out.push_back("127.0.0." + std::to_string(i));
  return out;
}

class HostProbeTest : public ::testing::Test {
 protected:
  // Called after NUV_RUN_IN_PRIVATE_NETWORK, so only the child binds port 80.
  void StartServer(int lastAddress, bool tls = false) {
    testbed::ServerOptions options;
    options.addresses = Loopbacks(2, lastAddress);
    options.port = tls ? 443 : 80;
    options.tls = tls;
    options.certificateNames = {"pkg.example"};
    ASSERT_TRUE(server_.Start(options));
    server_.Packages().AddGenerated("/pkg.bin", 1000);
    savedDns_ = GetHttpDnsConfig();
    SetHttpDnsConfig({"http://127.0.0.2", "http://127.0.0.2", "186420", "ak", "secret"});
    server_.HttpDns().SetCredentials({"186420", "ak", "secret"});
    started_ = true;
  }
  void TearDown() override {
    if (started_) SetHttpDnsConfig(savedDns_);
    unsetenv("NUV_CA_BUNDLE");
  }
  void Announce(const std::string& address, int64_t size) {
    testbed::Faults f;
    f.announcedSize = size;
    server_.Packages().SetFaults("/pkg.bin", f, address);
  }
  std::vector<std::string> Addresses(CHostTable& table, const std::string& host = "pkg.example") {
    std::vector<std::string> list;
    table.AddressList(host, list);
    return list;
  }
  size_t ProbesOn(const std::string& address, const std::string& method) {
    size_t n = 0;
    for (const testbed::RecordedRequest& r : server_.Requests())
      if (r.localAddress == address && r.method == method && r.path == "/pkg.bin") ++n;
    return n;
  }

  testbed::Server server_;
  HttpDnsConfig savedDns_;
  bool started_ = false;
  ChosenResolver resolver_;
  CHostTable table_;
};

TEST_F(HostProbeTest, OddAddressIsRemovedAndTheMajoritySizeKept) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(5);
  resolver_.Answer("pkg.example", Loopbacks(2, 5));
  Announce("127.0.0.5", 999);
  LogCapture log;
  CHostResolver resolver(table_);
  RecordingTarget target;

  ASSERT_TRUE(resolver.ResolveHost(kUrl, false, target));
  EXPECT_EQ(target.total, 1000);
  EXPECT_EQ(table_.ProbedSize(kWideUrl), 1000);
  EXPECT_EQ(Addresses(table_), Loopbacks(2, 4));
  ASSERT_EQ(target.Types(), std::vector<int>{ns_NUK::kNotifyDnsQueried});
  EXPECT_EQ(target.sent[0].text, "pkg.example:127.0.0.2,127.0.0.3,127.0.0.4");
  EXPECT_EQ(target.uses.Uses(),
            (std::map<std::string, int>{{"127.0.0.2", 0}, {"127.0.0.3", 0}, {"127.0.0.4", 0}}));

  for (const std::string& a : Loopbacks(2, 5)) {
    EXPECT_EQ(log.Count("[INFO] host ip=[" + a + "]"), 1);
    EXPECT_EQ(ProbesOn(a, "HEAD"), 1u) << a;
  }
  testbed::RecordedRequest probe = server_.Requests()[0];
  EXPECT_EQ(probe.Header("Host"), "pkg.example");
  EXPECT_EQ(probe.Header("Connection"), "close");
  EXPECT_EQ(probe.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(probe.Header("Pragma"), "no-cache");
  EXPECT_EQ(log.Count("[INFO] ulfs_max=[999], count=[1]"), 1);
  EXPECT_EQ(log.Count("[INFO] ulfs_max=[1000], count=[3]"), 1);
  EXPECT_EQ(log.Count("[WARN] remove host ip=[127.0.0.5]"), 1);
  EXPECT_EQ(log.Count("[INFO] init host, vaild ip count=[3]"), 1);
  EXPECT_EQ(log.Count("[INFO] query host=[pkg.example], ip count=[4]."), 1);
}

TEST_F(HostProbeTest, KnownHostIsReusedAndAForcedResolutionProbesAgain) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(5);
  resolver_.Answer("pkg.example", Loopbacks(2, 5));
  Announce("127.0.0.5", 999);
  CHostResolver resolver(table_);
  RecordingTarget first;
  ASSERT_TRUE(resolver.ResolveHost(kUrl, false, first));
  size_t probes = server_.Requests().size();

  // Known and not forced: no probes, no total, no notification; the uses are rebuilt.
  RecordingTarget again;
  again.uses.SetAddressUses({"10.0.0.1"});
  ASSERT_TRUE(resolver.ResolveHost(kUrl, false, again));
  EXPECT_EQ(server_.Requests().size(), probes);
  EXPECT_EQ(again.totalSets, 0);
  EXPECT_TRUE(again.sent.empty());
  EXPECT_EQ(again.uses.Uses().size(), 3u);

  // Forced: the table forgets the host (the resolver now answers differently), the downloader
  // hears of it with its current result, and the host is resolved and probed afresh.
  resolver_.Answer("pkg.example", Loopbacks(4, 5));
  server_.Packages().ClearFaults();
  RecordingTarget forced;
  forced.result = 3;
  ASSERT_TRUE(resolver.ResolveHost(kUrl, true, forced));
  ASSERT_EQ(forced.Types(),
            (std::vector<int>{ns_NUK::kNotifyDnsCacheCleared, ns_NUK::kNotifyDnsQueried}));
  EXPECT_EQ(forced.sent[0].value, 3);
  EXPECT_EQ(forced.sent[1].text, "pkg.example:127.0.0.4,127.0.0.5");
  EXPECT_EQ(forced.total, 1000);
  EXPECT_EQ(server_.Requests().size(), probes + 2);
}

TEST_F(HostProbeTest, HttpsProbesVerifyTheHostNameOnEachAddress) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(4, true);
  setenv("NUV_CA_BUNDLE", server_.CaBundlePath().c_str(), 1);
  resolver_.Answer("pkg.example", Loopbacks(2, 4));
  Announce("127.0.0.3", 999);
  ASSERT_TRUE(table_.InitHost(u"https://pkg.example/pkg.bin"));
  EXPECT_EQ(table_.ProbedSize(u"https://pkg.example/pkg.bin"), 1000);
  EXPECT_EQ(Addresses(table_), (std::vector<std::string>{"127.0.0.2", "127.0.0.4"}));
  for (const std::string& a : Loopbacks(2, 4)) {
    EXPECT_EQ(ProbesOn(a, "HEAD"), 1u) << a;
  }
  EXPECT_TRUE(server_.Requests()[0].tls);
  EXPECT_EQ(server_.Requests()[0].Header("Host"), "pkg.example");
}

TEST_F(HostProbeTest, EqualGroupsLetTheSmallerSizeWin) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(5);
  resolver_.Answer("pkg.example", Loopbacks(2, 5));
  Announce("127.0.0.4", 2000);
  Announce("127.0.0.5", 2000);
  LogCapture log;
  ASSERT_TRUE(table_.InitHost(kWideUrl));
  EXPECT_EQ(Addresses(table_), Loopbacks(2, 3));
  EXPECT_EQ(table_.ProbedSize(kWideUrl), 1000);
  EXPECT_EQ(log.Count("[INFO] ulfs_max=[1000], count=[2]"), 1);
  EXPECT_EQ(log.Count("ulfs_max=[2000]"), 0);
}

TEST_F(HostProbeTest, ProbesWithoutLengthTryGetAndKeepEveryAddress) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(3);
  // One address refuses the package, the other is not served at all.
  resolver_.Answer("pkg.example", {"127.0.0.3", "127.0.0.9"});
  testbed::Faults notFound;
  notFound.status = 404;
  server_.Packages().SetFaults("/pkg.bin", notFound, "127.0.0.3");
  CHostResolver resolver(table_);
  RecordingTarget target;

  ASSERT_TRUE(resolver.ResolveHost(kUrl, false, target));
  EXPECT_EQ(ProbesOn("127.0.0.3", "HEAD"), 1u);
  EXPECT_EQ(ProbesOn("127.0.0.3", "GET"), 1u);
  EXPECT_EQ(Addresses(table_), (std::vector<std::string>{"127.0.0.3", "127.0.0.9"}));
  EXPECT_EQ(table_.ProbedSize(kWideUrl), 0);
  EXPECT_EQ(target.totalSets, 1);
  EXPECT_EQ(target.total, 0);  // the downloader's own size query then runs
}

TEST_F(HostProbeTest, ProbingStopsAtTenAgreeingAddresses) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(13);
  resolver_.Answer("pkg.example", Loopbacks(2, 13));
  LogCapture log;
  ASSERT_TRUE(table_.InitHost(kWideUrl));
  EXPECT_EQ(log.Count("[INFO] host ip=["), 10);
  EXPECT_EQ(Addresses(table_), Loopbacks(2, 11));
  EXPECT_EQ(ProbesOn("127.0.0.12", "HEAD"), 0u);
  EXPECT_EQ(log.Count("[WARN] remove host ip=[127.0.0.12]"), 1);
  EXPECT_EQ(log.Count("[WARN] remove host ip=[127.0.0.13]"), 1);
  EXPECT_EQ(log.Count("[INFO] init host, vaild ip count=[10]"), 1);
}

TEST_F(HostProbeTest, HttpDnsAnswersWhenTheSystemResolverHasNone) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  StartServer(4);
  server_.HttpDns().SetAnswer("cdn.example", {"127.0.0.4", "127.0.0.3", "127.0.0.4"});
  LogCapture log;
  ASSERT_TRUE(table_.InitHost(u"http://cdn.example/pkg.bin"));
  EXPECT_EQ(Addresses(table_, "cdn.example"), Loopbacks(3, 4));
  EXPECT_EQ(table_.ProbedSize(u"http://cdn.example/pkg.bin"), 1000);
  EXPECT_EQ(log.Count("[INFO] query httpdns, host=[cdn.example], ip count=[3]."), 1);
  EXPECT_EQ(log.Count("[INFO] query host=[cdn.example], ip count=[2]."), 1);
}

}  // namespace

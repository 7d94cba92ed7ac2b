// Whole downloads through the host-table resolution when the URL's host carries a port: an
// address is its own single address (no resolver, no HTTP DNS), a name is resolved without the
// port, and the probes and pinned connections reach the URL's own port.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "engine/file_digest.h"
#include "engine/host_fakes.h"
#include "engine/host_resolver.h"
#include "engine/netns.h"
#include "engine_fixture.h"
#include "http/http_dns.h"
#include "http/log_capture.h"

using namespace enginetest;
using std::chrono::seconds;

namespace {

size_t CountRequests(const testbed::Server& server, const std::string& method,
                     const std::string& path, const std::string& address = "") {
  size_t n = 0;
  for (const testbed::RecordedRequest& r : server.Requests())
    if (r.method == method && r.path == path && (address.empty() || r.localAddress == address)) ++n;
  return n;
}

}  // namespace

class EngineHostPortTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    savedDns_ = GetHttpDnsConfig();
    ns_NUK::SetHostResolver(&hosts_);
  }
  void TearDown() override {
    EngineTest::TearDown();
    SetHttpDnsConfig(savedDns_);
    unsetenv("NUV_CA_BUNDLE");
  }
  // HTTP DNS answers from the server itself, so that a query would be seen there.
  void UseHttpDnsOf(testbed::Server& server) {
    server.HttpDns().SetCredentials({"186420", "ak", "secret"});
    SetHttpDnsConfig({server.BaseUrl(), server.BaseUrl(), "186420", "ak", "secret"});
  }

  HttpDnsConfig savedDns_;
  ChosenResolver names_;  // records every name the system resolver is asked for
  ns_NUK::CHostTable table_;
  ns_NUK::CHostResolver hosts_{table_};
};

TEST_F(EngineHostPortTest, AddressHostWithAPortIsItsOwnAddress) {
  testbed::Server server;
  ASSERT_TRUE(server.Start());
  UseHttpDnsOf(server);
  const int64_t size = 3 * 1024 * 1024 + 17;
  const auto info = server.Packages().AddGenerated("/a/pkg.bin", size);
  const std::string url = server.Url("/a/pkg.bin");  // http://127.0.0.1:PORT/a/pkg.bin
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  LogCapture log;

  ASSERT_EQ(Add(url, dir_.Path(), 60, info.md5), 60);
  ASSERT_TRUE(recorder_.WaitFinished(60, seconds(60)));
  EXPECT_EQ(recorder_.Result(60), 0);
  // The probe's size is the total: no size query follows it.
  EXPECT_EQ(recorder_.Joined(60), "prep start dns name size params try:0 md5 match end:0:0 ok");
  EXPECT_EQ(ns_NUK::FileMd5(dir_.File("pkg.bin")), Upper(info.md5));
  EXPECT_TRUE(names_.Asked().empty());
  EXPECT_EQ(CountRequests(server, "GET", "/resolve"), 0u);
  EXPECT_EQ(CountRequests(server, "HEAD", "/a/pkg.bin"), 1u);
  EXPECT_EQ(log.Count("query host"), 0);
  EXPECT_EQ(log.Count("query httpdns"), 0);
  EXPECT_EQ(log.Count("[INFO] host=[" + host + "] is an address, not resolved."), 1);

  // A forced resolution probes the address again; there is no name whose cache to flush.
  RecordingTarget forced;
  ASSERT_TRUE(hosts_.ResolveHost(url, true, forced));
  EXPECT_EQ(forced.Types(), std::vector<int>{ns_NUK::kNotifyDnsQueried});
  EXPECT_EQ(forced.sent[0].text, host + ":127.0.0.1");
  EXPECT_EQ(forced.total, size);
  EXPECT_EQ(CountRequests(server, "HEAD", "/a/pkg.bin"), 2u);
  EXPECT_TRUE(names_.Asked().empty());
}

// The name is known to no resolver but the chosen one and the server listens on the URL's port
// only, so a probe or a connection that lost the port, or was not pinned, finds nothing.
TEST_F(EngineHostPortTest, NameWithAPortIsResolvedWithoutItAndReachedOnIt) {
  NUV_RUN_IN_PRIVATE_NETWORK();
  const std::vector<std::string> addresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
  names_.Answer("pkg.example", addresses);
  int id = 70;
  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "https" : "http");
    testbed::Server server;
    testbed::ServerOptions options;
    options.addresses = addresses;
    // A port of its own per scheme: the table keys the host as written, port included.
    const int port = tls ? 8443 : 8080;
    options.port = port;
    options.tls = tls;
    options.certificateNames = {"pkg.example"};
    ASSERT_TRUE(server.Start(options));
    UseHttpDnsOf(server);
    if (tls) setenv("NUV_CA_BUNDLE", server.CaBundlePath().c_str(), 1);
    const auto info = server.Packages().AddGenerated("/n/pkg.bin", 3 * 1024 * 1024);
    const std::string host = "pkg.example:" + std::to_string(port);
    const std::string url = std::string(tls ? "https" : "http") + "://" + host + "/n/pkg.bin";

    ASSERT_EQ(Add(url, dir_.File(std::to_string(id)), id, info.md5), id);
    ASSERT_TRUE(recorder_.WaitFinished(id, seconds(60)));
    EXPECT_EQ(recorder_.Result(id), 0);
    EXPECT_EQ(ns_NUK::FileMd5(dir_.File(std::to_string(id) + "/pkg.bin")), Upper(info.md5));
    EXPECT_EQ(CountRequests(server, "GET", "/resolve"), 0u);
    for (const std::string& a : addresses) {
      EXPECT_EQ(CountRequests(server, "HEAD", "/n/pkg.bin", a), 1u) << a;
      EXPECT_GT(CountRequests(server, "GET", "/n/pkg.bin", a), 0u) << a;
    }
    for (const testbed::RecordedRequest& r : server.Requests())
      EXPECT_EQ(r.Header("Host"), host) << r.method << " " << r.path;
    ++id;
  }
  EXPECT_EQ(names_.Asked(), (std::vector<std::string>{"pkg.example", "pkg.example"}));
}

#include <gtest/gtest.h>

#include "testbed/fetch.h"
#include "testbed/testbed.h"

namespace testbed {
namespace {

TEST(Tls, CertificateVerifiesAgainstTheBundleForNamesAndAddresses) {
  Server server;
  server.Packages().AddGenerated("/p.bin", 1000, 5);
  ServerOptions options;
  options.tls = true;
  options.addresses = {"127.0.0.1", "127.0.0.4"};
  ASSERT_TRUE(server.Start(options));
  ASSERT_FALSE(server.CaBundlePath().empty());
  const std::string port = std::to_string(server.Port());

  for (const char* host : {"localhost", "127.0.0.1", "127.0.0.4"}) {
    FetchResult r = Fetch(std::string("https://") + host + ":" + port + "/p.bin",
                          FetchOptions().Ca(server.CaBundlePath()));
    EXPECT_EQ(r.code, CURLE_OK) << host << ": " << curl_easy_strerror(r.code);
    EXPECT_EQ(r.body, PatternBytes(5, 0, 1000)) << host;
  }
  EXPECT_TRUE(server.Requests().front().tls);

  // Without the bundle the system store does not know this CA.
  FetchResult unknown = Fetch(server.Url("/p.bin"), FetchOptions().Ca("/dev/null"));
  EXPECT_NE(unknown.code, CURLE_OK);
}

}  // namespace
}  // namespace testbed

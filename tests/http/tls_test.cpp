// TLS peers are verified by both helpers; a private CA is trusted only through NUV_CA_BUNDLE.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "http/curl_request.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

namespace {

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed::ServerOptions options;
    options.tls = true;
    ASSERT_TRUE(server_.Start(options));
    server_.Packages().AddGenerated("/pkg.bin", 1000);
    char pattern[] = "/tmp/nuv-tls-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/a.log";
    std::ofstream(file_) << "x";
  }
  void TearDown() override {
    unsetenv("NUV_CA_BUNDLE");
    unlink(file_.c_str());
    rmdir(dir_.c_str());
  }

  int Get(std::string& reply) {
    int code = -1;
    reply =
        CurlRequest(kRequestGet, Utf8ToWide(server_.Url("/pkg.bin")), {}, true, false, "", code);
    return code;
  }
  int Upload() {
    int code = -1;
    CurlFormDataRequest(server_.Url("/upload"), {}, file_, code);
    return code;
  }

  testbed::Server server_;
  std::string dir_;
  std::string file_;
};

TEST_F(TlsTest, SucceedsWithTheTestbedCaBundle) {
  setenv("NUV_CA_BUNDLE", server_.CaBundlePath().c_str(), 1);
  std::string reply;
  EXPECT_EQ(Get(reply), 0);
  EXPECT_FALSE(reply.empty());
  EXPECT_EQ(Upload(), 0);
}

TEST_F(TlsTest, UnknownCertificateAuthorityIsRefused) {
  unsetenv("NUV_CA_BUNDLE");
  std::string reply;
  EXPECT_EQ(Get(reply), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_TRUE(reply.empty());
  EXPECT_EQ(Upload(), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(server_.Requests().size(), 0u);
}

}  // namespace

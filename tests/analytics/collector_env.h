// A loopback collector for analytics tests: the testbed over TLS on two addresses (primary and
// fallback), its CA trusted through NUV_CA_BUNDLE, and a temporary folder for staging files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "testbed/analytics_side.h"
#include "testbed/testbed.h"

inline constexpr std::chrono::seconds kWait{20};

class CollectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    collector_ = std::make_shared<testbed::AnalyticsSide>();
    server_.AddSide(collector_);
    testbed::ServerOptions options;
    options.addresses = {"127.0.0.1", "127.0.0.2"};
    options.tls = true;
    ASSERT_TRUE(server_.Start(options));
    setenv("NUV_CA_BUNDLE", server_.CaBundlePath().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("NUV_CA_BUNDLE");
    server_.Stop();
  }

  std::string Url(const std::string& address) const {
    return server_.BaseUrl(address) + "/sa?project=UA_Nuv_Web";
  }
  std::vector<std::string> Urls() const { return {Url("127.0.0.1"), Url("127.0.0.2")}; }
  std::string StagingPath() const { return dir_.File("nuv_tracker"); }

  TempDir dir_;
  testbed::Server server_;
  std::shared_ptr<testbed::AnalyticsSide> collector_;
};

// The maker's cloud for the whole e2e program: one testbed serving the platform server, the
// service API (primary and fallback host), the analytics collector and the packages. Started
// once by main(), because the endpoint table and the analytics client are set once per process.
#pragma once

#include <memory>
#include <string>

#include "testbed/analytics_side.h"
#include "testbed/platform_side.h"
#include "testbed/service_api_side.h"
#include "testbed/testbed.h"

struct E2eCloud {
  static constexpr const char* kPrimary = "127.0.0.2";
  static constexpr const char* kFallback = "127.0.0.3";

  testbed::Server server;
  // The same packages over HTTPS (its CA is the process's NUV_CA_BUNDLE): a package without a
  // digest is run only when it came over verified HTTPS.
  testbed::Server secure;
  std::shared_ptr<testbed::PlatformSide> platform = std::make_shared<testbed::PlatformSide>();
  std::shared_ptr<testbed::ServiceApiSide> api = std::make_shared<testbed::ServiceApiSide>();
  std::shared_ptr<testbed::AnalyticsSide> collector = std::make_shared<testbed::AnalyticsSide>();

  // "http://127.0.0.2:PORT"; every side answers on both addresses.
  std::string Base() const { return server.BaseUrl(kPrimary); }
  std::string CollectorUrl() const { return Base() + "/sa?project=UA_Nuv_Web"; }

  // Forgets what earlier tests left: requests, reports, uploads, answers, faults, packages.
  void Reset();
};

// Starts the cloud, writes the endpoint overlay naming it into folder and reads the endpoint
// table from it (once for the process), and points the analytics client at the collector.
bool StartE2eCloud(const std::string& folder);
void StopE2eCloud();
E2eCloud& Cloud();

#include "e2e_cloud.h"

#include <stdlib.h>

#include <fstream>

#include "analytics/analytics_servers.h"
#include "analytics/usage_tracker.h"
#include "platform/endpoints.h"

namespace {

E2eCloud* g_cloud = nullptr;

std::string EndpointDocument(const E2eCloud& cloud) {
  const std::string base = cloud.Base();
  const std::string fallback = cloud.server.BaseUrl(E2eCloud::kFallback);
  // The HTTP DNS credentials are those the testbed expects by default.
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Endpoints>"
         "<PlatformBaseUrl>" +
         base +
         "/</PlatformBaseUrl>"
         "<LicenseUrl>" +
         base +
         "/license</LicenseUrl>"
         "<ApiPrimaryBase>" +
         base +
         "</ApiPrimaryBase>"
         "<ApiFallbackBase>" +
         fallback +
         "</ApiFallbackBase>"
         "<AnalyticsPrimaryHost>" +
         std::string(E2eCloud::kPrimary) +
         "</AnalyticsPrimaryHost>"
         "<AnalyticsFallbackHost>" +
         std::string(E2eCloud::kFallback) +
         "</AnalyticsFallbackHost>"
         "<HttpDnsPrimary>" +
         base +
         "</HttpDnsPrimary>"
         "<HttpDnsSecondary>" +
         fallback +
         "</HttpDnsSecondary>"
         "<HttpDnsUid>MTg2~nV~NDIw</HttpDnsUid>"
         "<HttpDnsAk>dnQt~nV~bnV2LWFrLTdmM2M=</HttpDnsAk>"
         "<HttpDnsSecret>OWQ0~nV~MWMyN2JlMDVhNGY2ZThhM2Q=</HttpDnsSecret>"
         "<ProductWebBase>" +
         base +
         "</ProductWebBase>"
         "</Endpoints>\n";
}

}  // namespace

void E2eCloud::Reset() {
  server.Log().Clear();
  platform->Clear();
  collector->Clear();
  api->ClearAnswers();
  for (testbed::Server* s : {&server, &secure}) {
    s->Packages().ClearFaults();
    for (const testbed::PackageInfo& p : s->Packages().List()) s->Packages().Remove(p.urlPath);
  }
}

bool StartE2eCloud(const std::string& folder) {
  g_cloud = new E2eCloud;
  g_cloud->server.AddSide(g_cloud->platform);
  g_cloud->server.AddSide(g_cloud->api);
  g_cloud->server.AddSide(g_cloud->collector);
  testbed::ServerOptions options;
  options.addresses = {E2eCloud::kPrimary, E2eCloud::kFallback};
  if (!g_cloud->server.Start(options)) return false;
  testbed::ServerOptions secure;
  secure.addresses = {E2eCloud::kPrimary};
  secure.tls = true;
  if (!g_cloud->secure.Start(secure)) return false;
  setenv("NUV_CA_BUNDLE", g_cloud->secure.CaBundlePath().c_str(), 1);

  std::ofstream(folder + "endpoints.xml") << EndpointDocument(*g_cloud);
  setenv("NUV_RESOURCE_DIR", folder.c_str(), 1);
  const Endpoints& endpoints = GetEndpoints();  // read now, while the overlay names the cloud
  if (endpoints.apiPrimaryBase != g_cloud->Base()) return false;
  // The collector's real port is fixed; the window hands the client its URLs, so the test does.
  analytics::GetUsageTracker().Init({g_cloud->CollectorUrl()}, "e2e-distinct-id",
                                    analytics::kTrackerTid);
  return analytics::GetUsageTracker().Initialized();
}

void StopE2eCloud() {
  // The tracker's sending thread posts to the collector and stages into the process's temporary
  // folder: it ends before either goes away.
  analytics::GetUsageTracker().Stop();
  if (!g_cloud) return;
  g_cloud->server.Stop();
  g_cloud->secure.Stop();
}

E2eCloud& Cloud() {
  return *g_cloud;
}

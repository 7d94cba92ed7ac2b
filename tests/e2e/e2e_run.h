// One whole run of the controller as the window drives it, in a sandbox (SessionEnvTest) against
// the cloud stand-in: the test's own product document, sample-setup packages served by the cloud,
// a browser registered in the registry that records what it was asked to open, and the install
// watcher's loop.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e_cloud.h"
#include "e2e_window.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "tools/sample-setup/package_format.h"

// A dependent of the product document; a package the cloud serves gets its digest there.
struct DependentEntry {
  std::string pid;
  std::string name;
  std::string url;
  std::string forceInstall = "true";
  std::string forkInstall{};
};

// What the product document says.
struct ProductDocument {
  std::string pid;
  std::string url;  // the local download URL, both widths
  std::vector<DependentEntry> dependents;
  std::string dotnetMinVersion{};
  std::string dotnetUrl{};
};

struct RunOutcome {
  bool installed = false;   // the watcher saw every task type done
  bool failedPage = false;  // the window gave up after the last retry
  bool timedOut = false;
};

class E2eRunTest : public SessionEnvTest {
 protected:
  static constexpr const char* kBrand = "Veltrin";
  static constexpr const char* kJumpUrl = "http://127.0.0.1:9/welcome";
  static constexpr const char* kThanksUrl = "http://127.0.0.1:9/thanks?from=e2e";

  void SetUp() override;
  void TearDown() override;

  // A sample-setup package with these settings (over the run's defaults), served at
  // /pkg/<name>; its URL. Serving again under the same name replaces the package.
  std::string ServePackage(const std::string& name, sample_setup::Settings settings);
  // The HTTPS URL of a package ServePackage serves.
  std::string SecureUrl(const std::string& name) const;
  testbed::PackageInfo Served(const std::string& name) const;
  sample_setup::Settings SetupSettings(const std::string& product) const;
  // The runtime configuration the platform server answers for the product.
  void ServeRuntime(const std::string& pid, const std::string& runtimeInner);

  void UseProduct(const ProductDocument& product);

  // Start-up, planning, the download thread and the install watcher, as the window runs them.
  // Declare the window before the controller: the engine may still call back while the
  // controller shuts down.
  RunOutcome Run(NuvMgr& mgr, TestWindow& window);
  // The after page: the product starts, the follow-up pages open, then the session ends.
  void Close(NuvMgr& mgr);

  std::string InstallFolder() const { return Root() + "apps/"; }
  std::string StartRecord() const { return Root() + "product.started"; }
  std::string BrowserRecord() const { return Root() + "browser.txt"; }
  std::string ForkRecord() const { return Root() + "fork.txt"; }

  static std::vector<std::string> Lines(const std::string& path);
  // Lines of a record file once it holds at least count lines (waiting up to limit).
  std::vector<std::string> WaitForLines(const std::string& path, size_t count,
                                        std::chrono::milliseconds limit) const;
  // Requests of this run to paths not starting with any of the prefixes.
  std::vector<std::string> UnexpectedRequests(const std::vector<std::string>& prefixes) const;
  // Event names of the analytics records of this run.
  std::vector<std::string> EventNames() const;
  std::vector<std::string> Remarks() const;
  int Reports(const std::string& remark) const;

  std::chrono::seconds runLimit_{90};

 private:
  void PublishRuntime(const std::string& pid);

  std::string program_;
  std::vector<std::unique_ptr<ScopedEnv>> runEnv_;
  std::map<std::string, std::string> runtimes_;  // product id -> inner text of <runtime>
  std::map<std::string, std::string> binds_;     // product id -> items of <bind>
};

// A sandbox for one configuration test: system folders, registry and temporary folder under a
// temporary root, fake drives, a product document of the test's own (through the resource
// overlay), and the log captured to a file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/clipboard.h"
#include "platform/os/drives.h"
#include "http/api_base.h"
#include "log/simple_log.h"
#include "support/temp_dir.h"

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class SessionEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"prefix/opt", "prefix/var/lib", "registry", "tmp", "res", "drives"})
      std::filesystem::create_directories(dir_.Path() + sub);
    env_.emplace_back(std::make_unique<ScopedEnv>("NUV_ROOT_PREFIX", dir_.Path() + "prefix"));
    env_.emplace_back(std::make_unique<ScopedEnv>("NUV_REGISTRY_DIR", dir_.Path() + "registry"));
    env_.emplace_back(std::make_unique<ScopedEnv>("TMPDIR", dir_.Path() + "tmp"));
    log_ = std::make_unique<simpleLog>(dir_.File("test.log"));
    log_->SetRotateOnStart(false);
    log_->Init();
    SetSimpleLog(log_.get());
    // By default one system drive and one larger data drive.
    UseDrives({{"sys", 10}, {"data", 20}}, "sys");
    SetCurrentApiBase("");
  }

  void TearDown() override {
    SetSimpleLog(nullptr);
    nuv::os::SetDriveProvider(nullptr);
    nuv::os::SetClipboardReader({});
    SetCurrentApiBase("");
  }

  // Drives are folders under <root>/drives/; free space as given.
  void UseDrives(const std::vector<std::pair<std::string, uint64_t>>& drives,
                 const std::string& system) {
    std::vector<nuv::os::DriveInfo> infos;
    for (const auto& [name, free] : drives) {
      std::filesystem::create_directories(DriveRoot(name));
      infos.push_back({DriveRoot(name), free});
    }
    drives_ = std::make_unique<nuv::os::FakeDriveProvider>(infos, DriveRoot(system));
    nuv::os::SetDriveProvider(drives_.get());
  }
  std::string DriveRoot(const std::string& name) const {
    return dir_.Path() + "drives/" + name + "/";
  }
  std::string Prefix() const { return dir_.Path() + "prefix"; }
  std::string Root() const { return dir_.Path(); }

  // Serves this text as the product configuration (and the loopback endpoints beside it).
  void UseResource(const std::string& file, const std::string& text) {
    std::filesystem::copy_file(
        std::string(NUV_SOURCE_DIR) + "/tests/fixtures/loopback/endpoints.xml",
        dir_.File("res/endpoints.xml"), std::filesystem::copy_options::overwrite_existing);
    WriteWholeFile(dir_.File("res/" + file), text);
    if (!resourceEnv_)
      resourceEnv_ = std::make_unique<ScopedEnv>("NUV_RESOURCE_DIR", dir_.Path() + "res");
  }
  void UseProductXml(const std::string& text) { UseResource("product.xml", text); }

  std::string LogText() const { return ReadWholeFile(dir_.File("test.log")); }
  bool Logged(const std::string& fragment) const {
    return LogText().find(fragment) != std::string::npos;
  }
  int CountLogged(const std::string& fragment) const {
    std::istringstream in(LogText());
    std::string line;
    int n = 0;
    while (std::getline(in, line))
      if (line.find(fragment) != std::string::npos) ++n;
    return n;
  }

  TempDir dir_;

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
  std::unique_ptr<ScopedEnv> resourceEnv_;
  std::unique_ptr<simpleLog> log_;
  std::unique_ptr<nuv::os::FakeDriveProvider> drives_;
};

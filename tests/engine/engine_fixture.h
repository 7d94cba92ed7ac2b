// Shared set-up of the engine's end-to-end tests: shortened timings, a resolver that knows the
// package size (so no size query sees a fault meant for the transfers), a testbed, a manager.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/downloader_manager.h"
#include "engine/engine_timings.h"
#include "engine/host_resolution.h"
#include "engine_recorder.h"
#include "engine_temp_dir.h"
#include "testbed/testbed.h"

namespace enginetest {

// Hands the downloader a known size and pins it to one address, as the probes would.
class KnownSizeResolver : public ns_NUK::IHostResolver {
 public:
  KnownSizeResolver(int64_t size, std::string ip) : size_(size), ip_(std::move(ip)) {}
  bool ResolveHost(const std::string&, bool, ns_NUK::IResolveTarget& target) override {
    target.SetTotal(size_);
    return target.Addresses().SetAddressUses({ip_});
  }

 private:
  int64_t size_;
  std::string ip_;
};

inline std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

inline std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns_NUK::SetEngineTimings(ns_NUK::FastEngineTimings());
    ns_NUK::SetHostResolver(&ns_NUK::NoHostResolution());
  }
  void TearDown() override {
    if (manager_) manager_->Shutdown();
    manager_.reset();
    ns_NUK::SetHostResolver(nullptr);
    ns_NUK::SetEngineTimings(ns_NUK::EngineTimings{});
  }
  ns_NUK::DownloaderManager& Manager() {
    if (!manager_) {
      manager_ = std::make_unique<ns_NUK::DownloaderManager>();
      manager_->SetCallBack(&recorder_);
    }
    return *manager_;
  }
  int32_t Add(const std::string& url, const std::string& folder, int id, const std::string& md5) {
    const std::u16string wideUrl = Wide(url);
    return Manager().AddTask(wideUrl.c_str(), Wide(folder), u"0", id, u"1.0.0.1", Wide(md5), 0);
  }

  Recorder recorder_;
  std::unique_ptr<ns_NUK::DownloaderManager> manager_;
  TempDir dir_;
};

}  // namespace enginetest

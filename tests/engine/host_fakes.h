// Stand-ins around host resolution: a system resolver with chosen answers and a downloader that
// records what the resolution did to it.
#pragma once

#include <arpa/inet.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/downloader_types.h"
#include "engine/host_resolution.h"
#include "platform/os/resolver.h"

class ChosenResolver : public IResolver {
 public:
  ChosenResolver() { SetResolverForTest(this); }
  ~ChosenResolver() override { SetResolverForTest(nullptr); }

  void Answer(const std::string& name, const std::vector<std::string>& dotted) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_[name] = dotted;
  }
  std::vector<std::string> Asked() const {
    std::lock_guard<std::mutex> guard(lock_);
    return asked_;
  }
  bool ResolveIPv4(const std::string& name, std::vector<uint32_t>& addresses) override {
    std::lock_guard<std::mutex> guard(lock_);
    asked_.push_back(name);
    auto it = answers_.find(name);
    if (it == answers_.end() || it->second.empty()) return false;
    addresses.clear();
    for (const std::string& d : it->second) {
      in_addr a{};
      inet_pton(AF_INET, d.c_str(), &a);
      addresses.push_back(a.s_addr);
    }
    return true;
  }

 private:
  mutable std::mutex lock_;  // guards answers_ and asked_
  std::map<std::string, std::vector<std::string>> answers_;
  std::vector<std::string> asked_;
};

struct SentNotification {
  int type = 0;
  int value = 0;     // types 14 and 15: the pointed-to int32
  std::string text;  // type 16: the pointed-to text
};

class RecordingTarget : public ns_NUK::IResolveTarget {
 public:
  int CurrentResult() const override { return result; }
  void SetTotal(int64_t t) override {
    total = t;
    ++totalSets;
  }
  void SendNotification(int type, intptr_t payload, int, int) override {
    SentNotification n;
    n.type = type;
    if (type == ns_NUK::kNotifyPackageInfoFailed || type == ns_NUK::kNotifyDnsCacheCleared)
      n.value = *reinterpret_cast<const int32_t*>(payload);
    if (type == ns_NUK::kNotifyDnsQueried) n.text = reinterpret_cast<const char*>(payload);
    sent.push_back(n);
  }
  ns_NUK::AddressUses& Addresses() override { return uses; }

  std::vector<int> Types() const {
    std::vector<int> out;
    for (const SentNotification& n : sent) out.push_back(n.type);
    return out;
  }

  int result = 0;
  int64_t total = -1;
  int totalSets = 0;
  std::vector<SentNotification> sent;
  ns_NUK::AddressUses uses;
};

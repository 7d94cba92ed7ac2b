#include "analytics/usage_tracker.h"

#include <chrono>

#include "analytics/os_properties.h"
#include "log/simple_log.h"
#include "platform/os/folders.h"

namespace analytics {

UsageTracker::UsageTracker(std::string stagingPath) : stagingPath_(std::move(stagingPath)) {}

UsageTracker::~UsageTracker() {
  Close();
}

void UsageTracker::Close() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_) return;
    closed_ = true;
    stop_ = true;
    abandon_ = true;
    signaled_ = true;
  }
  wake_.notify_all();
  {
    std::lock_guard<std::mutex> join(joinLock_);
    if (thread_.joinable()) thread_.join();
  }

  analytics_sdk::AnalyticsSdk* sdk = Sdk();
  if (!sdk) return;
  // Events raised after the thread ended still reach the staging file.
  Pending rest;
  {
    std::lock_guard<std::mutex> guard(lock_);
    rest.swap(pending_);
  }
  TrackPending(rest, false);
  sdk->Shutdown();
}

analytics_sdk::AnalyticsSdk* UsageTracker::Sdk() const {
  std::lock_guard<std::mutex> guard(sdkLock_);
  return sdk_.get();
}

void UsageTracker::Init(const std::vector<std::string>& serverUrls, const std::string& distinctId,
                        const std::string& tid) {
  analytics_sdk::AnalyticsSdk* sdk = nullptr;
  {
    std::lock_guard<std::mutex> guard(sdkLock_);
    if (sdk_) return;
    const std::string path =
        stagingPath_.empty() ? nuv::os::TempFolder() + "nuv_tracker" : stagingPath_;
    sdk_ = analytics_sdk::AnalyticsSdk::Create(path, serverUrls, distinctId);
    sdk = sdk_.get();
  }
  NUV_LOG(3, "[INFO] tracker init tid=[%s], result=[%d].", tid.c_str(), sdk ? 1 : 0);
  if (!sdk) return;
  sdk->Queue().SetVerbose(false);

  analytics_sdk::PropertiesNode properties;
  properties.SetString("tid", tid);
  properties.Merge(OsSuperProperties());
  sdk->RegisterSuperProperties(properties);
  // Set only now, so that events waiting for Init carry the properties above.
  initialized_.store(true, std::memory_order_release);

  bool started;
  {
    std::lock_guard<std::mutex> guard(lock_);
    started = threadStarted_;
  }
  if (started) Signal();
}

void UsageTracker::RegisterSuperProperties(const analytics_sdk::PropertiesNode& properties) {
  if (analytics_sdk::AnalyticsSdk* sdk = Sdk()) sdk->RegisterSuperProperties(properties);
}

void UsageTracker::SetSuperProperty(const std::string& name, const std::string& value) {
  analytics_sdk::PropertiesNode node;
  if (node.SetString(name, value)) RegisterSuperProperties(node);
}

void UsageTracker::SetSuperProperty(const std::string& name, int64_t value) {
  analytics_sdk::PropertiesNode node;
  node.SetInteger(name, value);
  RegisterSuperProperties(node);
}

void UsageTracker::Signal() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    signaled_ = true;
  }
  wake_.notify_one();
}

void UsageTracker::QueueEvent(const std::string& eventName,
                              std::unique_ptr<analytics_sdk::PropertiesNode> properties) {
  if (!properties) properties = std::make_unique<analytics_sdk::PropertiesNode>();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_) return;
    const size_t sequence = pending_.size();
    pending_.emplace(sequence, std::make_pair(eventName, std::move(properties)));
    if (!threadStarted_) {
      threadStarted_ = true;
      thread_ = std::thread(&UsageTracker::Run, this);
    }
    signaled_ = true;
  }
  wake_.notify_one();
}

void UsageTracker::TrackPending(Pending& events, bool flush) {
  analytics_sdk::AnalyticsSdk* sdk = Sdk();
  if (!sdk) return;
  for (auto& [sequence, event] : events) {
    (void)sequence;
    NUV_LOG(3, "[INFO] tracker, event=[%s].", event.first.c_str());
    sdk->Track(event.first, *event.second, sdk->DistinctId());
    sdk->Queue().LoadStagingIfPending();
    bool sendNow = flush;
    if (sendNow) {
      std::lock_guard<std::mutex> guard(lock_);
      sendNow = !abandon_;
    }
    if (sendNow && sdk->Queue().Size() > 0 && !sdk->Flush())
      NUV_LOG(1, "[ERROR] tracker flush failed! event=[%s]", event.first.c_str());
  }
}

void UsageTracker::Run() {
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return signaled_; });
      signaled_ = false;
      if (!Initialized()) {
        if (stop_) break;
        continue;
      }
    }
    Pending events;
    {
      std::lock_guard<std::mutex> guard(lock_);
      events.swap(pending_);
    }
    TrackPending(events, true);
    std::lock_guard<std::mutex> guard(lock_);
    if (stop_ && pending_.empty()) break;
  }
  NUV_LOG(3, "[INFO] tracker, exit thread.");
  {
    std::lock_guard<std::mutex> guard(lock_);
    ended_ = true;
  }
  endedCv_.notify_all();
}

void UsageTracker::Stop() {
  bool started;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    signaled_ = true;
    started = threadStarted_;
  }
  if (!started) return;
  wake_.notify_one();
  bool ended;
  {
    std::unique_lock<std::mutex> guard(lock_);
    ended = endedCv_.wait_for(guard, std::chrono::milliseconds(5000), [this] { return ended_; });
  }
  if (!ended) return;
  std::lock_guard<std::mutex> join(joinLock_);
  if (thread_.joinable()) thread_.join();
}

bool UsageTracker::ThreadEnded() const {
  std::lock_guard<std::mutex> guard(lock_);
  return ended_;
}

UsageTracker& GetUsageTracker() {
  // Never destroyed: the engine's threads may still report while the process exits, after a
  // static tracker would be gone. Its exit work runs when the static objects are destroyed.
  static UsageTracker* tracker = new UsageTracker();
  static struct Closer {
    ~Closer() { tracker->Close(); }
  } closer;
  return *tracker;
}

}  // namespace analytics

#include "analytics/report_data_store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <utility>

#include "platform/endpoints.h"
#include "http/curl_request.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr size_t kMaxInstallerMessage = 256;
constexpr size_t kMaxInstallerMessages = 100;
// How long a crashed process waits for a lock another (or its own faulting) thread may hold.
constexpr auto kCrashLockWait = std::chrono::seconds(2);

}  // namespace

ReportDataStore::ReportDataStore(std::string baseUrl, analytics::CommonProperties& values)
    : values_(values),
      baseUrl_(std::move(baseUrl)),
      startTime_(static_cast<int64_t>(std::time(nullptr))) {}

ReportDataStore::LockA ReportDataStore::Lock(std::mutex& m) const {
  if (!crashed_) return LockA(m);
  // After a crash: retry for a bounded time instead of blocking (plain try_lock, which every
  // thread checker understands, rather than a timed lock).
  LockA lock(m, std::try_to_lock);
  const auto deadline = std::chrono::steady_clock::now() + kCrashLockWait;
  while (!lock.owns_lock() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lock.try_lock();
  }
  if (!lock.owns_lock()) NUV_LOG(2, "[WARN] report store, lock busy after crash.");
  return lock;
}

void ReportDataStore::SetReportValue(const std::string& key, const std::u16string& value) {
  SetReportValue(key, WideToUtf8(value));
}

void ReportDataStore::SetReportValue(const std::string& key, const std::string& utf8) {
  values_.SetText(key, utf8);
}

void ReportDataStore::SetReportNumber(const std::string& key, int32_t value) {
  SetReportValue(key, std::to_string(static_cast<uint32_t>(value)));
}

void ReportDataStore::SetReportTime(const std::string& key, int64_t seconds) {
  SetReportValue(key, std::to_string(static_cast<uint32_t>(static_cast<uint64_t>(seconds))));
}

std::string ReportDataStore::GetReportValue(const std::string& key) const {
  return values_.Get(key);
}

void ReportDataStore::AddRemark(const std::string& key, const std::string& value, bool quoted) {
  const std::string fragment =
      quoted ? "{\"" + key + "\":\"" + value + "\"}" : "{\"" + key + "\":" + value + "}";
  LockA lock = Lock(valuesLock_);
  if (!lock) return;
  if (std::find(remarks1_.begin(), remarks1_.end(), fragment) == remarks1_.end()) {
    remarks1_.push_back(fragment);
  }
}

void ReportDataStore::AddInstallerMessage(const std::u16string& text) {
  if (text.size() > kMaxInstallerMessage) return;
  static const std::u16string kEvent = u",\"event\"";
  static const std::u16string kTime = u"\",\"time\":\"";
  static const std::u16string kData = u"\",\"data\":\"";
  const size_t b = text.find(kEvent);
  const size_t c = text.find(kTime);
  const size_t d = text.find(kData);
  // Any local process can send this text: every marker must be there, in order, after the
  // seven-unit head, or the pieces below would be cut from outside the text.
  if (b == std::u16string::npos || c == std::u16string::npos || d == std::u16string::npos ||
      b < 7 || c < b + kEvent.size() || d < c + kTime.size()) {
    NUV_LOG(2, "[WARN] ignore installer message, length=[%zu].", text.size());
    return;
  }
  const std::u16string entry =
      u"{" + text.substr(7, b - 7) + text.substr(b + kEvent.size(), c - b - kEvent.size()) + u"," +
      text.substr(c + kTime.size(), d - c - kTime.size()) + u"," + text.substr(d + kData.size());
  LockA lock = Lock(valuesLock_);
  if (!lock || remarks2_.size() >= kMaxInstallerMessages) return;
  remarks2_.push_back(WideToUtf8(entry));
}

void ReportDataStore::SetTaskCount(int32_t id, int32_t count) {
  LockA lock = Lock(tasksLock_);
  if (lock) tasks_[id].count = count;
}

void ReportDataStore::SetTaskDownloadTimes(int32_t id, int64_t start, int64_t end) {
  LockA lock = Lock(tasksLock_);
  if (!lock) return;
  tasks_[id].downloadStart = start;
  tasks_[id].downloadEnd = end;
}

void ReportDataStore::SetTaskDownloadFailure(int32_t id, int32_t code) {
  LockA lock = Lock(tasksLock_);
  if (lock) tasks_[id].downloadFailure = code;
}

void ReportDataStore::SetTaskInstallTimes(int32_t id, int64_t start, int64_t end) {
  LockA lock = Lock(tasksLock_);
  if (!lock) return;
  tasks_[id].installStart = start;
  tasks_[id].installEnd = end;
}

void ReportDataStore::SetTaskInstallFailure(int32_t id, int32_t code) {
  LockA lock = Lock(tasksLock_);
  if (lock) tasks_[id].installFailure = code;
}

void ReportDataStore::SetTaskReportValue(int32_t id, const std::string& key,
                                         const std::string& utf8) {
  LockA lock = Lock(tasksLock_);
  if (lock) tasks_[id].values[key] = utf8;
}

void ReportDataStore::AddCdnAddress(const std::string& address) {
  LockA lock = Lock(tasksLock_);
  if (lock) cdnAddresses_.insert(address);
}

void ReportDataStore::AddCdnUrl(const std::string& url) {
  LockA lock = Lock(tasksLock_);
  if (lock) cdnUrls_.insert(url);
}

void ReportDataStore::SetPlatformBaseUrl(const std::string& baseUrl) {
  LockA lock = Lock(valuesLock_);
  if (lock) baseUrl_ = baseUrl;
}

std::string ReportDataStore::PlatformBaseUrl() const {
  LockA lock = Lock(valuesLock_);
  return lock ? baseUrl_ : std::string();
}

void ReportDataStore::SetTrackId(const std::string& trackId) {
  LockA lock = Lock(valuesLock_);
  if (lock) trackId_ = trackId;
}

void ReportDataStore::SetInstallerLogPath(const std::u16string& path) {
  LockA lock = Lock(valuesLock_);
  if (lock) installerLogPath_ = path;
}

std::u16string ReportDataStore::InstallerLogPath() const {
  LockA lock = Lock(valuesLock_);
  return lock ? installerLogPath_ : std::u16string();
}

void ReportDataStore::SetScreenSize(int width, int height) {
  screenWidth_ = width;
  screenHeight_ = height;
}

void ReportDataStore::RecordCrash(uint32_t code, uintptr_t address, uint32_t offset,
                                  const std::string& module, const std::string& section) {
  crashed_ = true;
  {
    LockA lock = Lock(valuesLock_);
    if (!lock) return;
    crash_.code = std::to_string(code);
    crash_.address = CrashAddressText(address);
    crash_.offset = std::to_string(offset);
    crash_.module = module;
    crash_.section = section;
  }
  SetReportNumber("closetype", 5);
}

TrackSnapshot ReportDataStore::Snapshot() const {
  TrackSnapshot s;
  s.values = values_.Snapshot();
  {
    LockA lock = Lock(valuesLock_);
    if (lock) {
      s.remarks1 = remarks1_;
      s.remarks2 = remarks2_;
      s.crash = crash_;
      s.trackId = trackId_;
      s.baseUrl = baseUrl_;
    }
  }
  {
    LockA lock = Lock(tasksLock_);
    if (lock) {
      s.tasks = tasks_;
      s.cdnAddresses = cdnAddresses_;
      s.cdnUrls = cdnUrls_;
    }
  }
  s.crashed = crashed_;
  s.multiTask = multiTask_;
  s.firstInstall = firstInstall_;
  s.startTime = startTime_;
  s.screenWidth = screenWidth_;
  s.screenHeight = screenHeight_;
  return s;
}

std::vector<std::string> ReportDataStore::SendTrackReport() {
  return SendTrackReport(CurrentTrackEnvironment());
}

std::vector<std::string> ReportDataStore::SendTrackReport(const TrackEnvironment& env) {
  std::vector<std::string> documents;
  if (!downloadStarted_) return documents;
  TrackSnapshot snapshot = Snapshot();
  auto sign = snapshot.values.find("client_sign");
  if (sign == snapshot.values.end() || sign->second.empty()) return documents;
  const std::string clientSign = sign->second;

  if (!snapshot.multiTask) {
    documents.push_back(BuildTrackDocument(snapshot, env));
    SendOne(documents.back(), clientSign, snapshot.values["product_id"], env);
    return documents;
  }
  // One document per task, each after its own values went into the value map.
  for (const auto& [id, stats] : snapshot.tasks) {
    SetReportValue("product_id", std::to_string(id));
    for (const auto& [key, value] : stats.values) SetReportValue(key, value);
    TrackSnapshot taskSnapshot = Snapshot();
    documents.push_back(BuildTrackDocument(taskSnapshot, env));
    SendOne(documents.back(), clientSign, taskSnapshot.values["product_id"], env);
  }
  return documents;
}

// The document is posted and copied after the store's locks are released: the post may take
// seconds, and the engine's threads keep writing values meanwhile.
void ReportDataStore::SendOne(const std::string& document, const std::string& clientSign,
                              const std::string& productId, const TrackEnvironment& env) const {
  if (document.empty()) return;
  const std::string url = TrackReportUrl(PlatformBaseUrl(), clientSign);
  int code = 0;
  CurlRequest(kRequestPost, Utf8ToWide(url), {"Content-Type: application/json"}, true, false,
              document, code);
  NUV_LOG(3, "[INFO] send track report, code=[%d].", code);

  // "x": an existing copy of the same second is kept as it is.
  const std::string path = TrackCopyPath(env, productId);
  if (FILE* f = std::fopen(path.c_str(), "wx")) {
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
  }
}

namespace {
// Taken before main; the store itself is made on first use, after the endpoint table can load.
const int64_t kProcessStartTime = static_cast<int64_t>(std::time(nullptr));
}  // namespace

ReportDataStore& GetReportDataStore() {
  static ReportDataStore* store = [] {
    auto* made =
        new ReportDataStore(GetEndpoints().platformBaseUrl, analytics::GetCommonProperties());
    made->SetStartTime(kProcessStartTime);
    return made;
  }();
  // Never destroyed: a crash or a late thread may still write to it at exit.
  return *store;
}

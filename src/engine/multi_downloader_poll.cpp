// The polling side of CMultiDownloader: progress, finished connections, splits, re-fetches, the
// resume record and the coverage of an attempt.
#include <algorithm>

#include "engine/engine_timings.h"
#include "engine/multi_downloader.h"
#include "engine/resume_record.h"
#include "log/simple_log.h"
#include "platform/os/file_holders.h"
#include "platform/os/memory.h"
#include "platform/os/sized_file.h"
#include "platform/os/tcp_stats.h"
#include "xml/utf.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace ns_NUK {

namespace {

int64_t FreeMemoryBuffer() {
  const uint64_t avail = nuv::os::AvailablePhysicalMemory();
  return avail <= static_cast<uint64_t>(kBufferSize) ? static_cast<int64_t>(avail) : kBufferSize;
}

// Failures that happen before a byte could be exchanged with the right server.
bool IsConnectFailure(int rc, bool connected) {
  switch (rc) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return true;
    case CURLE_OPERATION_TIMEDOUT:
      return !connected;
    default:
      return false;
  }
}

}  // namespace

uint32_t CMultiDownloader::TrafficEstimate() {
  uint64_t segs = 0;
  if (!ReadTcpInSegs(segs)) return 0;
  return static_cast<uint32_t>(segs * 1460ULL);
}

int64_t CMultiDownloader::DownloadedNow(int64_t* attemptBytes) {
  int64_t sum = 0;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    for (RangeConnection* c : connections_) sum += c->Downloaded();
  }
  if (attemptBytes) *attemptBytes = sum;
  return cached_.load() + sum;
}

void CMultiDownloader::ProgressPass(bool allowSave) {
  int64_t attemptBytes = 0;
  const int64_t downloaded = DownloadedNow(&attemptBytes);
  if (downloaded != lastReported_) {
    lastReported_ = downloaded;
    int64_t elapsed = Now() - attemptStart_.load();
    if (elapsed < 1) elapsed = 1;
    SendProgress(downloaded, static_cast<int>(attemptBytes / elapsed));
  }
  if (saveMark_ > downloaded) saveMark_ = 0;
  if (allowSave && downloaded - saveMark_ >= kSaveEvery) {
    saveMark_ = downloaded;
    SaveResumeRecord();
  }
}

bool CMultiDownloader::PollCycle() {
  {
    // Ends from here on are news to the next wait; earlier ones this cycle sees for itself.
    std::lock_guard<std::mutex> guard(endLock_);
    endsSeen_ = connectionEnds_;
  }
  ProgressPass(true);
  if (digest_) digest_->Settle(SettledPrefix());
  std::vector<RangeConnection*> finished;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    for (RangeConnection* c : connections_)
      if (IsFinalState(c->State()) && !c->handled) finished.push_back(c);
  }
  // Three finished connections a cycle, which paces the splits and the re-fetches. A completed
  // connection beyond those can only split, so once no running connection is left to split,
  // keeping it for a later cycle only delays the end of the attempt.
  size_t processed = 0;
  for (RangeConnection* c : finished) {
    if (processed >= kFinishedPerCycle && (c->State() != kConnCompleted || SplitCandidate()))
      continue;
    c->handled = true;
    ProcessFinished(c);
    ++processed;
  }
  // Ended here rather than one empty cycle later: what processing started is not final yet.
  std::lock_guard<std::mutex> guard(listLock_);
  for (RangeConnection* c : connections_)
    if (!IsFinalState(c->State()) || !c->handled) return true;
  return false;
}

void CMultiDownloader::OnConnectionEnded() {
  {
    std::lock_guard<std::mutex> guard(endLock_);
    ++connectionEnds_;
  }
  endWake_.notify_all();
}

bool CMultiDownloader::AttemptCanEndNow() {
  std::lock_guard<std::mutex> guard(listLock_);
  for (RangeConnection* c : connections_) {
    const int state = c->State();
    if (!IsFinalState(state)) return false;
    if (!c->handled && state != kConnCompleted && state != kConnCancelled) return false;
  }
  return true;
}

void CMultiDownloader::WaitForNextCycle(int pollMs) {
  // A cycle run early then can neither split (nothing runs) nor re-fetch (no failure waits), so
  // the cadence of both stays the polling period's; only the end of the attempt comes sooner.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pollMs);
  std::unique_lock<std::mutex> guard(endLock_);
  bool cancelSeen = false;
  while (endWake_.wait_until(guard, deadline, [&] {
    return connectionEnds_ != endsSeen_ || (cancelled_.load() && !cancelSeen);
  })) {
    cancelSeen = cancelled_.load();
    endsSeen_ = connectionEnds_;
    guard.unlock();
    const bool early = AttemptCanEndNow();
    guard.lock();
    if (early) return;
  }
}

void CMultiDownloader::ProcessFinished(RangeConnection* c) {
  // A failed connection's figures are final only once its thread has ended.
  if (c->State() != kConnCancelled) c->Join();
  const int rc = c->CurlResult();
  const int state = c->State();
  if (rc != CURLE_OK && rc != CURLE_WRITE_ERROR && rc != CURLE_ABORTED_BY_CALLBACK) {
    NUV_LOG(1, "[ERROR] multi, curl_error=[%d][%s].", rc,
            curl_easy_strerror(static_cast<CURLcode>(rc)));
    if (rc == CURLE_COULDNT_CONNECT)
      result_.store(kResultConnect);
    else if (rc == CURLE_SEND_ERROR)
      result_.store(kResultSend);
    else if (rc == CURLE_RECV_ERROR)
      result_.store(kResultReceive);
    else if (rc == CURLE_RANGE_ERROR) {
      rangeMode_ = false;
      result_.store(kResultReceive);
    }
  }
  if (state == kConnFailed || state == kConnException) {
    if (rc == CURLE_SEND_ERROR)
      lastFailure_ = kResultSend;
    else
      lastFailure_ = IsConnectFailure(rc, c->Connected()) ? kResultConnect : kResultReceive;
  }
  // A server that ignores Range (200 for a later range) is treated like one that refuses it.
  if (c->HttpCode() == 416 || c->Refused() == kRefusedIgnoredRange) {
    rangeMode_ = false;
    result_.store(kResultReceive);
  }
  if (c->Refused() == kRefusedDisablePage) rangeMode_ = false;
  const bool refetchAllowed = rangeMode_;
  const std::string eff = c->EffectiveUrl();
  if (!eff.empty() && eff.find("disable.htm") != std::string::npos &&
      (eff.find("10.") != std::string::npos || eff.find("192.") != std::string::npos ||
       eff.find("172.") != std::string::npos))
    rangeMode_ = false;

  if (state == kConnCompleted && rangeMode_) {
    int unfinished = 0;
    {
      std::lock_guard<std::mutex> guard(listLock_);
      for (RangeConnection* o : connections_)
        if (!IsFinalState(o->State())) ++unfinished;
    }
    const int k = FlowAdjustment(unfinished + 1) + 1;
    bool last = false;
    for (int i = 0; i < k; ++i) {
      last = Split(c->Ip());
      if (!last) break;
    }
    if (k > 0 && last) result_.store(kResultOk);
    return;
  }
  if (state == kConnFailed || state == kConnException) {
    const int64_t from = c->StartOffset() + c->Saved();
    const int64_t to = c->EffectiveEnd();
    if (state == kConnException)
      NUV_LOG(3, "[INFO] multi, exception, redownload range(%lld~%lld).",
              static_cast<long long>(from), static_cast<long long>(to));
    if (!refetchAllowed || from > to) return;
    // A range that keeps failing without a byte is given up for this attempt.
    if (c->Saved() == 0 && ++fruitless_[from] > kMaxFruitlessRefetches) {
      NUV_LOG(1, "[ERROR] multi, range(%lld~%lld) makes no progress, not fetched again.",
              static_cast<long long>(from), static_cast<long long>(to));
      return;
    }
    if (state == kConnFailed)
      NUV_LOG(3, "[INFO] multi, failed, redownload range(%lld~%lld).", static_cast<long long>(from),
              static_cast<long long>(to));
    const int64_t buffer = FreeMemoryBuffer();
    if (buffer >= kMinBuffer) c->replaced = true;  // the new connection owns the rest now
    if (StartConnection(from, to, buffer, {})) result_.store(kResultOk);
    return;
  }
  if (state == kConnCancelled) result_.store(kResultCancelled);
}

int CMultiDownloader::FlowAdjustment(int n) {
  const uint32_t estimate = TrafficEstimate();
  if (estimate == trafficBaseline_) return 0;
  const uint64_t trafficDelta = static_cast<uint32_t>(estimate - trafficBaseline_);
  int64_t attemptBytes = 0;
  DownloadedNow(&attemptBytes);
  const uint64_t bytesDelta = static_cast<uint64_t>(attemptBytes) - bytesBaseline_;
  int result = 0;
  if (bytesDelta < trafficDelta) {
    const double rate = static_cast<double>(bytesDelta) / static_cast<double>(trafficDelta);
    NUV_LOG(3, "[INFO] thread_cnt=[%d], flow_rate=[%.02f].", std::min(n, kMaxConnections), rate);
    if (rate > 0.81 && n > connectionCount_)
      result = -1;
    else if (rate < 0.79 && n < kMaxConnections)
      result = 1;
  }
  trafficBaseline_ = estimate;
  bytesBaseline_ = static_cast<uint64_t>(attemptBytes);
  return result;
}

RangeConnection* CMultiDownloader::SplitCandidate() {
  std::lock_guard<std::mutex> guard(listLock_);
  for (RangeConnection* c : connections_)
    if (c->State() == kConnRunning && c->Remaining() > kMinBuffer) return c;
  return nullptr;
}

bool CMultiDownloader::Split(const std::string& ip) {
  RangeConnection* victim = SplitCandidate();
  if (!victim) return false;
  const int64_t half = victim->Remaining() / 2;
  const int64_t end = victim->EffectiveEnd();
  const int64_t newStart = end - half;
  if (!StartConnection(newStart, end, FreeMemoryBuffer(), ip)) return false;
  victim->LowerEnd(newStart - 1);
  return true;
}

void CMultiDownloader::SaveResumeRecord() {
  std::vector<RangeEntry> entries;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    for (RangeConnection* c : connections_) {
      // Every range part not yet written and not taken over by another connection; a failed
      // connection awaiting its re-fetch still owns its rest.
      if (c->replaced) continue;
      const int64_t first = c->StartOffset() + c->Saved();
      const int64_t last = c->EffectiveEnd();
      if (first <= last) entries.emplace_back(first, last);
    }
  }
  if (entries.empty()) return;
  const std::string bytes = EncodeResumeRecord(entries);
  if (file_.WriteAndEnd(total_.load(), static_cast<int64_t>(bytes.size()), bytes.data()) !=
      static_cast<int64_t>(bytes.size()))
    NUV_LOG(1, "[ERROR] multi, write cache info failed! write count.");
}

bool CMultiDownloader::CutResumeRecord() {
  const std::string temp = TempPath();
  for (int tries = 0; tries < 5; ++tries) {
    int error = 0;
    const int fd = nuv::os::OpenReadWrite(temp, error);
    if (fd >= 0) {
      const bool ok = nuv::os::Truncate(fd, total_.load(), error);
      nuv::os::CloseFd(fd);
      if (ok) return true;
    }
    NUV_LOG(1, "[ERROR] multi, remove cache info failed! err=[%d].", error);
    if (error != ETXTBSY && error != EBUSY) return false;
    LogFileLockers(temp);
    std::this_thread::sleep_for(std::chrono::milliseconds(GetEngineTimings().lockedRetryMs));
  }
  return false;
}

int64_t CMultiDownloader::SettledPrefix() {
  std::vector<std::pair<int64_t, int64_t>> have;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    for (RangeConnection* c : connections_)
      if (c->Saved() > 0) have.emplace_back(c->StartOffset(), c->StartOffset() + c->Saved() - 1);
  }
  // The bytes outside this attempt's ranges were kept from an earlier run.
  const int64_t total = total_.load();
  int64_t from = 0;
  for (const auto& [first, last] : needed_) {
    if (first > from) have.emplace_back(from, first - 1);
    from = last + 1;
  }
  if (from < total) have.emplace_back(from, total - 1);
  std::sort(have.begin(), have.end());
  int64_t next = 0;
  for (const auto& [first, last] : have) {
    if (first > next) break;
    if (last >= next) next = last + 1;
  }
  return next < total ? next : total;
}

void CMultiDownloader::JoinConnections() {
  std::vector<RangeConnection*> list;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    list = connections_;
  }
  for (RangeConnection* c : list) c->Join();
}

void CMultiDownloader::DeleteConnections() {
  std::vector<RangeConnection*> list;
  {
    std::lock_guard<std::mutex> guard(listLock_);
    list.swap(connections_);
  }
  for (RangeConnection* c : list) delete c;
}

}  // namespace ns_NUK

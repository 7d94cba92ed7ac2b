#include "engine/range_connection.h"

#include <strings.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/engine_timings.h"
#include "engine/url_host.h"
#include "http/transfer_rules.h"
#include "log/simple_log.h"

namespace ns_NUK {

namespace {

constexpr long kReceiveBufferSize = 256 * 1024;

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Trident/4.0)";

// "bytes a-b/c": false when it does not read so; c is -1 for "*".
bool ParseContentRange(const std::string& v, int64_t& first, int64_t& size) {
  long long a = 0, b = 0;
  char tail[32] = {0};
  if (std::sscanf(v.c_str(), " bytes %lld-%lld/%31s", &a, &b, tail) != 3) return false;
  first = a;
  size = (tail[0] == '*') ? -1 : std::strtoll(tail, nullptr, 10);
  return true;
}

}  // namespace

int64_t RangeConnection::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

RangeConnection::~RangeConnection() {
  Cancel();
  Join();
  if (handle_) curl_easy_cleanup(handle_);
  curl_slist_free_all(resolveList_);
  curl_slist_free_all(headerList_);
  std::free(buffer_);
}

void RangeConnection::Join() {
  if (thread_.joinable()) thread_.join();
}

bool RangeConnection::Init(const std::string& url, int64_t start, int64_t end,
                           const std::string& ip, const std::u16string& tempFileName) {
  url_ = url;
  start_ = start;
  end_.store(end);
  ip_ = ip;
  tempFileName_ = tempFileName;
  host_ = UrlHost(url);
  handle_ = curl_easy_init();
  NUV_LOG(3, "[INFO] easy=[%p], init, host=[%s], range(%lld~%lld)", static_cast<void*>(this),
          ip_.c_str(), static_cast<long long>(start), static_cast<long long>(end));
  if (!handle_) {
    NUV_LOG(1, "[ERROR] easy=[%p], init failed!", static_cast<void*>(this));
    return false;
  }
  // A port written in the URL is the only one to pin; otherwise both default ports.
  for (const std::string& entry : ResolveEntries(host_, ip_))
    resolveList_ = curl_slist_append(resolveList_, entry.c_str());
  std::string range = "Range: bytes=" + std::to_string(start) + "-";
  if (end > 0 && end >= start) range += std::to_string(end);
  headerList_ = curl_slist_append(headerList_, range.c_str());

  const EngineTimings timings = GetEngineTimings();
  curl_easy_setopt(handle_, CURLOPT_URL, url_.c_str());
  if (url_.find("http://") != std::string::npos)
    curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headerList_);
  curl_easy_setopt(handle_, CURLOPT_RESOLVE, resolveList_);
  ApplyTransferRules(handle_, url_);
  curl_easy_setopt(handle_, CURLOPT_TCP_FASTOPEN, 1L);
  curl_easy_setopt(handle_, CURLOPT_TCP_NODELAY, 1L);
  // Reads of up to 256 KiB instead of libcurl's 16 KiB: on a fast link far fewer receive calls
  // and write callbacks, CPU that the other connections and the running MD5 get instead.
  curl_easy_setopt(handle_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings.connectTimeoutSec));
  curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timings.lowSpeedTimeSec));
  curl_easy_setopt(handle_, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle_, CURLOPT_FILETIME, 1L);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &RangeConnection::OnData);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &RangeConnection::OnHeader);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(handle_, CURLOPT_PRIVATE, this);
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &RangeConnection::OnProgress);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
  return true;
}

bool RangeConnection::Start() {
  int expected = kConnCreated;
  if (!handle_ || !state_.compare_exchange_strong(expected, kConnRunning)) return false;
  startTime_.store(NowMs() / 1000);
  thread_ = std::thread(&RangeConnection::Run, this);
  return true;
}

void RangeConnection::FailUnstarted() {
  int expected = kConnCreated;
  if (!state_.compare_exchange_strong(expected, kConnFailed)) return;
  curlResult_.store(CURLE_FAILED_INIT);
  endTime_.store(NowMs() / 1000);
  threadDone_.store(true);
}

void RangeConnection::CancelUnstarted() {
  int expected = kConnCreated;
  if (!state_.compare_exchange_strong(expected, kConnCancelled)) return;
  endTime_.store(NowMs() / 1000);
  threadDone_.store(true);
}

bool RangeConnection::Cancel() {
  int s = state_.load();
  while (s == kConnRunning || s == kConnPaused) {
    lastActivityMs_.store(NowMs());
    if (state_.compare_exchange_weak(s, kConnCancelled)) {
      endTime_.store(NowMs() / 1000);
      LogState(kConnCancelled);
      return true;
    }
  }
  return false;
}

bool RangeConnection::Resume() {
  int expected = kConnPaused;
  if (!state_.compare_exchange_strong(expected, kConnRunning)) return false;
  // Nothing in the system pauses a transfer, so there is no curl_easy_pause to undo here.
  lastActivityMs_.store(NowMs());
  return true;
}

int64_t RangeConnection::EffectiveEnd() const {
  const int64_t e = end_.load();
  return e >= 0 ? e : total_.load() - 1;
}

int64_t RangeConnection::Remaining() const {
  const int64_t r = EffectiveEnd() - start_ - downloaded_.load() + 1;
  return r > 0 ? r : 0;
}

void RangeConnection::LowerEnd(int64_t newEnd) {
  std::lock_guard<std::mutex> guard(rangeLock_);
  end_.store(newEnd);
  if (downloaded_.load() > newEnd - start_) downloaded_.store(newEnd - start_ + 1);
}

std::string RangeConnection::EffectiveUrl() const {
  std::lock_guard<std::mutex> guard(urlLock_);
  return effectiveUrl_;
}

size_t RangeConnection::OnData(char* data, size_t size, size_t count, void* self) {
  return static_cast<RangeConnection*>(self)->HandleData(data, size * count);
}

size_t RangeConnection::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* c = static_cast<RangeConnection*>(self);
  const size_t n = size * count;
  std::string line(data, n);
  if (line.rfind("HTTP/", 0) == 0) c->contentRange_.clear();  // a new answer (after a redirect)
  if (n > 14 && strncasecmp(line.c_str(), "Content-Range:", 14) == 0) {
    line.erase(0, 14);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    c->contentRange_ = line;
  }
  return n;
}

int RangeConnection::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<RangeConnection*>(self)->HandleProgress();
}

// Judged once, at the first body byte, so that an error page, a whole file sent for a range or a
// disable page never reaches the package file.
bool RangeConnection::AcceptAnswer() {
  long code = 0;
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &code);
  httpCode_.store(static_cast<int>(code));
  char* eff = nullptr;
  curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &eff);
  int reason = kRefusedNone;
  if (eff && std::strstr(eff, "disable.htm")) {
    reason = kRefusedDisablePage;
  } else if (code < 200 || code > 299) {
    reason = kRefusedHttpStatus;
  } else if (code == 200 && start_ > 0) {
    reason = kRefusedIgnoredRange;
  } else if (code == 206) {
    int64_t first = 0, size = -1;
    const int64_t total = total_.load();
    if (!ParseContentRange(contentRange_, first, size) || first != start_ ||
        (size >= 0 && total > 0 && size != total))
      reason = kRefusedContentRange;
  }
  if (reason == kRefusedNone) return true;
  refused_.store(reason);
  NUV_LOG(2, "[WARN] easy=[%p], answer refused, http code=[%ld], reason=[%d].",
          static_cast<void*>(this), code, reason);
  return false;
}

size_t RangeConnection::HandleData(const char* data, size_t n) {
  if (writeFailed_ || refused_.load() != kRefusedNone) return 0;
  if (!answerChecked_) {
    answerChecked_ = true;
    if (!AcceptAnswer()) {
      SetState(kConnFailed);
      return 0;
    }
  }
  if (!buffer_) {
    buffer_ = static_cast<char*>(std::calloc(1, static_cast<size_t>(bufferSize_)));
    if (!buffer_) {
      NUV_LOG(1, "[ERROR] easy=[%p], new buf failed! size=[%d].", static_cast<void*>(this),
              static_cast<int>(bufferSize_));
      return n;
    }
  }
  lastActivityMs_.store(NowMs());
  std::lock_guard<std::mutex> guard(rangeLock_);
  const int64_t remaining = Remaining();
  const int64_t take = static_cast<int64_t>(n) < remaining ? static_cast<int64_t>(n) : remaining;
  if (bufferFill_ + take < bufferSize_) {
    std::memcpy(buffer_ + bufferFill_, data, static_cast<size_t>(take));
    bufferFill_ += take;
  } else {
    Flush(buffer_, bufferFill_);
    bufferFill_ = 0;
    if (take < bufferSize_) {
      std::memcpy(buffer_, data, static_cast<size_t>(take));
      bufferFill_ = take;
    } else {
      Flush(data, take);
    }
  }
  downloaded_.fetch_add(take);
  if (writeFailed_) return 0;
  return static_cast<size_t>(take);
}

void RangeConnection::Flush(const char* data, int64_t length) {
  if (!writer_ || !data || length <= 0 || writeFailed_) return;
  const int64_t written = writer_->Write(start_ + saved_.load(), length, data);
  saved_.fetch_add(written);
  if (written != length) {
    writeFailed_ = true;
    refused_.store(kRefusedWriteError);
  }
}

int RangeConnection::HandleProgress() {
  const int s = state_.load();
  if (s == kConnCancelled) {
    SetState(kConnCancelled);
    return 1;
  }
  if (s != kConnRunning) return 0;
  if (writeFailed_) {
    SetState(kConnFailed);
    return 4;
  }
  if (start_ + downloaded_.load() > EffectiveEnd()) {
    SetState(kConnCompleted);
    return 2;
  }
  const int64_t last = lastActivityMs_.load();
  if (last != 0 && NowMs() - last > GetEngineTimings().stallMs) {
    SetState(kConnFailed);
    return 3;
  }
  return 0;
}

void RangeConnection::SetState(int s) {
  if (buffer_) {
    std::lock_guard<std::mutex> guard(rangeLock_);
    Flush(buffer_, bufferFill_);
    bufferFill_ = 0;
    std::free(buffer_);
    buffer_ = nullptr;
  }
  // Bytes that did not reach the file leave the range incomplete, whatever was received.
  if (writeFailed_ && s == kConnCompleted) s = kConnFailed;
  int cur = state_.load();
  if (cur == s) return;
  if (cur != kConnRunning && cur != kConnPaused) return;  // a final state stays
  if (!state_.compare_exchange_strong(cur, s)) return;
  endTime_.store(NowMs() / 1000);
  curl_off_t speed = 0;
  if (handle_ && curl_easy_getinfo(handle_, CURLINFO_SPEED_DOWNLOAD_T, &speed) == CURLE_OK)
    speed_.store(static_cast<double>(speed));
  LogState(s);
}

void RangeConnection::LogState(int s) {
  void* self = static_cast<void*>(this);
  const long long st = start_, en = end_.load(), dl = downloaded_.load(), rem = Remaining(),
                  sv = saved_.load();
  const double sp = speed_.load();
  switch (s) {
    case kConnCompleted:
      NUV_LOG(3,
              "[INFO] easy=[%p], success. range(%lld~%lld), downloaded=[%lld], "
              "undownloaded=[%lld], saved=[%lld], speed=[%.0f B/s].",
              self, st, en, dl, rem, sv, sp);
      break;
    case kConnFailed:
      NUV_LOG(1,
              "[ERROR] easy=[%p], failed! range(%lld~%lld), downloaded=[%lld], "
              "undownloaded=[%lld], saved=[%lld], speed=[%.0f B/s].",
              self, st, en, dl, rem, sv, sp);
      break;
    case kConnCancelled:
      NUV_LOG(2,
              "[WARN] easy=[%p], cancel, range(%lld~%lld), downloaded=[%lld], "
              "undownloaded=[%lld], saved=[%lld], speed=[%.0f B/s].",
              self, st, en, dl, rem, sv, sp);
      break;
    case kConnException:
      NUV_LOG(2,
              "[WARN] easy=[%p], exception! range(%lld~%lld), downloaded=[%lld], "
              "undownloaded=[%lld], saved=[%lld], speed=[%.0f B/s].",
              self, st, en, dl, rem, sv, sp);
      break;
    default:
      break;
  }
}

void RangeConnection::Run() {
  void* self = static_cast<void*>(this);
  const CURLcode rc = curl_easy_perform(handle_);
  curlResult_.store(rc);
  long code = 0;
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &code);
  httpCode_.store(static_cast<int>(code));
  curl_off_t connectTime = 0;
  if (curl_easy_getinfo(handle_, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK)
    connected_.store(connectTime > 0);
  const bool complete = start_ + downloaded_.load() > EffectiveEnd();
  // Only the state decides: a range that is complete is a success even when the transfer was
  // stopped at its (lowered) end with a write error.
  if (state_.load() == kConnRunning && complete && refused_.load() == kRefusedNone) {
    SetState(kConnCompleted);
  }
  if (rc != CURLE_OK && state_.load() == kConnRunning) {
    NUV_LOG(1, "[ERROR] easy=[%p], curl_easy_perform failed! err=[%d][%s].", self,
            static_cast<int>(rc), curl_easy_strerror(rc));
    SetState(kConnFailed);
  }
  if (state_.load() == kConnRunning && code != 0 && (code < 200 || code > 299)) {
    NUV_LOG(2, "[WARN] easy=[%p], http code=[%d].", self, static_cast<int>(code));
    SetState(kConnFailed);
  }
  // A clean end before the range is complete must still reach a final state.
  if (state_.load() == kConnRunning) SetState(kConnException);
  SetState(state_.load());  // flushes and frees what is left in the buffer
  const long long tEnd = endTime_.load(), tStart = startTime_.load();
  NUV_LOG(3,
          "[INFO] easy=[%p], status=[%d], ip=[%s], tEnd(%lld)-tStart(%lld)=[%lld], "
          "range(%lld~%lld), downloaded=[%lld], undownloaded=[%lld], saved=[%lld].",
          self, state_.load(), ip_.c_str(), tEnd, tStart, tEnd - tStart,
          static_cast<long long>(start_), static_cast<long long>(end_.load()),
          static_cast<long long>(downloaded_.load()), static_cast<long long>(Remaining()),
          static_cast<long long>(saved_.load()));
  long verify = 0;
  if (curl_easy_getinfo(handle_, CURLINFO_SSL_VERIFYRESULT, &verify) == CURLE_OK && verify != 0)
    NUV_LOG(2, "[WARN] easy=[%p], ssl verify result=[%d].", self, static_cast<int>(verify));
  char* eff = nullptr;
  if (curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &eff) == CURLE_OK && eff && url_ != eff) {
    NUV_LOG(3, "[INFO] easy=[%p], effective url=[%s].", self, eff);
    std::lock_guard<std::mutex> guard(urlLock_);
    effectiveUrl_ = eff;
  }
  curl_easy_cleanup(handle_);
  handle_ = nullptr;
  curl_slist_free_all(resolveList_);
  resolveList_ = nullptr;
  curl_slist_free_all(headerList_);
  headerList_ = nullptr;
  writer_ = nullptr;
  threadDone_.store(true);
  if (endSink_) endSink_->OnConnectionEnded();
}

}  // namespace ns_NUK

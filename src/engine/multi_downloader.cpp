#include "engine/multi_downloader.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/engine_timings.h"
#include "engine/file_digest.h"
#include "engine/resume_record.h"
#include "engine/url_host.h"
#include "http/transfer_rules.h"
#include "log/simple_log.h"
#include "platform/os/file_trust.h"
#include "platform/os/files.h"
#include "platform/os/memory.h"
#include "platform/os/sized_file.h"
#include "xml/utf.h"

namespace ns_NUK {

std::string FileNameOfUrl(const std::string& url) {
  // The query and the fragment name no file: "a.run?x=1/y" is saved as "a.run".
  const std::string path = url.substr(0, url.find_first_of("?#"));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int64_t CMultiDownloader::Now() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

CMultiDownloader::~CMultiDownloader() {
  if (thread_.joinable()) thread_.join();
  DeleteConnections();
}

void CMultiDownloader::SetServerMd5(const std::string& md5) {
  NUV_LOG(3, "[INFO] multi, set server md5=[%s].", md5.c_str());
  std::string upper = md5;
  for (char& c : upper)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  expectedMd5_ = upper;
}

bool CMultiDownloader::Start(int taskId, const std::string& url, const std::string& folder) {
  NUV_LOG(3, "[INFO] multi, download id=[%d], url=[%s], dir=[%s].", taskId, url.c_str(),
          folder.c_str());
  taskId_ = taskId;
  {
    std::lock_guard<std::mutex> guard(infoLock_);
    url_ = url;
    folder_ = folder;
    if (folder_.empty() || folder_.back() != '/') folder_ += '/';
  }
  thread_ = std::thread(&CMultiDownloader::Run, this);
  return true;
}

void CMultiDownloader::CancelAll() {
  NUV_LOG(3, "[INFO] multi, cancel.");
  {
    // A cancel also reaches a task between two attempts or between two connections: otherwise a
    // removal would wait for the whole remaining download.
    std::lock_guard<std::mutex> guard(cancelLock_);
    cancelled_.store(true);
  }
  cancelWake_.notify_all();
  {
    std::lock_guard<std::mutex> guard(endLock_);  // so that the poll wait cannot miss it
  }
  endWake_.notify_all();
  std::lock_guard<std::mutex> guard(listLock_);
  for (RangeConnection* c : connections_) c->Cancel();
}

void CMultiDownloader::PauseBetweenAttempts() {
  std::unique_lock<std::mutex> guard(cancelLock_);
  cancelWake_.wait_for(guard, std::chrono::milliseconds(GetEngineTimings().retryPauseMs),
                       [this] { return cancelled_.load(); });
}

bool CMultiDownloader::ResumeAll() {
  NUV_LOG(3, "[INFO] multi, resume.");
  std::lock_guard<std::mutex> guard(listLock_);
  for (RangeConnection* c : connections_) c->Resume();
  return true;
}

int64_t CMultiDownloader::Write(int64_t offset, int64_t length, const void* data) {
  const int64_t written = file_.Write(offset, length, data);
  if (RunningDigest* digest = digest_.get()) digest->NoteWrite(offset);
  return written;
}

bool CMultiDownloader::Send(int type, intptr_t payload, int extra1, int extra2) {
  if (!notificationsOn_.load() || !observer_) return false;
  auto* n = new DownloadNotification;
  n->taskId = taskId_;
  n->type = type;
  n->payload = payload;
  n->extra1 = extra1;
  n->extra2 = extra2;
  observer_->Notify(n, 0);
  return true;
}

void CMultiDownloader::SendProgress(int64_t downloaded, int speed) {
  auto* p = new ProgressPayload;
  p->total = total_.load();
  p->downloaded = downloaded;
  p->speed = speed;
  if (!Send(kNotifyProgress, reinterpret_cast<intptr_t>(p))) delete p;  // nobody took it
}

void CMultiDownloader::GetProgress(int64_t* total, int64_t* downloaded, int64_t* attempts,
                                   int* elapsedSeconds) {
  if (total) *total = total_.load();
  if (downloaded) *downloaded = DownloadedNow(nullptr);
  if (attempts) *attempts = attempt_.load();
  if (elapsedSeconds) {
    const int64_t e = Now() - attemptStart_.load();
    *elapsedSeconds = static_cast<int>(e < 1 ? 1 : e);
  }
}

void CMultiDownloader::GetStrings(std::u16string* url, std::u16string* folder,
                                  std::u16string* fileName) {
  std::lock_guard<std::mutex> guard(infoLock_);
  if (url) *url = Utf8ToWide(url_);
  if (folder) *folder = Utf8ToWide(folder_);
  if (fileName) *fileName = Utf8ToWide(fileName_);
}

void CMultiDownloader::Run() {
  NUV_LOG(3, "[INFO] multi, thread begin.");
  Send(kNotifyPrepare);
  Send(kNotifyStarted);
  if (IHostResolver* resolver = GetHostResolver()) resolver->ResolveHost(url_, false, *this);
  {
    std::lock_guard<std::mutex> guard(infoLock_);
    fileName_ = FileNameOfUrl(url_);
    targetPath_ = folder_ + fileName_;
  }
  const std::u16string wideName = Utf8ToWide(fileName_);
  Send(kNotifyFileName, reinterpret_cast<intptr_t>(&wideName));
  if (total_.load() <= 0 && !cancelled_.load()) total_.store(SizeQuery());
  if (cancelled_.load()) {
    result_.store(kResultCancelled);
    const int32_t code = result_.load();
    Send(kNotifyFinished, reinterpret_cast<intptr_t>(&code));
    return;
  }
  if (total_.load() <= 0) {
    NUV_LOG(1, "[ERROR] multi, get file size from server failed!");
    const int32_t error = 2;
    Send(kNotifyPackageInfoFailed, reinterpret_cast<intptr_t>(&error));
    result_.store(kResultNoSize);
    const int32_t code = result_.load();
    Send(kNotifyFinished, reinterpret_cast<intptr_t>(&code));
    return;
  }
  Send(kNotifyFileSize, static_cast<intptr_t>(total_.load()));
  // A file at the target that is not our own is no download of ours, whatever its bytes.
  if (nuv::os::IsOwnRegularFile(targetPath_) && CheckFileSize(targetPath_, false) &&
      CheckFileMd5(targetPath_, false)) {
    NUV_LOG(3, "[INFO] multi, is already downloaded.");
    result_.store(kResultOk);
    const int32_t code = 0;
    Send(kNotifyFinished, reinterpret_cast<intptr_t>(&code));
    return;
  }
  rangeMode_ = true;
  while (attempt_.load() < kAttempts) {
    if (cancelled_.load()) {
      result_.store(kResultCancelled);
      break;
    }
    if (RunAttempt() == kStopAttempts) break;
  }
  const int32_t code = result_.load();
  Send(kNotifyFinished, reinterpret_cast<intptr_t>(&code));
}

CMultiDownloader::AttemptEnd CMultiDownloader::RunAttempt() {
  const int attempt = attempt_.load();
  if (attempt == kForcedResolveAttempt) {
    if (IHostResolver* resolver = GetHostResolver()) resolver->ResolveHost(url_, true, *this);
    rangeMode_ = true;
  }
  result_.store(kResultOk);
  lastFailure_ = 0;
  fruitless_.clear();
  needed_.clear();
  trafficBaseline_ = TrafficEstimate();
  bytesBaseline_ = 0;
  SizeByMemory();
  Send(kNotifyDownloadParams, 0, connectionCount_, bufferSize_);
  if (!PrepareAttempt()) {
    // A preparation that failed without a code (the file would not open) must not end as success.
    if (result_.load() == kResultOk) result_.store(kResultFileError);
    DeleteConnections();
    return kStopAttempts;
  }
  NUV_LOG(3, "[INFO] multi, start retry=[%d], thread=[%d], buffer=[%d].", attempt, connectionCount_,
          bufferSize_);
  const int32_t attemptNo = attempt;
  Send(kNotifyAttemptStarted, reinterpret_cast<intptr_t>(&attemptNo));
  attemptStart_.store(Now());
  const int pollMs = GetEngineTimings().pollMs;
  do {
    WaitForNextCycle(pollMs);
  } while (PollCycle());
  attemptEnd_ = Now();
  if (digest_)
    NUV_LOG(3, "[INFO] multi, md5 hashed=[%lld] of total=[%lld] when the transfers ended.",
            static_cast<long long>(digest_->Hashed()), static_cast<long long>(total_.load()));
  int64_t attemptBytes = 0;
  const int64_t downloaded = DownloadedNow(&attemptBytes);
  const int64_t elapsed = attemptEnd_ - attemptStart_.load();
  NUV_LOG(3,
          "[INFO] multi, finished, retry=[%d], downloaded=[%lld], speed=[%.0f B/s], "
          "tEnd(%lld)-tStart(%lld)=[%lld], thread=[%d], curl_multi=[%d].",
          attempt, static_cast<long long>(downloaded),
          static_cast<double>(attemptBytes) / static_cast<double>(elapsed < 1 ? 1 : elapsed),
          static_cast<long long>(attemptEnd_), static_cast<long long>(attemptStart_.load()),
          static_cast<long long>(elapsed), connectionCount_, 0);
  // Every transfer thread ends before the record is written and the coverage is judged, so
  // that no buffer is flushed after either.
  JoinConnections();
  ProgressPass(false);
  // With every transfer thread ended, this is final: it judges the attempt and feeds the hash.
  const int64_t settled = SettledPrefix();
  if (digest_) digest_->Settle(settled);
  if (cancelled_.load()) result_.store(kResultCancelled);
  if (result_.load() != kResultCancelled) {
    // Success means every byte of the attempt's ranges was received and saved.
    if (settled >= total_.load()) {
      result_.store(kResultOk);
    } else if (result_.load() == kResultOk) {
      result_.store(lastFailure_ != 0 ? lastFailure_ : kResultReceive);
      NUV_LOG(1, "[ERROR] multi, ranges incomplete, status=[%d].", result_.load());
    }
  }
  if (result_.load() == kResultCancelled) SaveResumeRecord();
  file_.CloseFile();
  const std::string temp = TempPath();
  if (result_.load() == kResultOk) CutResumeRecord();
  const bool verified = result_.load() == kResultOk && CheckFileSize(temp, true) &&
                        (expectedMd5_.size() < 4 || MatchMd5(FinishedDigest(temp), true));
  digest_.reset();
  if (verified) {
    nuv::os::UnlinkFile(targetPath_, nullptr);
    int error = 0;
    if (nuv::os::RenameFile(temp, targetPath_, error)) {
      NUV_LOG(3, "[INFO] multi, download success.");
      DeleteConnections();
      result_.store(kResultOk);
      Send(kNotifyAttemptFinished, 0, attempt, 0);
      return kStopAttempts;
    }
    NUV_LOG(1, "[ERROR] multi, revert file name failed! error=[%d].", -1);
    Send(kNotifyPackageFileError, 0, kFileErrorRename, -1);
    result_.store(kResultFileError);  // a file that is not under its name is no success
  }
  NUV_LOG(1, "[ERROR] multi, download failed! retry=[%d], status=[%d]", attempt, result_.load());
  Send(kNotifyAttemptFinished, 0, attempt, result_.load());
  if (result_.load() == kResultCancelled) {
    DeleteConnections();
    return kStopAttempts;
  }
  nuv::os::UnlinkFile(temp, nullptr);
  PauseBetweenAttempts();
  DeleteConnections();
  attempt_.store(attempt + 1);
  return kNextAttempt;
}

bool CMultiDownloader::PrepareAttempt() {
  cached_.store(0);
  file_.CloseFile();
  const std::string temp = TempPath();
  const int64_t total = total_.load();
  std::map<int64_t, int64_t> ranges;
  if (nuv::os::PathExists(temp) && !nuv::os::IsOwnRegularFile(temp))
    NUV_LOG(2, "[WARN] multi, tmp file=[%s] is not ours, discarded.", temp.c_str());
  if (LoadResumeRecord(temp, total, ranges)) {
    NUV_LOG(3, "[INFO] multi, resume download.");
    if (!file_.OpenForWrite(temp)) {
      NUV_LOG(1, "[ERROR] multi, open tmp file failed! err=[%d].", errno);
      result_.store(kResultFileError);
      return false;
    }
    needed_ = ranges;
    StartRunningDigest(temp, total);
    for (const auto& [first, last] : ranges) StartConnection(first, last, bufferSize_, {});
    cached_.store(CachedBytes(total, ranges));
    NUV_LOG(3, "[INFO] multi, total=[%lld], cached=[%lld], undownloaded=[%lld].",
            static_cast<long long>(total), static_cast<long long>(cached_.load()),
            static_cast<long long>(total - cached_.load()));
    return true;
  }
  if (!CreateTempFile(temp, total)) return false;
  if (!file_.OpenForWrite(temp)) {
    NUV_LOG(1, "[ERROR] multi, open tmp file failed! err=[%d].", errno);
    result_.store(kResultFileError);
    return false;
  }
  needed_[0] = total - 1;
  StartRunningDigest(temp, total);
  if (rangeMode_) {
    const int64_t part = (total + connectionCount_ - 1) / connectionCount_;
    // A small file gives fewer ranges than connections; none may start past the last byte.
    for (int64_t i = 0; i < connectionCount_ && i * part <= total - 1; ++i) {
      const int64_t end = i * part + part - 1 < total - 1 ? i * part + part - 1 : total - 1;
      StartConnection(i * part, end, bufferSize_, {});
    }
  } else {
    NUV_LOG(2, "[WARN] not support range download.");
    StartConnection(0, -1, bufferSize_, {});
  }
  return true;
}

bool CMultiDownloader::StartConnection(int64_t start, int64_t end, int64_t bufferSize,
                                       const std::string& ip) {
  if (bufferSize < kMinBuffer) {
    NUV_LOG(1, "[ERROR] multi, free memory less 1M.");
    return false;
  }
  auto* c = new RangeConnection;
  if (cancelled_.load()) {
    // Not started, but still in the list so that the resume record keeps its range.
    c->Init(url_, start, end, {}, {});
    c->SetTotal(total_.load());
    c->CancelUnstarted();
    std::lock_guard<std::mutex> guard(listLock_);
    connections_.push_back(c);
    return false;
  }
  const std::string address = ip.empty() ? addresses_.LeastUsedAddress() : ip;
  const bool ok = c->Init(url_, start, end, address, {});
  if (ok) {
    c->SetTotal(total_.load());
    c->SetBufferSize(bufferSize);
    c->SetWriter(this);
    c->SetEndSink(this);
    Send(kNotifyConnectionIp, reinterpret_cast<intptr_t>(address.c_str()));
    Send(kNotifyRangeStarted, static_cast<intptr_t>(c->Remaining()));
    c->handled = false;
    c->Start();
  } else {
    c->FailUnstarted();  // reaches a final state, so the polling loop does not wait for it
  }
  {
    std::lock_guard<std::mutex> guard(listLock_);
    connections_.push_back(c);
  }
  if (cancelled_.load()) c->Cancel();  // a cancel that walked the list just before the append
  return ok;
}

void CMultiDownloader::SizeByMemory() {
  const uint64_t avail = nuv::os::AvailablePhysicalMemory();
  connectionCount_ = kConnectionCount;
  bufferSize_ = kBufferSize;
  if (avail > 125829119ULL) return;
  bufferSize_ = static_cast<int>(avail / kConnectionCount);
  if (bufferSize_ < kMinBuffer) {
    bufferSize_ = static_cast<int>(kMinBuffer);
    connectionCount_ = static_cast<int>(avail / kMinBuffer);
    if (connectionCount_ < 1) connectionCount_ = 1;
  }
}

namespace {

// The query only needs the headers; a GET's body is thrown away at its first byte.
size_t DropBody(char*, size_t, size_t, void*) {
  return 0;
}

}  // namespace

int64_t CMultiDownloader::SizeQuery() {
  CURL* h = curl_easy_init();
  if (!h) {
    NUV_LOG(1, "[ERROR] multi, curl_easy_init failed!");
    return 0;
  }
  const EngineTimings timings = GetEngineTimings();
  curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  ApplyTransferRules(h, url_);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings.connectTimeoutSec));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timings.lowSpeedTimeSec));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DropBody);
  curl_slist* resolve = nullptr;
  const std::string address = addresses_.LeastUsedAddress();
  for (const std::string& entry : ResolveEntries(UrlHost(url_), address))
    resolve = curl_slist_append(resolve, entry.c_str());
  if (resolve) curl_easy_setopt(h, CURLOPT_RESOLVE, resolve);
  int64_t size = 0;
  for (int i = 0; i < 10 && size <= 0 && !cancelled_.load(); ++i) {
    if (i == 6) curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    const CURLcode rc = curl_easy_perform(h);
    // A GET stops itself at the first body byte; its headers are what counts.
    if (rc != CURLE_OK && !(i >= 6 && rc == CURLE_WRITE_ERROR)) {
      NUV_LOG(1, "[ERROR] multi, curl_easy_perform failed! error=[%d][%s].", static_cast<int>(rc),
              curl_easy_strerror(rc));
    } else {
      long code = 0;
      curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
      curl_off_t length = -1;
      const CURLcode ic = curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (ic != CURLE_OK) {
        NUV_LOG(1, "[ERROR] multi, curl_easy_getinfo failed! error=[%d][%s].", static_cast<int>(ic),
                curl_easy_strerror(ic));
      } else {
        char* eff = nullptr;
        curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &eff);
        // Neither an error page's length nor a disable page's is the package's.
        if (code >= 200 && code <= 299 && !(eff && std::strstr(eff, "disable.htm")))
          size = static_cast<int64_t>(length);
      }
    }
    if (size <= 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  curl_easy_cleanup(h);
  curl_slist_free_all(resolve);
  return size > 0 ? size : 0;
}

bool CMultiDownloader::CreateTempFile(const std::string& path, int64_t size) {
  int error = 0;
  const int r = CreateSizedFile(path, size, error);
  NUV_LOG(3, "[INFO] multi, create tmp file=[%s], ret=[%d][%d].", path.c_str(), r, error);
  if (r == kSizedOk) return true;
  if (r == kSizedNoSpace) {
    NUV_LOG(1, "[ERROR] multi, disk space not enough!");
    result_.store(kResultDiskFull);
    Send(kNotifyPackageFileError, 0, kFileErrorDiskFull, error);
    return false;
  }
  NUV_LOG(1, "[ERROR] multi, create null file failed!");
  result_.store(kResultFileError);
  Send(kNotifyPackageFileError, 0, kFileErrorCreate, error);
  return false;
}

bool CMultiDownloader::CheckFileSize(const std::string& path, bool report) {
  errno = 0;
  int64_t size = nuv::os::FileSize(path);
  const int error = errno;
  if (size < 0) size = 0;
  if (size == total_.load()) return true;
  if (report) {
    Send(kNotifyPackageFileError, 0, kFileErrorSize, error);
    result_.store(kResultFileError);
    NUV_LOG(1, "[ERROR] multi, check file size failed! local_size=[%lld], dst_size=[%lld]",
            static_cast<long long>(size), static_cast<long long>(total_.load()));
  }
  return false;
}

void CMultiDownloader::StartRunningDigest(const std::string& temp, int64_t total) {
  digest_.reset();
  if (expectedMd5_.size() >= 4) digest_ = std::make_unique<RunningDigest>(temp, total);
}

std::string CMultiDownloader::FinishedDigest(const std::string& temp) {
  std::string digest = digest_ ? digest_->Finish() : std::string();
  return digest.empty() ? FileMd5(temp) : digest;
}

bool CMultiDownloader::CheckFileMd5(const std::string& path, bool report) {
  if (expectedMd5_.size() < 3) return false;
  return MatchMd5(FileMd5(path), report);
}

bool CMultiDownloader::MatchMd5(const std::string& digest, bool report) {
  if (report) Send(kNotifyFileMd5, reinterpret_cast<intptr_t>(digest.c_str()));
  if (!digest.empty() && expectedMd5_.find(digest) != std::string::npos) {
    NUV_LOG(3, "[INFO] multi, check md5 ok.");
    if (report) Send(kNotifyMd5Matched);
    return true;
  }
  NUV_LOG(1, "[ERROR] multi, check md5 failed!");
  result_.store(kResultMd5Mismatch);
  return false;
}

}  // namespace ns_NUK

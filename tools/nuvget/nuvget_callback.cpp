#include "nuvget_callback.h"

#include "log/simple_log.h"
#include "progress_text.h"
#include "xml/utf.h"

void NuvgetCallback::OnFileName(int32_t id, const std::u16string& fileName) {
  NUV_LOG(3, "[INFO] nuvget, file name, task_id=[%d], name=[%s].", id,
          WideToUtf8(fileName).c_str());
  std::lock_guard<std::mutex> guard(lock_);
  facts_.fileName = WideToUtf8(fileName);
}
void NuvgetCallback::OnFileSize(int id, int64_t size) {
  NUV_LOG(3, "[INFO] nuvget, file size, task_id=[%d], size=[%lld].", id,
          static_cast<long long>(size));
}
void NuvgetCallback::OnProgress(int id, int64_t downloaded, int64_t total, int speed) {
  NUV_LOG(3, "[INFO] nuvget, progress, task_id=[%d], downloaded=[%lld], total=[%lld], speed=[%d].",
          id, static_cast<long long>(downloaded), static_cast<long long>(total), speed);
  std::lock_guard<std::mutex> guard(lock_);
  std::fprintf(out_, "\r%lld / %lld bytes, %s, %.2f MB/s   ", static_cast<long long>(downloaded),
               static_cast<long long>(total), ProgressPercent(downloaded, total).c_str(),
               speed / 1048576.0);
  std::fflush(out_);
}
void NuvgetCallback::OnSucceeded(int id) {
  NUV_LOG(3, "[INFO] nuvget, succeeded, task_id=[%d].", id);
  Finish(0);
}
void NuvgetCallback::OnFailed(int id, int resultCode) {
  NUV_LOG(1, "[ERROR] nuvget, failed, task_id=[%d], result=[%d].", id, resultCode);
  Finish(resultCode);
}
void NuvgetCallback::OnRangeInfo(int id, int, int kind, int64_t value) {
  NUV_LOG(3, "[INFO] nuvget, range, task_id=[%d], kind=[%d], value=[%lld].", id, kind,
          static_cast<long long>(value));
}
void NuvgetCallback::OnStarted(int id) {
  NUV_LOG(3, "[INFO] nuvget, started, task_id=[%d].", id);
}
void NuvgetCallback::OnConnectionIp(int32_t id, const std::string& ip) {
  NUV_LOG(3, "[INFO] nuvget, connection, task_id=[%d], ip=[%s].", id, ip.c_str());
}
void NuvgetCallback::OnAttemptStarted(int id, int attempt) {
  NUV_LOG(3, "[INFO] nuvget, attempt started, task_id=[%d], attempt=[%d].", id, attempt);
}
void NuvgetCallback::OnAttemptFinished(int id, int attempt, int resultCode) {
  NUV_LOG(3, "[INFO] nuvget, attempt finished, task_id=[%d], attempt=[%d], result=[%d].", id,
          attempt, resultCode);
}
void NuvgetCallback::OnFileMd5(int32_t id, const std::string& md5) {
  NUV_LOG(3, "[INFO] nuvget, file md5, task_id=[%d], md5=[%s].", id, md5.c_str());
  std::lock_guard<std::mutex> guard(lock_);
  facts_.digest = md5;
}
void NuvgetCallback::OnMd5Matched(int id) {
  NUV_LOG(3, "[INFO] nuvget, md5 matched, task_id=[%d].", id);
}
void NuvgetCallback::OnPackageFileError(int id, int kind, int error) {
  NUV_LOG(1, "[ERROR] nuvget, package file error, task_id=[%d], kind=[%d], error=[%d].", id, kind,
          error);
  std::lock_guard<std::mutex> guard(lock_);
  facts_.fileErrorKind = kind;
  facts_.fileError = error;
}
void NuvgetCallback::OnPackageInfoFailed(int id, int error) {
  NUV_LOG(2, "[WARN] nuvget, package info failed, task_id=[%d], error=[%d].", id, error);
}
void NuvgetCallback::OnDnsCacheCleared(int id, int resultCode) {
  NUV_LOG(3, "[INFO] nuvget, dns cache cleared, task_id=[%d], result=[%d].", id, resultCode);
}
void NuvgetCallback::OnDnsQueried(int32_t id, const std::string& host, const std::string& ips) {
  NUV_LOG(3, "[INFO] nuvget, dns, task_id=[%d], host=[%s], ips=[%s].", id, host.c_str(),
          ips.c_str());
}
void NuvgetCallback::OnPrepare(int id) {
  NUV_LOG(3, "[INFO] nuvget, prepare, task_id=[%d].", id);
}
void NuvgetCallback::OnDownloadParams(int id, int connections, int bufferSize) {
  NUV_LOG(3, "[INFO] nuvget, params, task_id=[%d], connections=[%d], buffer=[%d].", id, connections,
          bufferSize);
}

void NuvgetCallback::Finish(int code) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    result_ = code;
    std::fprintf(out_, "\n");
  }
  done_.notify_all();
}

int NuvgetCallback::WaitResult() {
  std::unique_lock<std::mutex> guard(lock_);
  done_.wait(guard, [this] { return result_ != -1; });
  return result_;
}

FailureFacts NuvgetCallback::Facts() {
  std::lock_guard<std::mutex> guard(lock_);
  return facts_;
}

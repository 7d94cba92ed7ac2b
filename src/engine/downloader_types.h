// The engine's task model as seen from outside: result codes, notification records, task snapshot.
#pragma once

#include <cstdint>
#include <string>

namespace ns_NUK {

// Download result codes of a task (reported by OnSucceeded / OnFailed and logged as "result").
enum ResultCode : int32_t {
  kResultOk = 0,
  kResultConnect = 2,  // could not connect (refused, connect time-out, TLS)
  kResultReceive = 3,  // receive, range or any other transfer failure
  kResultSend = 4,
  kResultNoSize = 5,
  kResultFileError = 9,  // temporary file not created / opened / renamed, or wrong final size
  kResultDiskFull = 10,
  kResultMd5Mismatch = 11,
  kResultCancelled = 13,
};

// Notification types of DownloadNotification::type.
enum NotifyType : int32_t {
  kNotifyFileName = 0,      // payload: const std::u16string*
  kNotifyFileSize = 1,      // payload: the full 64-bit size as a value
  kNotifyFinished = 2,      // payload: const int32_t* result code
  kNotifyProgress = 3,      // payload: ProgressPayload*, owned by the record
  kNotifyRangeStarted = 4,  // payload: remaining bytes of the new range as a value
  kNotifyRangeKind1 = 5,    // never sent
  kNotifyRangeKind2 = 6,    // never sent
  kNotifyStarted = 7,
  kNotifyConnectionIp = 8,      // payload: const char* dotted IPv4 text
  kNotifyAttemptStarted = 9,    // payload: const int32_t* attempt
  kNotifyAttemptFinished = 10,  // extra1 attempt, extra2 result code
  kNotifyFileMd5 = 11,          // payload: const char* 32 upper-case hex digits
  kNotifyMd5Matched = 12,
  kNotifyPackageFileError = 13,   // extra1 operation kind, extra2 error value
  kNotifyPackageInfoFailed = 14,  // payload: const int32_t* error
  kNotifyDnsCacheCleared = 15,    // payload: const int32_t* current result code
  kNotifyDnsQueried = 16,         // payload: const char* "host:addr1,addr2"
  kNotifyPrepare = 17,
  kNotifyDownloadParams = 18,  // extra1 connections, extra2 buffer size in bytes
};

// Operation kinds of kNotifyPackageFileError.
enum PackageFileErrorKind : int32_t {
  kFileErrorCreate = 1,
  kFileErrorRename = 2,
  kFileErrorDiskFull = 3,
  kFileErrorSize = 4,
};

struct ProgressPayload {
  int32_t reserved = -1;
  int64_t total = 0;
  int64_t downloaded = 0;
  int32_t speed = 0;  // bytes per second of the current attempt
};

// Allocated with new by the sender; the receiver of IObserver::Notify owns it and frees it with
// FreeNotification. Pointer payloads other than the progress payload point into the sender's
// memory and are valid only during the synchronous delivery.
struct DownloadNotification {
  int32_t reserved = -1;
  int32_t taskId = 0;
  int32_t type = 0;
  intptr_t payload = 0;
  int32_t extra1 = 0;
  int32_t extra2 = 0;
};
static_assert(sizeof(intptr_t) >= sizeof(int64_t), "sizes travel in the pointer-sized payload");

// Frees a record and, for a progress notification, its payload.
inline void FreeNotification(DownloadNotification* n) {
  if (!n) return;
  if (n->type == kNotifyProgress) delete reinterpret_cast<ProgressPayload*>(n->payload);
  delete n;
}

struct TaskInfo {
  int32_t taskId = 0;
  int64_t total = 0;
  int64_t downloaded = 0;  // bytes kept from an earlier run plus bytes of this attempt
  int32_t rate = 0;
  std::u16string url;
  std::u16string folder;
  std::u16string fileName;
};

}  // namespace ns_NUK

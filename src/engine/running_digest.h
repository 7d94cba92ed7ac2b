// The MD5 of a temporary package file, computed on its own thread while the download still runs:
// the downloader declares how far from byte 0 the file holds its final bytes, and the hasher reads
// and hashes up to there. MD5 cannot be split, so without this the check would read the whole
// file again after the last byte; with it, most of the pass overlaps the end of the transfer.
//
// A write that lands in bytes already hashed makes the digest stale; the downloader then falls
// back to hashing the finished file. The digest is therefore always that of the bytes on disk.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace ns_NUK {

class RunningDigest {
 public:
  // Hashes the first `total` bytes of the file at the path as they are settled.
  RunningDigest(const std::string& path, int64_t total);
  // Abandons the hash and waits for the thread.
  ~RunningDigest();
  RunningDigest(const RunningDigest&) = delete;
  RunningDigest& operator=(const RunningDigest&) = delete;

  // Bytes [0, upTo) are written and will not change.
  void Settle(int64_t upTo);
  // Called after every data write at the offset, from any thread.
  void NoteWrite(int64_t offset);
  // Bytes hashed so far.
  int64_t Hashed() const { return hashed_.load(); }
  // Waits for the hash of the whole file when all of it is settled; the digest text, or empty
  // when not all was settled, a write reached hashed bytes, or the file could not be read.
  std::string Finish();

 private:
  void Run();
  void Stop();

  const int64_t total_;
  int fd_ = -1;
  std::mutex lock_;
  std::condition_variable wake_;
  int64_t settled_ = 0;     // under lock_
  bool abandoned_ = false;  // under lock_
  // The end of the bytes the hasher reads or has read; published before each read, so that a
  // write at a lower offset, checked after the write, cannot go unnoticed.
  std::atomic<int64_t> claimed_{0};
  std::atomic<int64_t> hashed_{0};
  std::atomic<bool> stale_{false};
  std::string hex_;  // written by the thread, read after the join
  std::thread thread_;
};

}  // namespace ns_NUK

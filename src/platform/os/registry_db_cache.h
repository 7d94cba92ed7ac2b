// The process's open connections to registry databases, one per file, reused across calls: opening
// a WAL database anew makes SQLite read its whole log, and closing the last connection checkpoints
// with syncs, which made every call slow.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <string>

namespace nuv::os::registry_detail {

struct CachedDb;

// Exclusive use of one database's connection for the length of one operation; the connection is
// not shared with another thread meanwhile, so a transaction is never joined by a stranger.
class DbLease {
 public:
  // The connection of the file at path. A missing file gives no connection unless create is set,
  // in which case it (and its folder) is made. A file replaced since the last call is reopened;
  // after fork the child opens its own.
  static DbLease Acquire(const std::string& path, bool create);

  DbLease(DbLease&&) noexcept;
  DbLease& operator=(DbLease&&) = delete;
  ~DbLease();

  sqlite3* handle() const;
  // Set once per connection, by its first write: the journal mode and sync level are configured.
  bool Configured() const;
  void SetConfigured();

 private:
  DbLease() = default;

  std::shared_ptr<CachedDb> entry_;
  std::unique_lock<std::mutex> use_;  // declared after entry_: released before the entry may go
};

}  // namespace nuv::os::registry_detail

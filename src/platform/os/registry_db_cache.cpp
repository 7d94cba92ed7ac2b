#include "platform/os/registry_db_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <list>

namespace nuv::os::registry_detail {

namespace {

constexpr int kBusyTimeoutMs = 5000;
// Tests point the store at a new folder each time; old connections are closed past this many.
constexpr size_t kMaxCached = 4;

// mkdir -p of the folder that holds `path`.
bool MakeParentDirs(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string dir = path.substr(0, slash);
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool StatFile(const std::string& path, struct stat* st) {
  return stat(path.c_str(), st) == 0 && S_ISREG(st->st_mode);
}

sqlite3* OpenDb(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return db;
}

}  // namespace

struct CachedDb {
  explicit CachedDb(std::string p) : path(std::move(p)) {}
  ~CachedDb() { Drop(); }

  // A connection inherited through fork belongs to the parent: the child must neither use nor
  // close it, so it is left alone.
  void Drop() {
    if (db && owner == getpid()) sqlite3_close(db);
    db = nullptr;
    configured = false;
  }

  std::mutex use;  // held by the one lease that uses db
  const std::string path;
  sqlite3* db = nullptr;
  pid_t owner = 0;
  dev_t device = 0;
  ino_t inode = 0;
  bool configured = false;
};

namespace {

std::shared_ptr<CachedDb> EntryFor(const std::string& path) {
  static std::mutex listLock;  // guards the list, not the connections in it
  static auto* entries = new std::list<std::shared_ptr<CachedDb>>();  // most recent first
  std::lock_guard<std::mutex> guard(listLock);
  for (auto it = entries->begin(); it != entries->end(); ++it) {
    if ((*it)->path == path) {
      entries->splice(entries->begin(), *entries, it);
      return entries->front();
    }
  }
  entries->push_front(std::make_shared<CachedDb>(path));
  // An evicted entry closes when its last lease ends.
  while (entries->size() > kMaxCached) entries->pop_back();
  return entries->front();
}

}  // namespace

DbLease DbLease::Acquire(const std::string& path, bool create) {
  DbLease lease;
  lease.entry_ = EntryFor(path);
  lease.use_ = std::unique_lock<std::mutex>(lease.entry_->use);
  CachedDb& e = *lease.entry_;

  struct stat st {};
  const bool exists = StatFile(path, &st);
  if (e.db && (e.owner != getpid() || !exists || st.st_dev != e.device || st.st_ino != e.inode)) {
    e.Drop();
  }
  if (e.db) return lease;
  // Without CREATE a missing file stays missing.
  if (!exists && !(create && MakeParentDirs(path))) return lease;
  e.db = OpenDb(path, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
  if (e.db && StatFile(path, &st)) {
    e.owner = getpid();
    e.device = st.st_dev;
    e.inode = st.st_ino;
  } else {
    e.Drop();
  }
  return lease;
}

DbLease::DbLease(DbLease&&) noexcept = default;
DbLease::~DbLease() = default;

sqlite3* DbLease::handle() const {
  return entry_ ? entry_->db : nullptr;
}

bool DbLease::Configured() const {
  return entry_ && entry_->configured;
}

void DbLease::SetConfigured() {
  if (entry_) entry_->configured = true;
}

}  // namespace nuv::os::registry_detail

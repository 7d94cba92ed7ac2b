#include "platform/os/registry_db.h"

#include <sys/stat.h>

#include <cerrno>

namespace nuv::os::registry_detail {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kSchemaVersion = 1;

// Keys hold the folded full path for lookups and their parent for enumeration; a key lives in one
// view (0 = shared). Values belong to a key; ids give the creation order.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " view INTEGER NOT NULL,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " path TEXT NOT NULL,"
    " UNIQUE(view, path));"
    "CREATE INDEX IF NOT EXISTS keys_parent ON keys(parent);"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " folded TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data,"
    " UNIQUE(key, folded));";

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

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

}  // namespace

Statement::Statement(sqlite3* db, const char* sql) {
  if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::BindInt(int index, int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
}

void Statement::BindText(int index, const std::string& value) {
  if (stmt_) {
    sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  }
}

void Statement::BindBlob(int index, const std::string& value) {
  // A zero-length blob must stay a blob, not NULL, so it binds a non-null pointer.
  if (stmt_) {
    sqlite3_bind_blob(stmt_, index, value.empty() ? "" : value.data(),
                      static_cast<int>(value.size()), SQLITE_TRANSIENT);
  }
}

bool Statement::NextRow() { return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_ROW; }

bool Statement::Run() {
  if (stmt_ == nullptr) return false;
  int rc;
  do {
    rc = sqlite3_step(stmt_);
  } while (rc == SQLITE_ROW);
  return rc == SQLITE_DONE;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string(text, sqlite3_column_bytes(stmt_, column)) : std::string();
}

std::string Statement::Blob(int column) const {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
  return data ? std::string(data, sqlite3_column_bytes(stmt_, column)) : std::string();
}

sqlite3* Connection::Open(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  return db;
}

Connection Connection::ForRead(const std::string& path) {
  Connection c;
  // Without CREATE a missing file stays missing; the check first keeps SQLite from even trying.
  if (FileExists(path)) c.db_ = Open(path, SQLITE_OPEN_READWRITE);
  return c;
}

Connection Connection::ForWrite(const std::string& path) {
  Connection c;
  if (!MakeParentDirs(path)) return c;
  c.db_ = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (c.db_ == nullptr) return c;
  // WAL keeps readers going during a write; FULL makes a commit survive power loss too. On a file
  // that is not a database both fail without writing, and so does BEGIN below.
  c.Exec("PRAGMA journal_mode=WAL");
  c.Exec("PRAGMA synchronous=FULL");
  // IMMEDIATE takes the write lock up front, so the busy time-out covers the whole transaction.
  if (!c.Exec("BEGIN IMMEDIATE")) {
    sqlite3_close(c.db_);
    c.db_ = nullptr;
    return c;
  }
  c.inTransaction_ = true;
  if (!c.Exec(kSchema) || !c.MarkSchemaVersion()) {
    c.Exec("ROLLBACK");
    sqlite3_close(c.db_);
    c.db_ = nullptr;
    c.inTransaction_ = false;
  }
  return c;
}

Connection::Connection(Connection&& other) noexcept
    : db_(other.db_), inTransaction_(other.inTransaction_) {
  other.db_ = nullptr;
  other.inTransaction_ = false;
}

Connection::~Connection() {
  if (db_ == nullptr) return;
  if (inTransaction_) Exec("ROLLBACK");
  sqlite3_close(db_);
}

bool Connection::Exec(const char* sql) {
  return db_ != nullptr && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Connection::MarkSchemaVersion() {
  // Written once, so a transaction that changes nothing else writes nothing.
  int64_t current;
  {
    Statement version(db_, "PRAGMA user_version");
    if (!version.NextRow()) return false;
    current = version.Int(0);
  }
  if (current == kSchemaVersion) return true;
  const std::string set = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
  return Exec(set.c_str());
}

bool Connection::Commit() {
  if (!inTransaction_) return false;
  inTransaction_ = false;
  if (Exec("COMMIT")) return true;
  Exec("ROLLBACK");
  return false;
}

}  // namespace nuv::os::registry_detail

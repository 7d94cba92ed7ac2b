#include "platform/os/registry_db.h"

namespace nuv::os::registry_detail {
namespace {

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

}  // namespace

Statement::Statement(sqlite3* db, const char* sql) {
  if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

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

bool Statement::NextRow() {
  return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_ROW;
}

bool Statement::Run() {
  if (stmt_ == nullptr) return false;
  int rc;
  do {
    rc = sqlite3_step(stmt_);
  } while (rc == SQLITE_ROW);
  return rc == SQLITE_DONE;
}

int64_t Statement::Int(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string(text, sqlite3_column_bytes(stmt_, column)) : std::string();
}

std::string Statement::Blob(int column) const {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
  return data ? std::string(data, sqlite3_column_bytes(stmt_, column)) : std::string();
}

Connection::Connection(DbLease lease) : lease_(std::move(lease)), db_(lease_.handle()) {}

Connection Connection::ForRead(const std::string& path) {
  return Connection(DbLease::Acquire(path, /*create=*/false));
}

Connection Connection::ForWrite(const std::string& path) {
  Connection c(DbLease::Acquire(path, /*create=*/true));
  if (c.db_ == nullptr) return c;
  if (!c.lease_.Configured()) {
    // WAL keeps readers going during a write. NORMAL syncs at checkpoints, not at each commit: a
    // killed process still loses nothing committed, and power loss at worst the last commits, as
    // with the lazily flushed Windows hives. On a file that is not a database this fails without
    // writing, and so does BEGIN below.
    if (c.Exec("PRAGMA journal_mode=WAL") && c.Exec("PRAGMA synchronous=NORMAL")) {
      c.lease_.SetConfigured();
    }
  }
  // IMMEDIATE takes the write lock up front, so the busy time-out covers the whole transaction.
  if (!c.Exec("BEGIN IMMEDIATE")) {
    c.db_ = nullptr;
    return c;
  }
  c.inTransaction_ = true;
  if (!c.Exec(kSchema) || !c.MarkSchemaVersion()) {
    c.Exec("ROLLBACK");
    c.inTransaction_ = false;
    c.db_ = nullptr;
  }
  return c;
}

Connection::Connection(Connection&& other) noexcept
    : lease_(std::move(other.lease_)), db_(other.db_), inTransaction_(other.inTransaction_) {
  other.db_ = nullptr;
  other.inTransaction_ = false;
}

Connection::~Connection() {
  if (db_ != nullptr && inTransaction_) Exec("ROLLBACK");
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

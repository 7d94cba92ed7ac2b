// SQLite access of the registry store: one short-lived connection per call, the schema, and
// statements with bound parameters.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "platform/os/registry_db_cache.h"

namespace nuv::os::registry_detail {

class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  // Parameters are numbered from 1, as in SQL.
  void BindInt(int index, int64_t value);
  void BindText(int index, const std::string& value);
  void BindBlob(int index, const std::string& value);
  // True while a row is available; false at the end and on any error.
  bool NextRow();
  // True when the statement ran to completion.
  bool Run();
  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::string Blob(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
 public:
  // An existing database, for reading; not ok when it is missing or cannot be opened. Nothing on
  // disk is changed by opening it.
  // The connection is the process's cached one, used by this object alone until it goes.
  static Connection ForRead(const std::string& path);
  // The database (created with its folder when missing) inside an immediate transaction with the
  // schema in place; not ok when any of that fails. Without Commit the transaction is rolled back.
  static Connection ForWrite(const std::string& path);

  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&&) = delete;
  Connection(const Connection&) = delete;
  ~Connection();

  bool ok() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }
  bool Exec(const char* sql);
  bool Commit();

 private:
  explicit Connection(DbLease lease);
  bool MarkSchemaVersion();

  DbLease lease_;
  sqlite3* db_ = nullptr;  // the lease's connection, null when not ok
  bool inTransaction_ = false;
};

}  // namespace nuv::os::registry_detail

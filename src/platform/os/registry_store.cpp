#include "platform/os/registry_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/os/registry_db.h"
#include "platform/os/registry_key_path.h"

namespace nuv::os {
namespace {

using registry_detail::Connection;
using registry_detail::FoldName;
using registry_detail::FromUtf8;
using registry_detail::KeyPath;
using registry_detail::ParseKeyPath;
using registry_detail::Statement;
using registry_detail::ToUtf8;

constexpr int64_t kRootId = 0;

std::string ProcessUserHome() {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && pw.pw_dir &&
      pw.pw_dir[0]) {
    return pw.pw_dir;
  }
  const char* home = getenv("HOME");
  return home ? home : "";
}

// The id of the key, kRootId for the root, empty when it does not exist.
std::optional<int64_t> FindKey(const Connection& db, const KeyPath& key) {
  if (key.folded.empty()) {
    // The root exists wherever the store is readable.
    Statement probe(db.handle(), "SELECT 1 FROM keys LIMIT 0");
    return probe.ok() ? std::optional<int64_t>(kRootId) : std::nullopt;
  }
  Statement find(db.handle(), "SELECT id FROM keys WHERE view=?1 AND path=?2");
  find.BindInt(1, key.view);
  find.BindText(2, key.folded.back());
  if (!find.NextRow()) return std::nullopt;
  return find.Int(0);
}

enum class Access {
  kRead,
  kWrite,
  // Writes only to a store that exists: a delete never creates one.
  kWriteExisting,
};

// A key found in its open store.
struct OpenedKey {
  Connection db;
  KeyPath key;
  int64_t id;
};

// Parses the path, opens the store for the access and finds the key; empty when any step fails.
// Values live only below the root, so `valueKey` refuses the root path.
std::optional<OpenedKey> OpenExistingKey(const std::string& dbPath, Hive hive, View view,
                                         const std::u16string& path, Access access,
                                         bool valueKey) {
  auto key = ParseKeyPath(hive, view, path);
  if (!key || (valueKey && key->folded.empty()) || dbPath.empty()) return std::nullopt;
  if (access == Access::kWriteExisting && !Connection::ForRead(dbPath).ok()) return std::nullopt;
  Connection db = access == Access::kRead ? Connection::ForRead(dbPath) : Connection::ForWrite(dbPath);
  if (!db.ok()) return std::nullopt;
  const auto id = FindKey(db, *key);
  if (!id) return std::nullopt;
  return OpenedKey{std::move(db), std::move(*key), *id};
}

// Names from a query whose first column is a name, in row order.
bool CollectNames(Statement& query, std::vector<std::u16string>* names) {
  if (!query.ok()) return false;
  std::vector<std::u16string> result;
  while (query.NextRow()) result.push_back(FromUtf8(query.Text(0)));
  if (names) *names = std::move(result);
  return true;
}

// MULTI_SZ is kept as every element followed by NUL, so empty elements survive.
std::string PackMulti(const std::vector<std::u16string>& texts) {
  std::string out;
  for (const std::u16string& t : texts) {
    out += ToUtf8(t);
    out.push_back('\0');
  }
  return out;
}

std::vector<std::u16string> UnpackMulti(const std::string& data) {
  std::vector<std::u16string> out;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    out.push_back(FromUtf8(data.substr(start, end - start)));
    start = end + 1;
  }
  return out;
}

bool BindData(Statement& st, int index, const RegValue& value) {
  switch (value.type) {
    case RegType::Sz:
    case RegType::ExpandSz:
      st.BindText(index, ToUtf8(value.text));
      return true;
    case RegType::Dword:
    case RegType::DwordBigEndian:
      st.BindInt(index, static_cast<int64_t>(value.number & 0xFFFFFFFFu));
      return true;
    case RegType::Qword:
      st.BindInt(index, static_cast<int64_t>(value.number));
      return true;
    case RegType::MultiSz:
      st.BindBlob(index, PackMulti(value.texts));
      return true;
    case RegType::Binary:
      st.BindBlob(index, value.bytes);
      return true;
    case RegType::None:
      break;
  }
  return false;
}

RegValue ReadData(const Statement& st, RegType type, int column) {
  RegValue value;
  value.type = type;
  switch (type) {
    case RegType::Sz:
    case RegType::ExpandSz:
      value.text = FromUtf8(st.Text(column));
      break;
    case RegType::Dword:
    case RegType::DwordBigEndian:
      value.number = static_cast<uint64_t>(st.Int(column)) & 0xFFFFFFFFu;
      break;
    case RegType::Qword:
      value.number = static_cast<uint64_t>(st.Int(column));
      break;
    case RegType::MultiSz:
      value.texts = UnpackMulti(st.Blob(column));
      break;
    case RegType::Binary:
      value.bytes = st.Blob(column);
      break;
    case RegType::None:
      break;
  }
  return value;
}

bool KnownType(int64_t code) {
  switch (static_cast<RegType>(code)) {
    case RegType::Sz:
    case RegType::ExpandSz:
    case RegType::Binary:
    case RegType::Dword:
    case RegType::DwordBigEndian:
    case RegType::MultiSz:
    case RegType::Qword:
      return true;
    case RegType::None:
      break;
  }
  return false;
}

}  // namespace

RegValue RegValue::Sz(std::u16string text) {
  RegValue v;
  v.type = RegType::Sz;
  v.text = std::move(text);
  return v;
}

RegValue RegValue::MultiSz(std::vector<std::u16string> texts) {
  RegValue v;
  v.type = RegType::MultiSz;
  v.texts = std::move(texts);
  return v;
}

RegValue RegValue::Dword(uint32_t number) {
  RegValue v;
  v.type = RegType::Dword;
  v.number = number;
  return v;
}

RegValue RegValue::Qword(uint64_t number) {
  RegValue v;
  v.type = RegType::Qword;
  v.number = number;
  return v;
}

RegValue RegValue::Binary(std::string bytes) {
  RegValue v;
  v.type = RegType::Binary;
  v.bytes = std::move(bytes);
  return v;
}

RegistryStore::RegistryStore() {
  const char* dir = getenv("NUV_REGISTRY_DIR");
  if (dir && dir[0]) {
    std::string base = dir;
    if (base.back() != '/') base += '/';
    localMachineDb_ = base + "hklm.db";
    currentUserDb_ = base + "hkcu.db";
  } else {
    localMachineDb_ = "/var/lib/nuv/registry.db";
    const std::string home = ProcessUserHome();
    // Without a home there is no per-user store; an empty path makes every call fail.
    if (!home.empty()) currentUserDb_ = home + "/.local/share/nuv/registry.db";
  }
}

RegistryStore::RegistryStore(std::string localMachineDb, std::string currentUserDb)
    : localMachineDb_(std::move(localMachineDb)), currentUserDb_(std::move(currentUserDb)) {}

const std::string& RegistryStore::DatabasePath(Hive hive) const {
  return hive == Hive::LocalMachine ? localMachineDb_ : currentUserDb_;
}

bool RegistryStore::OpenKey(Hive hive, View view, const std::u16string& path) const {
  return OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kRead, false).has_value();
}

bool RegistryStore::CreateKey(Hive hive, View view, const std::u16string& path) const {
  const auto key = ParseKeyPath(hive, view, path);
  if (!key || DatabasePath(hive).empty()) return false;
  {
    // Most creates find the key there already; that needs no write transaction.
    const Connection reader = Connection::ForRead(DatabasePath(hive));
    if (reader.ok() && FindKey(reader, *key)) return true;
  }
  Connection db = Connection::ForWrite(DatabasePath(hive));
  if (!db.ok()) return false;
  int64_t parent = kRootId;
  for (size_t i = 0; i < key->folded.size(); ++i) {
    Statement find(db.handle(), "SELECT id FROM keys WHERE view=?1 AND path=?2");
    find.BindInt(1, key->view);
    find.BindText(2, key->folded[i]);
    if (find.NextRow()) {
      parent = find.Int(0);
      continue;
    }
    Statement insert(db.handle(), "INSERT INTO keys(view, parent, name, path) VALUES(?1,?2,?3,?4)");
    insert.BindInt(1, key->view);
    insert.BindInt(2, parent);
    insert.BindText(3, key->names[i]);
    insert.BindText(4, key->folded[i]);
    if (!insert.Run()) return false;
    parent = sqlite3_last_insert_rowid(db.handle());
  }
  return db.Commit();
}

bool RegistryStore::EnumSubKeys(Hive hive, View view, const std::u16string& path,
                                std::vector<std::u16string>* names) const {
  const auto found = OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kRead, false);
  if (!found) return false;
  // Below the root, a key's children share its view; at the root both the shared keys and the
  // view's own "Software" are children.
  Statement list(found->db.handle(),
                 "SELECT name FROM keys WHERE parent=?1 AND (?1<>0 OR view=0 OR view=?2) "
                 "ORDER BY id");
  list.BindInt(1, found->id);
  list.BindInt(2, registry_detail::RootChildView(hive, view));
  return CollectNames(list, names);
}

bool RegistryStore::EnumValues(Hive hive, View view, const std::u16string& path,
                               std::vector<std::u16string>* names) const {
  const auto found = OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kRead, false);
  if (!found) return false;
  Statement list(found->db.handle(), "SELECT name FROM vals WHERE key=?1 ORDER BY id");
  list.BindInt(1, found->id);
  return CollectNames(list, names);
}

bool RegistryStore::QueryValue(Hive hive, View view, const std::u16string& path,
                               const std::u16string& name, RegValue* value) const {
  const auto found = OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kRead, true);
  if (!found) return false;
  Statement query(found->db.handle(), "SELECT type, data FROM vals WHERE key=?1 AND folded=?2");
  query.BindInt(1, found->id);
  query.BindText(2, FoldName(name));
  if (!query.NextRow() || !KnownType(query.Int(0))) return false;
  if (value) *value = ReadData(query, static_cast<RegType>(query.Int(0)), 1);
  return true;
}

bool RegistryStore::SetValue(Hive hive, View view, const std::u16string& path,
                             const std::u16string& name, const RegValue& value) const {
  auto found = OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kWrite, true);
  if (!found) return false;
  // The first spelling of a name stays, as Windows keeps it.
  Statement upsert(found->db.handle(),
                   "INSERT INTO vals(key, name, folded, type, data) VALUES(?1,?2,?3,?4,?5) "
                   "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
  upsert.BindInt(1, found->id);
  upsert.BindText(2, ToUtf8(name));
  upsert.BindText(3, FoldName(name));
  upsert.BindInt(4, static_cast<int64_t>(value.type));
  if (!BindData(upsert, 5, value) || !upsert.Run()) return false;
  return found->db.Commit();
}

bool RegistryStore::DeleteValue(Hive hive, View view, const std::u16string& path,
                                const std::u16string& name) const {
  auto found =
      OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kWriteExisting, true);
  if (!found) return false;
  Statement erase(found->db.handle(), "DELETE FROM vals WHERE key=?1 AND folded=?2");
  erase.BindInt(1, found->id);
  erase.BindText(2, FoldName(name));
  if (!erase.Run() || sqlite3_changes(found->db.handle()) == 0) return false;
  return found->db.Commit();
}

bool RegistryStore::DeleteKey(Hive hive, View view, const std::u16string& path) const {
  auto found =
      OpenExistingKey(DatabasePath(hive), hive, view, path, Access::kWriteExisting, true);
  if (!found) return false;
  // The key and every path below it: "a\b" and "a\b\..." but not "a\bc". '\' + 1 is ']'.
  const std::string& self = found->key.folded.back();
  static constexpr const char* kSubtree =
      "SELECT id FROM keys WHERE view=?1 AND (path=?2 OR (path>=?3 AND path<?4))";
  const std::string deleteValues = std::string("DELETE FROM vals WHERE key IN (") + kSubtree + ")";
  const std::string deleteKeys = std::string("DELETE FROM keys WHERE id IN (") + kSubtree + ")";
  for (const std::string& sql : {deleteValues, deleteKeys}) {
    Statement erase(found->db.handle(), sql.c_str());
    erase.BindInt(1, found->key.view);
    erase.BindText(2, self);
    erase.BindText(3, self + "\\");
    erase.BindText(4, self + "]");
    if (!erase.Run()) return false;
  }
  return found->db.Commit();
}

}  // namespace nuv::os

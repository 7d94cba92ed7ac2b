// The registry in place of the Windows one: one SQLite database per hive, keys and value names
// compared case-insensitively, the 32- and 64-bit views kept apart where Windows keeps them apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nuv::os {

enum class Hive { LocalMachine, CurrentUser };

// The program is a 32-bit program, so a key opened without a view flag reaches the 32-bit view.
// Views are kept apart only under HKLM\Software (as on Windows); the rest of HKLM and all of HKCU
// is one shared tree whatever view is given. HKLM "Software\Wow6432Node\..." is the 32-bit view
// of "Software\...", in either view.
enum class View { Default, Bit32, Bit64 };

// Windows type codes, so stored values read the same to anyone who knows them.
enum class RegType : uint32_t {
  None = 0,
  Sz = 1,
  ExpandSz = 2,
  Binary = 3,
  Dword = 4,
  DwordBigEndian = 5,
  MultiSz = 7,
  Qword = 11,
};

struct RegValue {
  RegType type = RegType::None;
  std::u16string text;                // Sz, ExpandSz
  std::vector<std::u16string> texts;  // MultiSz; an element must not contain NUL
  uint64_t number = 0;                // Dword, DwordBigEndian (low 32 bits), Qword
  std::string bytes;                  // Binary

  static RegValue Sz(std::u16string text);
  static RegValue MultiSz(std::vector<std::u16string> texts);
  static RegValue Dword(uint32_t number);
  static RegValue Qword(uint64_t number);
  static RegValue Binary(std::string bytes);

  bool IsText() const { return type == RegType::Sz || type == RegType::ExpandSz; }
  bool IsDword() const { return type == RegType::Dword || type == RegType::DwordBigEndian; }
};

// Cheap to construct: it only names the two database files. Calls share the process's one
// connection per file, one call at a time, so any number of objects may be used from several
// threads. A child of fork that uses a file its parent had open must exec first (SQLite's rule).
//
// Key paths use backslashes ("Software\\Veltrin\\Capturo"); a trailing backslash is ignored, an
// empty path is the hive's root, an empty component ("a\\\\b", a leading backslash) or a component
// longer than 255 characters is invalid. Value name "" is the key's default value.
//
// A missing, unreadable or corrupt database answers every read with "not found" and fails every
// write; an existing file is never replaced. A write to a missing database creates it (and its
// folder). Each write is one transaction: a process killed mid-write loses nothing committed.
class RegistryStore {
 public:
  // Databases from the environment: $NUV_REGISTRY_DIR/hklm.db and hkcu.db when it is set,
  // else /var/lib/nuv/registry.db and <home of the process user>/.local/share/nuv/registry.db.
  RegistryStore();
  RegistryStore(std::string localMachineDb, std::string currentUserDb);

  const std::string& DatabasePath(Hive hive) const;

  // True when the key exists (RegOpenKeyEx succeeding).
  bool OpenKey(Hive hive, View view, const std::u16string& path) const;
  // Creates the key and any missing parents; true when it exists afterwards.
  bool CreateKey(Hive hive, View view, const std::u16string& path) const;
  // Names of the direct subkeys, in creation order, as they were first written; false when the
  // key is missing.
  bool EnumSubKeys(Hive hive, View view, const std::u16string& path,
                   std::vector<std::u16string>* names) const;
  // Names of the key's values in creation order; false when the key is missing.
  bool EnumValues(Hive hive, View view, const std::u16string& path,
                  std::vector<std::u16string>* names) const;
  // False when the key or the value is missing. Data is returned whole; length limits are the
  // caller's.
  bool QueryValue(Hive hive, View view, const std::u16string& path, const std::u16string& name,
                  RegValue* value) const;
  // The key must exist (it is not created); a value of another type is replaced.
  bool SetValue(Hive hive, View view, const std::u16string& path, const std::u16string& name,
                const RegValue& value) const;
  // False when the key or the value is missing.
  bool DeleteValue(Hive hive, View view, const std::u16string& path,
                   const std::u16string& name) const;
  // Deletes the key with all its subkeys and values; false when it is missing or is the root.
  bool DeleteKey(Hive hive, View view, const std::u16string& path) const;

 private:
  std::string localMachineDb_;
  std::string currentUserDb_;
};

}  // namespace nuv::os

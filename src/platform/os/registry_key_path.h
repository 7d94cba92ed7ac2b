// Key paths of the registry store as they are kept on disk: components split at backslashes,
// case-folded for comparison, and the view in which the key lives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/os/registry_store.h"

namespace nuv::os::registry_detail {

// Stored view codes: 0 for the shared tree, else the width of the view.
constexpr int kSharedView = 0;
constexpr int kView32 = 32;
constexpr int kView64 = 64;

struct KeyPath {
  int view = kSharedView;
  std::vector<std::string> names;   // components as given (UTF-8)
  std::vector<std::string> folded;  // folded full path of each prefix: folded[i] = names[0..i]
};

// Empty when the path is invalid. An empty path gives the root (no names).
std::optional<KeyPath> ParseKeyPath(Hive hive, View view, const std::u16string& path);

// The stored view of the root's direct children seen through `view` in `hive`, besides the shared
// ones.
int RootChildView(Hive hive, View view);

// Lossless UTF-16 <-> UTF-8: an unpaired surrogate is kept as its own three-byte sequence so that
// any text stored comes back unchanged.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

// Comparison form of a name: ASCII letters folded to lower case, as UTF-8.
std::string FoldName(const std::u16string& name);

}  // namespace nuv::os::registry_detail

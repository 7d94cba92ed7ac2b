// Where the process's skin documents and images come from: a zip archive held in memory (the
// program's resource "ZIPRES" 133), or a plain folder (tests, skin authors). 2x images live under
// "2x/" with the same names. Images named "res='N' restype='T'" come from the program's resource
// table instead.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace SkinUI {

class SkinArchive;

class SkinResources {
 public:
  SkinResources();
  ~SkinResources();

  // The process's skin source.
  static SkinResources& Get();

  // Takes a zip archive's bytes; false (logged, nothing set) when it is empty or not a zip.
  bool SetResourceZip(std::string bytes);
  // Reads files from a folder instead (a trailing separator is optional).
  void SetFolder(std::string folder);
  void Clear();
  bool HasSource() const;

  // A file by its archive name ("skin.xml", "2x/btn_normal.png"); nothing when absent.
  std::optional<std::string> ReadFile(std::string_view name) const;
  // Whether the document is in the source (a missing one is logged).
  bool LoadSkin(std::string_view name);

 private:
  mutable std::mutex lock_;  // guards the source (windows of several threads read images)
  std::unique_ptr<SkinArchive> archive_;
  std::string folder_;
};

}  // namespace SkinUI

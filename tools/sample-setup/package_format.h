// The sample setup's package format: the sample-setup program, then padding, then a block of
// settings that choose how the package behaves when it runs, then a fixed trailer:
//
//   [program bytes][padding][settings text][uint64 settings size][uint64 padding size]["NUVSSCF1"]
//
// (sizes little-endian). The settings text is "key=value" lines, UTF-8. The program's
// ".nuv_version" section is rewritten to the chosen version, so the package carries it as its
// file version. A program file without a trailer runs with the defaults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sample_setup {

inline constexpr char kTrailerMagic[9] = "NUVSSCF1";
inline constexpr size_t kTrailerSize = 24;
// Room in the program's version section (the text plus at least one NUL).
inline constexpr size_t kVersionSectionSize = 32;

// Settings and their defaults:
//   role             "setup" | "product" (an installed product program; set by the setup itself)
//   brand            "Veltrin"          registry key Software\<brand>\<product>
//   product          "Capturo"          product name (folder and registry key)
//   pid              "0"                product id; 0 takes the /PID= switch
//   version          "1.0.0.0"          version of the package and of the installed product
//   exe              "Capturo"          file name of the installed product program
//   exit_code        "0"                exit code of the run; non-zero writes no registry record
//   hang_at          "-1"               stop and hang (one hour at most) after reporting this
//   percent progress_step    "5"                percent between progress messages (0, step, ...,
//   100) step_ms          "0"                pause after each progress message payload_bytes "4096"
//   size of the data file installed next to the program copydata         "sample-setup done" text
//   sent to the window as WM_COPYDATA start_record     ""                 product role: file that
//   each start appends a line to
class Settings {
 public:
  Settings();
  std::string Get(const std::string& key) const;
  int64_t GetNumber(const std::string& key) const;  // non-numbers count as 0
  void Set(const std::string& key, std::string value);
  const std::map<std::string, std::string>& Values() const { return values_; }

  // Keys and values must not hold line breaks; '=' ends the key.
  std::string Serialize() const;
  static Settings Parse(std::string_view text);

 private:
  std::map<std::string, std::string> values_;
};

// The sizes a trailer (the file's last kTrailerSize bytes) gives, checked against the file size.
struct TrailerInfo {
  uint64_t settingsSize = 0;
  uint64_t paddingSize = 0;
  uint64_t ProgramSize(uint64_t fileSize) const {
    return fileSize - kTrailerSize - settingsSize - paddingSize;
  }
};
std::optional<TrailerInfo> ParseTrailer(std::string_view last, uint64_t fileSize);

// The bytes of a program file with any package trailer (padding, settings) removed, and the
// settings it carried (defaults when none).
struct Unpacked {
  std::string program;
  Settings settings;
};
Unpacked Unpack(const std::string& fileBytes);

// Rewrites the ".nuv_version" section of an ELF image in place; false when there is none or the
// version does not fit.
bool PatchVersionSection(std::string& elf, std::string_view version);

// program + settings (+ padding up to totalSize when it is not 0), with the version section set
// to the settings' version. Nothing when totalSize is too small or the version can't be set.
std::optional<std::string> BuildPackage(const std::string& program, const Settings& settings,
                                        uint64_t totalSize = 0);

}  // namespace sample_setup

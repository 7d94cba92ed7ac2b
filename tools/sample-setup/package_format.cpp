#include "tools/sample-setup/package_format.h"

#include <elf.h>

#include <cstring>

namespace sample_setup {

namespace {

uint64_t ReadU64(const std::string& bytes, size_t offset) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

void AppendU64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Deterministic filler, so equal requests give equal packages (and equal digests).
void AppendPadding(std::string& out, uint64_t size) {
  uint64_t state = 0x9E3779B97F4A7C15ULL ^ size;
  out.reserve(out.size() + size);
  for (uint64_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    out += static_cast<char>(state & 0xFF);
  }
}

}  // namespace

Settings::Settings() {
  values_ = {
      {"role", "setup"},    {"brand", "Veltrin"},      {"product", "Capturo"},
      {"pid", "0"},         {"version", "1.0.0.0"},    {"exe", "Capturo"},
      {"exit_code", "0"},   {"hang_at", "-1"},         {"progress_step", "5"},
      {"step_ms", "0"},     {"payload_bytes", "4096"}, {"copydata", "sample-setup done"},
      {"start_record", ""},
  };
}

std::string Settings::Get(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? std::string() : it->second;
}

int64_t Settings::GetNumber(const std::string& key) const {
  std::string text = Get(key);
  size_t i = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  int64_t n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (n > (INT64_MAX - 9) / 10) break;
    n = n * 10 + (text[i] - '0');
  }
  return negative ? -n : n;
}

void Settings::Set(const std::string& key, std::string value) {
  values_[key] = std::move(value);
}

std::string Settings::Serialize() const {
  std::string out;
  for (const auto& [key, value] : values_) out += key + "=" + value + "\n";
  return out;
}

Settings Settings::Parse(std::string_view text) {
  Settings settings;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    settings.Set(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
  }
  return settings;
}

std::optional<TrailerInfo> ParseTrailer(std::string_view last, uint64_t fileSize) {
  if (last.size() != kTrailerSize || fileSize < kTrailerSize ||
      std::memcmp(last.data() + 16, kTrailerMagic, 8) != 0) {
    return std::nullopt;
  }
  std::string bytes(last);
  TrailerInfo info{ReadU64(bytes, 0), ReadU64(bytes, 8)};
  uint64_t body = fileSize - kTrailerSize;
  if (info.settingsSize > body || info.paddingSize > body - info.settingsSize) return std::nullopt;
  return info;
}

Unpacked Unpack(const std::string& fileBytes) {
  Unpacked result;
  size_t n = fileBytes.size();
  std::optional<TrailerInfo> info;
  if (n >= kTrailerSize)
    info = ParseTrailer(std::string_view(fileBytes).substr(n - kTrailerSize), n);
  if (!info) {
    result.program = fileBytes;
    return result;
  }
  uint64_t program = info->ProgramSize(n);
  result.settings = Settings::Parse(
      std::string_view(fileBytes).substr(program + info->paddingSize, info->settingsSize));
  result.program = fileBytes.substr(0, program);
  return result;
}

bool PatchVersionSection(std::string& elf, std::string_view version) {
  if (elf.size() < sizeof(Elf64_Ehdr) || std::memcmp(elf.data(), ELFMAG, SELFMAG) != 0 ||
      elf[EI_CLASS] != ELFCLASS64) {
    return false;
  }
  Elf64_Ehdr eh;
  std::memcpy(&eh, elf.data(), sizeof eh);
  if (eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum ||
      eh.e_shoff > elf.size() || eh.e_shnum > (elf.size() - eh.e_shoff) / sizeof(Elf64_Shdr)) {
    return false;
  }
  auto section = [&](size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, elf.data() + eh.e_shoff + i * sizeof sh, sizeof sh);
    return sh;
  };
  Elf64_Shdr names = section(eh.e_shstrndx);
  if (names.sh_offset > elf.size() || names.sh_size > elf.size() - names.sh_offset) return false;
  const char wanted[] = ".nuv_version";
  for (size_t i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh = section(i);
    if (sh.sh_name + sizeof wanted > names.sh_size) continue;
    if (std::memcmp(elf.data() + names.sh_offset + sh.sh_name, wanted, sizeof wanted) != 0) {
      continue;
    }
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > elf.size() ||
        sh.sh_size > elf.size() - sh.sh_offset || version.size() >= sh.sh_size) {
      return false;
    }
    std::memset(elf.data() + sh.sh_offset, 0, sh.sh_size);
    std::memcpy(elf.data() + sh.sh_offset, version.data(), version.size());
    return true;
  }
  return false;
}

std::optional<std::string> BuildPackage(const std::string& program, const Settings& settings,
                                        uint64_t totalSize) {
  std::string out = Unpack(program).program;
  if (!PatchVersionSection(out, settings.Get("version"))) return std::nullopt;
  std::string text = settings.Serialize();
  uint64_t fixed = out.size() + text.size() + kTrailerSize;
  uint64_t padding = 0;
  if (totalSize != 0) {
    if (totalSize < fixed) return std::nullopt;
    padding = totalSize - fixed;
  }
  AppendPadding(out, padding);
  out += text;
  AppendU64(out, text.size());
  AppendU64(out, padding);
  out.append(kTrailerMagic, 8);
  return out;
}

}  // namespace sample_setup

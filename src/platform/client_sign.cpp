// The machine's client identifier: read from its three copies or made anew.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/os/random.h"
#include "platform/os/registry_store.h"
#include "platform/registry.h"
#include "platform/registry_read.h"

namespace platform {
namespace {

using nuv::os::Hive;
using nuv::os::View;
using registry_detail::ReadSz;
using registry_detail::Wow64View32;
using registry_detail::WriteSz;

constexpr size_t kClientSignChars = 49;  // a 100-byte buffer with its terminator

std::u16string HelperKey(const std::u16string& brand) {
  return u"Software\\" + brand + u"\\" + brand + u" Helper Compact\\";
}

std::u16string NufKey(const std::u16string& brand) {
  return u"Software\\" + brand + u"\\NUF\\";
}

class XorShift128Plus {
 public:
  explicit XorShift128Plus(const unsigned char seed[16]) {
    std::memcpy(&s0_, seed, 8);
    std::memcpy(&s1_, seed + 8, 8);
    if (s0_ == 0 && s1_ == 0) s1_ = 0x9E3779B97F4A7C15ull;  // the all-zero state never moves
  }
  uint64_t Next() {
    uint64_t x = s0_;
    const uint64_t y = s1_;
    s0_ = y;
    x ^= x << 23;
    s1_ = x ^ y ^ (x >> 17) ^ (y >> 26);
    return s1_ + y;
  }

 private:
  uint64_t s0_ = 0;
  uint64_t s1_ = 0;
};

// Should the kernel refuse random bytes, the identifier must still differ between machines and
// runs, so time, process and address stand in.
void FallbackSeed(unsigned char seed[16]) {
  const uint64_t t =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                            std::chrono::system_clock::now().time_since_epoch().count());
  const uint64_t p = (static_cast<uint64_t>(getpid()) << 32) ^ reinterpret_cast<uintptr_t>(seed);
  std::memcpy(seed, &t, 8);
  std::memcpy(seed + 8, &p, 8);
}

std::u16string NewClientSign() {
  unsigned char seed[16];
  if (!nuv::os::FillRandom(seed, sizeof seed)) FallbackSeed(seed);
  XorShift128Plus generator(seed);
  const uint64_t numbers[2] = {generator.Next(), generator.Next()};

  // Every hexadecimal place of the template takes the next digit: bytes of the first number, then
  // the second, low byte first, low nibble first. The '4' stays, 'y' keeps two bits of its digit.
  static constexpr char kTemplate[] = "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx";
  static constexpr char kHex[] = "0123456789abcdef";
  std::u16string out = u"{";
  size_t digit = 0;
  for (const char* p = kTemplate; *p; ++p) {
    if (*p == '-') {
      out.push_back(u'-');
      continue;
    }
    const uint64_t number = numbers[digit / 16];
    const unsigned byte = (number >> (8 * ((digit % 16) / 2))) & 0xFF;
    const unsigned nibble = digit % 2 == 0 ? (byte & 0xF) : (byte >> 4);
    ++digit;
    if (*p == '4')
      out.push_back(u'4');
    else if (*p == 'y')
      out.push_back(static_cast<char16_t>(kHex[8 | (nibble & 3)]));
    else
      out.push_back(static_cast<char16_t>(kHex[nibble]));
  }
  out += u"G}";
  return out;
}

}  // namespace

std::u16string ReadClientSign(const std::u16string& brand) {
  const std::u16string helper = HelperKey(brand);
  // The per-user key is made when missing, as the Windows program opens it with create.
  nuv::os::RegistryStore().CreateKey(Hive::CurrentUser, View::Default, helper);
  // An empty copy carries no identity, so the next copy is asked; otherwise an empty per-user
  // value would make GetOrCreateClientSign overwrite the machine's real identifier.
  const struct {
    Hive hive;
    View view;
    std::u16string key;
  } copies[] = {
      {Hive::CurrentUser, View::Default, helper},
      {Hive::LocalMachine, Wow64View32(), helper},
      {Hive::LocalMachine, View::Default, NufKey(brand)},
  };
  for (const auto& copy : copies) {
    const auto sign = ReadSz(copy.hive, copy.view, copy.key, u"ClientSign", kClientSignChars);
    if (sign && !sign->empty()) return *sign;
  }
  return u"";
}

std::u16string GetOrCreateClientSign(const std::u16string& brand) {
  std::u16string sign = ReadClientSign(brand);
  if (!sign.empty()) return sign;
  sign = NewClientSign();
  // The keys are created: on a fresh machine they do not exist yet, and an identifier that is not
  // kept would change on every run.
  for (const std::u16string& key : {HelperKey(brand), NufKey(brand)}) {
    WriteSz(Hive::LocalMachine, Wow64View32(), key, u"ClientSign", sign);
  }
  return sign;
}

}  // namespace platform

// The program's arguments as a key/value table, and the Windows splitting of one command-line
// text: a text the program builds from quoted arguments splits back into those arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/os/cmdline_split.h"
#include "shell/command_line.h"
#include "xml/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // argv as the kernel hands it over: NUL-separated pieces.
  const std::vector<std::string> args = fuzz::SplitAtNul(data, size);
  const CommandLineTable table(args);
  (void)table.IsForkMode();
  for (const std::string& arg : args) {
    const std::u16string wide = Utf8ToWide(arg);
    const std::u16string key = wide.substr(0, wide.find(u'='));
    FUZZ_CHECK(table.Has(key));
    (void)table.Value(key);
  }

  // The same bytes as one UTF-16 text (installer arguments come from the server like this).
  const std::u16string line = fuzz::Units(data, size);
  const std::vector<std::u16string> split = nuv::os::SplitCommandLine(line);
  FUZZ_CHECK(line.empty() == split.empty());

  // Quoting each piece and joining with spaces gives the pieces back.
  std::vector<std::u16string> wanted = {u"setup"};
  std::u16string joined = u"setup";
  for (const std::u16string& piece : split) {
    wanted.push_back(piece);
    joined += u' ';
    joined += nuv::os::QuoteArgument(piece);
  }
  FUZZ_CHECK(nuv::os::SplitCommandLine(joined) == wanted);
  return 0;
}

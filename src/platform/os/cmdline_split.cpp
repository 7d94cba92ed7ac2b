#include "platform/os/cmdline_split.h"

namespace nuv::os {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> args;
  size_t i = 0;
  const size_t n = line.size();
  if (n == 0) return args;

  // Program name: no backslash rules, a quote only delimits it.
  std::u16string program;
  if (line[0] == u'"') {
    i = 1;
    while (i < n && line[i] != u'"') program += line[i++];
    if (i < n) ++i;  // closing quote
  } else {
    while (i < n && !IsBlank(line[i])) program += line[i++];
  }
  args.push_back(std::move(program));

  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    std::u16string arg;
    bool quoted = false;
    while (i < n) {
      char16_t c = line[i];
      if (!quoted && IsBlank(c)) break;
      if (c == u'\\') {
        size_t backslashes = 0;
        while (i < n && line[i] == u'\\') {
          ++backslashes;
          ++i;
        }
        if (i < n && line[i] == u'"') {
          arg.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            arg += u'"';
            ++i;
          }
          // An even count leaves the quote for the next round, where it toggles.
        } else {
          arg.append(backslashes, u'\\');
        }
        continue;
      }
      if (c == u'"') {
        if (quoted && i + 1 < n && line[i + 1] == u'"') {
          arg += u'"';  // a doubled quote inside quotes: one quote, and the quoting ends
          quoted = false;
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::u16string QuoteArgument(std::u16string_view argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string_view::npos) {
    return std::u16string(argument);
  }
  std::u16string out = u"\"";
  size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(backslashes * 2 + 1, u'\\');
      out += u'"';
    } else {
      out.append(backslashes, u'\\');
      out += c;
    }
    backslashes = 0;
  }
  // Backslashes before the closing quote are doubled so they stay literal.
  out.append(backslashes * 2, u'\\');
  out += u'"';
  return out;
}

}  // namespace nuv::os

#include <gtest/gtest.h>

#include "platform/os/cmdline_split.h"

using nuv::os::QuoteArgument;
using nuv::os::SplitCommandLine;

namespace {

struct SplitCase {
  std::u16string line;
  std::vector<std::u16string> args;
};

TEST(OsCommandLineSplit, WindowsRules) {
  const SplitCase cases[] = {
      {u"", {}},
      {u"prog.exe", {u"prog.exe"}},
      {u"prog.exe  a\tb  ", {u"prog.exe", u"a", u"b"}},
      // program name: quotes delimit, backslashes are literal, text after the quote starts a new
      // argument
      {u"\"C:\\Program Files\\p.exe\" x", {u"C:\\Program Files\\p.exe", u"x"}},
      {u"\"a b\"c d", {u"a b", u"c", u"d"}},
      {u"a\\\"b c", {u"a\\\"b", u"c"}},
      {u"p \"a b\" c", {u"p", u"a b", u"c"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
      {u"p \"\"", {u"p", u""}},
      {u"p a\\\\b", {u"p", u"a\\\\b"}},        // backslashes not before a quote are literal
      {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},  // 2n backslashes + quote: n, quote toggles
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},    // 2n+1 backslashes + quote: n and a literal quote
      {u"p \"a\"\"b c\"", {u"p", u"a\"b", u"c"}},  // doubled quote inside quotes ends the quoting
      {u"p \"\"\"", {u"p", u"\""}},
      {u"p \"unterminated arg", {u"p", u"unterminated arg"}},
      {u"p /DIR=\"C:\\x y\\\\\"", {u"p", u"/DIR=C:\\x y\\"}},
      {u"p K=a=b \u4E2D\u6587", {u"p", u"K=a=b", u"\u4E2D\u6587"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.args) << std::string(c.line.begin(), c.line.end());
  }
}

TEST(OsCommandLineSplit, QuotedArgumentsSplitBackUnchanged) {
  const std::u16string samples[] = {u"plain",   u"",        u"with space",           u"tab\there",
                                    u"q\"uote", u"trail\\", u"C:\\dir with space\\", u"\\\\\"",
                                    u"a\\\\b",  u"\"\"",    u"/DIR=/opt/x y/"};
  std::u16string line = u"prog";
  for (const std::u16string& s : samples) line += u" " + QuoteArgument(s);
  std::vector<std::u16string> args = SplitCommandLine(line);
  ASSERT_EQ(args.size(), std::size(samples) + 1);
  for (size_t i = 0; i < std::size(samples); ++i) EXPECT_EQ(args[i + 1], samples[i]);
  EXPECT_EQ(QuoteArgument(u"plain"), u"plain");
}

}  // namespace

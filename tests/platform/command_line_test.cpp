#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs the declarations of windows.h first.
#include <shellapi.h>
#endif

namespace quilmarr::test {
namespace {

struct CommandLineCase {
  const char* name;
  std::u16string program;
  std::vector<std::u16string> arguments;
  std::u16string expected;
};

const std::vector<CommandLineCase>& Cases() {
  static const std::vector<CommandLineCase> cases{
      {"plain paths unchanged",
       u"C:\\Tools\\Pendravel.exe",
       {u"D:\\pkg\\fw.pck", u"-P255"},
       u"C:\\Tools\\Pendravel.exe D:\\pkg\\fw.pck -P255"},
      {"program with blanks quoted",
       u"C:\\Program Files\\K\\Pendravel.exe",
       {u"-P255"},
       u"\"C:\\Program Files\\K\\Pendravel.exe\" -P255"},
      {"package with blanks quoted",
       u"P.exe",
       {u"D:\\my pkg\\fw 1.pck", u"-P255"},
       u"P.exe \"D:\\my pkg\\fw 1.pck\" -P255"},
      {"tab quoted", u"P.exe", {u"a\tb"}, u"P.exe \"a\tb\""},
      {"empty argument kept", u"P.exe", {u"", u"-P255"}, u"P.exe \"\" -P255"},
      {"quote escaped", u"P.exe", {u"a\"b"}, u"P.exe \"a\\\"b\""},
      {"backslashes before quote doubled", u"P.exe", {u"a\\\\\"b"}, u"P.exe \"a\\\\\\\\\\\"b\""},
      {"trailing backslash doubled inside quotes",
       u"P.exe",
       {u"C:\\my dir\\"},
       u"P.exe \"C:\\my dir\\\\\""},
      {"backslashes elsewhere literal", u"P.exe", {u"C:\\a b\\c"}, u"P.exe \"C:\\a b\\c\""},
      {"trailing backslash without blank untouched", u"P.exe", {u"C:\\dir\\"}, u"P.exe C:\\dir\\"},
      {"ExePath without separator glued on",
       u"C:\\ToolsPendravel.exe",
       {u"D:\\pkg\\fw.pck", u"-P255"},
       u"C:\\ToolsPendravel.exe D:\\pkg\\fw.pck -P255"},
  };
  return cases;
}

TEST(BuildWindowsCommandLine, QuotesOnlyWordsThatNeedIt) {
  for (const CommandLineCase& c : Cases()) {
    EXPECT_EQ(ToUtf8(BuildWindowsCommandLine(c.program, c.arguments)), ToUtf8(c.expected))
        << c.name;
  }
}

#ifdef _WIN32
// The platform's own parser splits every line back into the words it was made of.
TEST(BuildWindowsCommandLine, PlatformParserGetsTheWordsBack) {
  for (const CommandLineCase& c : Cases()) {
    const std::u16string line = BuildWindowsCommandLine(c.program, c.arguments);
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
    ASSERT_NE(words, nullptr) << c.name;
    std::vector<std::u16string> parsed;
    for (int i = 0; i < count; ++i)
      parsed.emplace_back(reinterpret_cast<const char16_t*>(words[i]));
    LocalFree(words);
    std::vector<std::u16string> expected{c.program};
    expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(parsed, expected) << c.name;
  }
}
#endif

}  // namespace
}  // namespace quilmarr::test

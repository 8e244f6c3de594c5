#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>

namespace kolvane {
namespace {

TEST(ArgumentText, SkipsProgramNameAndTheBlanksAfterIt) {
  EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\K\\k.exe\" C:\\WINDOWS\\system32\\ssvchost.exe"),
            L"C:\\WINDOWS\\system32\\ssvchost.exe");
  EXPECT_EQ(ArgumentText(L"C:\\TOOLS\\k.exe C:\\x y\\ssvchost.exe"), L"C:\\x y\\ssvchost.exe");
  EXPECT_EQ(ArgumentText(L"k.exe \t  \tC:\\a.exe"), L"C:\\a.exe");
}

TEST(ArgumentText, KeepsTheRestVerbatim) {
  // Inner blanks, trailing blanks and quotes are the argument's own.
  EXPECT_EQ(ArgumentText(L"k.exe C:\\a  b.exe  "), L"C:\\a  b.exe  ");
  EXPECT_EQ(ArgumentText(L"\"k.exe\" \"C:\\a b\\ssvchost.exe\""), L"\"C:\\a b\\ssvchost.exe\"");
}

TEST(ArgumentText, EmptyWhenThereIsNoArgument) {
  EXPECT_EQ(ArgumentText(L""), L"");
  EXPECT_EQ(ArgumentText(L"k.exe"), L"");
  EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\k.exe\""), L"");
  EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\k.exe\"   \t "), L"");
  // An unclosed quote makes the whole line the program's name.
  EXPECT_EQ(ArgumentText(L"\"C:\\k.exe C:\\a.exe"), L"");
}

TEST(ArgumentText, QuotedNameEndsAtItsClosingQuote) {
  EXPECT_EQ(ArgumentText(L"\"C:\\k.exe\"C:\\a.exe"), L"C:\\a.exe");
}

TEST(UnquotedPath, StripsOnePairOfQuotesAroundTheWholeArgument) {
  EXPECT_EQ(UnquotedPath(L"\"C:\\a b\\ssvchost.exe\""), L"C:\\a b\\ssvchost.exe");
  EXPECT_EQ(UnquotedPath(L"C:\\a b\\ssvchost.exe"), L"C:\\a b\\ssvchost.exe");
  EXPECT_EQ(UnquotedPath(L"\"\""), L"");
  // Not one pair around the whole text: left alone.
  EXPECT_EQ(UnquotedPath(L"\"C:\\a\" \"C:\\b\""), L"\"C:\\a\" \"C:\\b\"");
  EXPECT_EQ(UnquotedPath(L"\"C:\\a"), L"\"C:\\a");
  EXPECT_EQ(UnquotedPath(L"\""), L"\"");
}

TEST(ParseSwitch, SwitchesMalformedLinesAndPaths) {
  constexpr auto Bad = SwitchLine::Malformed;
  constexpr auto Path = SwitchLine::None;
  struct Case {
    const wchar_t* argument;
    SwitchLine line;
    Switch which = Switch::Help;
    const wchar_t* log = L"";
    const wchar_t* offline = L"";
  };
  const Case cases[] = {
      {L"/scan", SwitchLine::Valid, Switch::Scan, L""},
      {L"-SCAN", SwitchLine::Valid, Switch::Scan, L""},
      {L"\"/scan\"", SwitchLine::Valid, Switch::Scan, L""},
      {L"/Basmi  ", SwitchLine::Valid, Switch::Basmi, L""},
      {L"/remove", SwitchLine::Valid, Switch::Remove, L""},
      {L"/?", SwitchLine::Valid, Switch::Help, L""},
      {L"-?", SwitchLine::Valid, Switch::Help, L""},
      {L"/scan /log:C:\\logs\\k.log", SwitchLine::Valid, Switch::Scan, L"C:\\logs\\k.log"},
      {L"/basmi \t-LOG:\"\\\\server\\share\\Kolvane log.txt\"", SwitchLine::Valid, Switch::Basmi,
       L"\\\\server\\share\\Kolvane log.txt"},
      {L"\"/remove\" \"/log:D:\\a b.log\"", SwitchLine::Valid, Switch::Remove, L"D:\\a b.log"},
      // Another Windows, not running, before or after the log.
      {L"/scan /offline:D:\\Windows", SwitchLine::Valid, Switch::Scan, L"", L"D:\\Windows"},
      {L"-BASMI -Offline:\"E:\\Old Windows\" /log:C:\\k.log", SwitchLine::Valid, Switch::Basmi, L"C:\\k.log",
       L"E:\\Old Windows"},
      {L"/remove /log:\\\\srv\\logs\\k.log /OFFLINE:D:\\Windows", SwitchLine::Valid, Switch::Remove,
       L"\\\\srv\\logs\\k.log", L"D:\\Windows"},
      // Begins like a switch and is none: a typo, an empty script
      // variable, two switches, a path with blanks left unquoted.
      {L"/scna", Bad},
      {L"/scanx", Bad},
      {L"-x", Bad},
      {L"/", Bad},
      {L"\"/\"", Bad},
      {L"/scan /basmi", Bad},
      {L"/scan /log:", Bad},
      {L"/basmi /log:\"\"", Bad},
      {L"/remove /log:D:\\a b.log", Bad},
      {L"/? /log:C:\\a.log", Bad},
      {L"/log:C:\\a.log", Bad},
      {L"/elevated", Bad},
      // No DIR, the switch twice, with /? or without its colon.
      {L"/scan /offline:", Bad},
      {L"/scan /offline:\"\"", Bad},
      {L"/scan /offline", Bad},
      {L"/basmi /offline:D:\\Windows /offline:E:\\Windows", Bad},
      {L"/basmi /offline:D:\\Windows /log:a /log:b", Bad},
      {L"/? /offline:D:\\Windows", Bad},
      {L"/offline:D:\\Windows /scan", Bad},
      {L"/scan /offline:D:\\My Windows", Bad},
      // Paths to purge, as the Run value passes them.
      {L"C:\\WINDOWS\\system32\\ssvchost.exe", Path},
      {L"\"C:\\Program Files\\x\\ssvchost.exe\"", Path},
      {L"scan", Path},
      {L"\"\"", Path},
      {L"", Path},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    SwitchRequest request{Switch::Help, L"stale", L"stale"};
    ASSERT_EQ(ParseSwitch(c.argument, request), c.line);
    if (c.line != SwitchLine::Valid) continue;
    EXPECT_EQ(request.which, c.which);
    EXPECT_EQ(request.logPath, c.log);
    EXPECT_EQ(request.offlineDir, c.offline);
  }
}

TEST(ElevatedMark, TakenOnlyAsAWholeFirstArgument) {
  const std::pair<std::wstring, std::wstring> taken[] = {{L"/elevated", L""},
                                                         {L"/ELEVATED  C:\\x\\ssvchost.exe", L"C:\\x\\ssvchost.exe"},
                                                         {L"/elevated \t/scan", L"/scan"}};
  for (auto [argument, rest] : taken) {
    EXPECT_TRUE(TakeElevatedMark(argument));
    EXPECT_EQ(argument, rest);
  }
  for (std::wstring argument : {L"/elevatedx", L"C:\\x /elevated", L"\"/elevated\""}) {
    const std::wstring before = argument;
    EXPECT_FALSE(TakeElevatedMark(argument));
    EXPECT_EQ(argument, before);
  }
}

}  // namespace
}  // namespace kolvane

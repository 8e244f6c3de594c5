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

TEST(ParseSwitch, SwitchesForScriptsAndEverythingElseIsAPath) {
  struct Case {
    const wchar_t* argument;
    std::optional<Switch> which;
    const wchar_t* log;
  };
  const Case cases[] = {
      {L"/scan", Switch::Scan, L""},
      {L"-SCAN", Switch::Scan, L""},
      {L"/Basmi  ", Switch::Basmi, L""},
      {L"/remove", Switch::Remove, L""},
      {L"/?", Switch::Help, L""},
      {L"-?", Switch::Help, L""},
      {L"/scan /log:C:\\logs\\k.log", Switch::Scan, L"C:\\logs\\k.log"},
      {L"/basmi \t-LOG:\"\\\\server\\share\\Kolvane log.txt\"", Switch::Basmi, L"\\\\server\\share\\Kolvane log.txt"},
      {L"/remove /log:D:\\a b.log", Switch::Remove, L"D:\\a b.log"},
      // Paths to purge, as they always were.
      {L"C:\\WINDOWS\\system32\\ssvchost.exe", std::nullopt, L""},
      {L"/scanx", std::nullopt, L""},
      {L"scan", std::nullopt, L""},
      {L"/", std::nullopt, L""},
      {L"/scan /basmi", std::nullopt, L""},
      {L"/scan /log:", std::nullopt, L""},
      {L"/scan /log:\"\"", std::nullopt, L""},
      {L"/scan /log:\"C:\\a", std::nullopt, L""},
      {L"/scan /log:C:\\a\"b", std::nullopt, L""},
      {L"/? /log:C:\\a.log", std::nullopt, L""},
      {L"/log:C:\\a.log", std::nullopt, L""},
      {L"", std::nullopt, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    SwitchRequest request{Switch::Help, L"stale"};
    ASSERT_EQ(ParseSwitch(c.argument, request), c.which.has_value());
    if (!c.which) continue;
    EXPECT_EQ(request.which, *c.which);
    EXPECT_EQ(request.logPath, c.log);
  }
}

}  // namespace
}  // namespace kolvane

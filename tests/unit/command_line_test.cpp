#include "app/command_line.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kolvane

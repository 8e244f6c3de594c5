#include "form_fixture.h"

namespace kolvane {
namespace {

using StartupTest = FormTest;

TEST_F(StartupTest, InteractiveStartFillsTheWindowAndTouchesNothing) {
  PlantThreat();
  const auto registryBefore = m.registry.keys;

  EXPECT_EQ(Start(), Form1::AfterLoad::ShowWindow);

  EXPECT_EQ(m.view.texts[Control::Form1], L"Kolvane Backdoor.Helios.B");
  EXPECT_EQ(m.view.texts[Control::Text1], L"C:\\WINDOWS");
  EXPECT_EQ(m.view.texts[Control::Command2], L"Basmi Virus Backdoor.Helios.B");
  EXPECT_EQ(m.view.texts[Control::Label3],
            L"Ini adalah program Kolvane Backdoor.Helios.B. Program ini dibuat berdasarkan informasi-informasi di "
            L"internet. Remove Registry digunakan untuk mengembalikan registry kalau Anda telah membasmi virusnya "
            L"dengan AntiVirus.\r\nProgram ini dibuat oleh : Haryono (haryono@example.com)");
  EXPECT_EQ(form.Infected, 0);
  EXPECT_EQ(form.CommandArg, L"");
  EXPECT_EQ(form.SystemDir, L"C:\\WINDOWS\\system32");
  EXPECT_EQ(form.CurrentDir, L"C:\\TOOLS");

  EXPECT_TRUE(m.dialogs.messages.empty());
  EXPECT_EQ(m.process.endCalls, 0);
  EXPECT_EQ(m.registry.keys, registryBefore);
  EXPECT_EQ(m.files.files.size(), 1u);
  EXPECT_TRUE(m.files.deleteCalls.empty());
}

TEST_F(StartupTest, BlanksAfterTheProgramNameAreNoArgument) {
  EXPECT_EQ(Start(L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\"  \t "), Form1::AfterLoad::ShowWindow);
  EXPECT_EQ(m.process.endCalls, 0);
  EXPECT_TRUE(m.dialogs.messages.empty());
}

TEST_F(StartupTest, ArgumentRunsThePurgeBeforeTheAboutText) {
  PlantThreat();
  EXPECT_EQ(Start(L"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe " + threatPath), Form1::AfterLoad::ProcessEnded);

  EXPECT_EQ(m.process.endCalls, 1);
  ASSERT_EQ(m.dialogs.messages.size(), 1u);
  EXPECT_EQ(m.view.texts[Control::Form1], L"Kolvane Backdoor.Helios.B");
  EXPECT_EQ(m.view.texts.count(Control::Label3), 0u);
}

TEST_F(StartupTest, LimitedTokenAsksForAdministratorRightsOnceAtTheStart) {
  struct Case {
    Elevation elevation;
    bool startedByRequest;
    RelaunchResult result;
    bool relaunched, windowShown;
  };
  const Case cases[] = {
      {Elevation::CanBeElevated, false, RelaunchResult::Started, true, false},
      {Elevation::CanBeElevated, false, RelaunchResult::Declined, true, true},
      {Elevation::CanBeElevated, false, RelaunchResult::Failed, true, true},
      // The copy the request started, even if still limited, and Windows XP
      // or an elevated start: no question.
      {Elevation::CanBeElevated, true, RelaunchResult::Started, false, true},
      {Elevation::Elevated, false, RelaunchResult::Started, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    m = {};
    m.process.elevation = c.elevation;
    m.process.relaunchResult = c.result;
    // The request passes the mark; nothing a user sets for every program
    // (the environment) can stand in for it.
    const std::wstring self = L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\"";
    EXPECT_EQ(Start(c.startedByRequest ? self + L" /Elevated " : self),
              c.windowShown ? Form1::AfterLoad::ShowWindow : Form1::AfterLoad::ProcessEnded);
    EXPECT_EQ(m.process.relaunches,
              c.relaunched ? std::vector<std::wstring>{L"/elevated"} : std::vector<std::wstring>{});
    // Held before the request, which must start the program that runs.
    EXPECT_EQ(m.files.heldProgram, m.process.moduleFileName) << "held from the start";
    EXPECT_EQ(m.process.exitCodes, c.windowShown ? std::vector<int>{} : std::vector<int>{0});
    EXPECT_TRUE(m.dialogs.messages.empty());
  }
}

TEST_F(StartupTest, FailedDirectoryQueriesGiveEmptyTexts) {
  m.process.windowsDir.clear();
  m.process.systemDir.clear();
  m.process.currentDir.clear();
  EXPECT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  EXPECT_EQ(m.view.texts[Control::Text1], L"");
  EXPECT_EQ(form.SystemDir, L"");
  EXPECT_EQ(form.CurrentDir, L"");
}

}  // namespace
}  // namespace kolvane

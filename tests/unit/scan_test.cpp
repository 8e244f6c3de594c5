#include "form_fixture.h"

namespace kolvane {
namespace {

class ScanTest : public FormTest {
 protected:
  void SetUp() override { ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow); }

  std::wstring Scan() {
    m.dialogs.messages.clear();
    form.Command1_Click();
    EXPECT_EQ(m.dialogs.messages.size(), 1u) << "exactly one message per scan";
    return m.dialogs.messages.empty() ? L"" : m.dialogs.messages.back();
  }

  const std::wstring infected = L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B";
  const std::wstring clean = L"System Windows Anda Bebas Virus Backdoor.Helios.B";
};

TEST_F(ScanTest, ThreatOfExactSizeIsFound) {
  m.files.files[threatPath] = kThreatSize;
  m.view.texts[Control::Command2] = L"something else";
  EXPECT_EQ(Scan(), infected);
  EXPECT_EQ(form.Infected, 1);
  EXPECT_EQ(m.view.texts[Control::Command2], L"Basmi Virus Backdoor.Helios.B");
}

TEST_F(ScanTest, OnlyTheExactSizeCounts) {
  for (const std::uint64_t size :
       std::vector<std::uint64_t>{kThreatSize - 1, kThreatSize + 1, kThreatSize + (std::uint64_t{1} << 32), 0}) {
    m.files.files[threatPath] = size;
    EXPECT_EQ(Scan(), clean) << size;
    EXPECT_EQ(form.Infected, 0);
  }
}

TEST_F(ScanTest, MissingFileIsClean) {
  EXPECT_EQ(Scan(), clean);
  EXPECT_EQ(form.Infected, 0);
}

TEST_F(ScanTest, RescanAfterTheFileIsGoneResetsInfected) {
  m.files.files[threatPath] = kThreatSize;
  EXPECT_EQ(Scan(), infected);
  m.files.files.clear();
  EXPECT_EQ(Scan(), clean);
  EXPECT_EQ(form.Infected, 0);
  form.Command2_Click();
  EXPECT_EQ(m.dialogs.messages.back(), L"Scan Windows Dulu");
  EXPECT_FALSE(m.registry.HasKey(RunKey));
}

TEST_F(ScanTest, LooksInTheSystemDirectoryAsReported) {
  m.process.systemDir = L"D:\\WINNT\\SYSTEM32";
  ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  m.files.files[threatPath] = kThreatSize;  // the usual place, but not this machine's
  EXPECT_EQ(Scan(), clean);
  m.files.files[L"D:\\WINNT\\SYSTEM32\\ssvchost.exe"] = kThreatSize;
  EXPECT_EQ(Scan(), infected);
}

TEST_F(ScanTest, OnA64BitWindowsEitherHalfIsInfected) {
  m.process.wow64 = true;
  ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  EXPECT_EQ(Scan(), clean);
  m.files.files[threat64] = kThreatSize;
  EXPECT_EQ(Scan(), infected);
  m.files.files[threat64] = kThreatSize + 1;
  EXPECT_EQ(Scan(), clean);
  m.files.files[threatPath] = kThreatSize;
  EXPECT_EQ(Scan(), infected);
}

}  // namespace
}  // namespace kolvane

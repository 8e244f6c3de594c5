// The real program against start-up keys whose access list refuses it:
// Wine enforces a key's DACL even for its administrator. Each refusal is
// reported, and nothing is written or lost.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <vector>

#include "app/threat_profile.h"
#include "driver.h"

namespace e2e {
namespace {

using kolvane::RunKey;
using kolvane::RunServicesKey;

constexpr wchar_t kCaption[] = L"Kolvane Backdoor.Helios.B";

// While it lives, nobody may set or delete values of the key (a deny entry
// for KEY_SET_VALUE ahead of an allow-all entry); the key's own access
// list comes back when it ends.
class DeniedKey {
 public:
  explicit DeniedKey(const std::wstring& subKey) : subKey_(subKey) {
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = 0;
    ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.resize(size);
    if (size == 0 || ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS) {
      original_.clear();
      return;
    }
    PSECURITY_DESCRIPTOR deny = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &deny,
                                                               nullptr)) {
      denied_ = ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, deny) == ERROR_SUCCESS;
      ::LocalFree(deny);
    }
  }
  ~DeniedKey() {
    if (denied_) ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  DeniedKey(const DeniedKey&) = delete;
  DeniedKey& operator=(const DeniedKey&) = delete;

  // True when the key really refuses a write now.
  bool Refuses() const {
    HKEY probe = nullptr;
    const LONG result = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, KEY_SET_VALUE, &probe);
    if (probe != nullptr) ::RegCloseKey(probe);
    return denied_ && result == ERROR_ACCESS_DENIED;
  }

 private:
  std::wstring subKey_;
  HKEY key_ = nullptr;
  std::vector<BYTE> original_;
  bool denied_ = false;
};

class Refusal : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    PlantFile(ThreatPath(), 110592);
    SetValue(RunKey, L"ssvchost", ThreatPath());
    SetValue(RunServicesKey, L"ssvchost", ThreatPath());
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RemoveFile(ThreatPath());
    DeleteValueEverywhere(RunKey, L"ssvchost");
    DeleteValueEverywhere(RunServicesKey, L"ssvchost");
    std::wstring left;
    EXPECT_FALSE(ReadValue(RunKey, L"ssvchost", &left)) << "the key's access list came back";
  }

  static std::wstring Value(const wchar_t* subKey) {
    std::wstring data = L"<none>";
    ReadValue(subKey, L"ssvchost", &data);
    return data;
  }

  // Waits for the next box of the program and returns its text, pressing OK.
  static std::wstring Answer(DWORD pid) {
    HWND box = WaitForMessageBox(pid);
    if (box == nullptr) return L"<no box: " + DescribeProcess(pid) + L">";
    const std::wstring text = MessageBoxText(box);
    PressOk(box);
    return text;
  }

  static std::wstring Full(const wchar_t* subKey) {
    return std::wstring(L"\r\nHKEY_LOCAL_MACHINE\\") + subKey + L"\\ssvchost";
  }
};

TEST_F(Refusal, ArmingStopsWhenTheRunKeyRefuses) {
  DeniedKey run(RunKey);
  ASSERT_TRUE(run.Refuses());
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(ClickButton(form, L"Scan Windows Anda"));
  EXPECT_EQ(Answer(app.pid()), L"Komputer Anda Terinfeksi Virus Backdoor.Helios.B");
  ASSERT_TRUE(ClickButton(form, L"Basmi Virus Backdoor.Helios.B"));
  EXPECT_EQ(Answer(app.pid()), L"Registry tidak dapat diubah. Jalankan program ini sebagai Administrator.");
  EXPECT_EQ(Value(RunKey), ThreatPath()) << "the Run value is as it was";
  EXPECT_EQ(Value(RunServicesKey), ThreatPath()) << "nothing else was written";
  EXPECT_FALSE(FileExists(CopyPath())) << "the copy does not stay";
  EXPECT_EQ(WaitForMessageBox(app.pid(), L"", 300), nullptr) << "no countdown starts";
  ::PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
}

TEST_F(Refusal, RemoveRegistryNamesEveryValueItCouldNotDelete) {
  DeniedKey run(RunKey);
  DeniedKey services(RunServicesKey);
  ASSERT_TRUE(run.Refuses());
  ASSERT_TRUE(services.Refuses());
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", kCaption);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(ClickButton(form, L"Remove Registry"));
  EXPECT_EQ(Answer(app.pid()),
            L"Gagal Mengembalikan registry. Tidak dapat menghapus:" + Full(RunKey) + Full(RunServicesKey));
  EXPECT_EQ(Value(RunKey), ThreatPath());
  EXPECT_EQ(Value(RunServicesKey), ThreatPath());
  ::PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
}

TEST_F(Refusal, PurgeReportsTheRunKeyAndStillRemovesTheFile) {
  {
    DeniedKey run(RunKey);
    ASSERT_TRUE(run.Refuses());
    App app(ThreatPath());
    EXPECT_EQ(Answer(app.pid()), PurgeLog(L"Gagal", ThreatPath(), L"Sukses"));
    EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
  }
  EXPECT_EQ(Value(RunKey), ThreatPath());
  EXPECT_EQ(Value(RunServicesKey), L"<none>");
  EXPECT_FALSE(FileExists(ThreatPath()));
}

TEST_F(Refusal, SwitchesGiveFiveForAValueTheyCannotDelete) {
  DeniedKey run(RunKey);
  ASSERT_TRUE(run.Refuses());
  for (const wchar_t* arguments : {L"/basmi", L"/remove"}) {
    App app(arguments, ProgramPath(), false);
    DWORD code = 0;
    ASSERT_TRUE(app.WaitForExit(kTimeoutMs, &code)) << arguments;
    EXPECT_EQ(code, 5u) << arguments;
  }
  EXPECT_EQ(Value(RunKey), ThreatPath());
  EXPECT_EQ(Value(RunServicesKey), L"<none>") << "deleted what it could";
  EXPECT_FALSE(FileExists(ThreatPath()));
  EXPECT_FALSE(FileExists(CopyPath()));
}

TEST_F(Refusal, PurgeSaysNothingOfARefusingRunServicesKey) {
  DeniedKey services(RunServicesKey);
  ASSERT_TRUE(services.Refuses());
  App app(ThreatPath());
  EXPECT_EQ(Answer(app.pid()), PurgeLog(L"Sukses", ThreatPath(), L"Sukses"));
  EXPECT_TRUE(app.WaitForExit(kTimeoutMs));
  EXPECT_EQ(Value(RunKey), L"<none>");
  EXPECT_EQ(Value(RunServicesKey), ThreatPath());
}

}  // namespace
}  // namespace e2e

#include "form_fixture.h"

namespace kolvane {
namespace {

class RestoreTest : public FormTest {
 protected:
  void SetUp() override { ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow); }

  std::wstring Restore() {
    m.dialogs.messages.clear();
    m.process.events.clear();
    form.Command3_Click();
    EXPECT_EQ(m.registry.openKeys, 0);
    EXPECT_EQ(m.dialogs.messages.size(), 1u);
    return m.dialogs.messages.empty() ? L"" : m.dialogs.messages.back();
  }
};

TEST_F(RestoreTest, BothValuesPresentAreRemovedWithoutAScan) {
  PlantThreat();
  m.registry.SetValue(RunKey, L"other", L"keep me");
  EXPECT_EQ(Restore(), L"Sukses Mengembalikan registry");
  EXPECT_EQ(Recorded(), L"Remove Registry | dihapus | registry dikembalikan | 0");
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost"));
  EXPECT_TRUE(m.registry.HasValue(RunKey, L"other"));
  EXPECT_EQ(m.files.files.count(threatPath), 1u) << "the file is not the restore's business";
}

TEST_F(RestoreTest, NothingToRemoveStillSucceedsAndTwiceIsHarmless) {
  EXPECT_EQ(Restore(), L"Sukses Mengembalikan registry");
  EXPECT_EQ(Recorded(), L"Remove Registry | bersih | registry dikembalikan | 0");
  PlantThreat();
  EXPECT_EQ(Restore(), L"Sukses Mengembalikan registry");
  EXPECT_EQ(Restore(), L"Sukses Mengembalikan registry");
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
}

TEST_F(RestoreTest, KeyThatCannotBeOpenedIsNamed) {
  PlantThreat();
  m.registry.denied.insert(RunKey);
  EXPECT_EQ(Restore(),
            L"Gagal Mengembalikan registry. Tidak dapat menghapus:\r\n"
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost");
  EXPECT_FALSE(m.registry.HasValue(RunServicesKey, L"ssvchost")) << "the other key is still cleaned";
}

TEST_F(RestoreTest, ValueThatCannotBeDeletedIsNamed) {
  PlantThreat();
  m.registry.undeletable.insert(std::wstring(RunKey) + L"\\ssvchost");
  m.registry.undeletable.insert(std::wstring(RunServicesKey) + L"\\ssvchost");
  EXPECT_EQ(Restore(),
            L"Gagal Mengembalikan registry. Tidak dapat menghapus:\r\n"
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost\r\n"
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\ssvchost");
}

TEST_F(RestoreTest, DeniedKeyWithoutTheValueIsStillAFailure) {
  // Whether the value is there cannot be known without opening the key.
  m.registry.keys[RunServicesKey];
  m.registry.denied.insert(RunServicesKey);
  EXPECT_EQ(Restore(),
            L"Gagal Mengembalikan registry. Tidak dapat menghapus:\r\n"
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices\\ssvchost");
}

TEST_F(RestoreTest, BothHalvesOfA64BitWindowsAndTheOneThatStaysIsNamed) {
  PlantThreat();
  PlantThreat64();
  m.registry.undeletable.insert(fake::Key64(RunKey) + L"\\ssvchost");
  EXPECT_EQ(Restore(),
            L"Gagal Mengembalikan registry. Tidak dapat menghapus:\r\n"
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost (64-bit)");
  EXPECT_EQ(Recorded(),
            L"Remove Registry | ditolak | akses ditolak: "
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\ssvchost (64-bit) | 5");
  EXPECT_FALSE(m.registry.HasValue(RunKey, L"ssvchost"));
  EXPECT_FALSE(m.registry.HasValue(fake::Key64(RunServicesKey), L"ssvchost"));
  m.registry.undeletable.clear();
  EXPECT_EQ(Restore(), L"Sukses Mengembalikan registry");
  EXPECT_FALSE(m.registry.HasValue(fake::Key64(RunKey), L"ssvchost"));
}

}  // namespace
}  // namespace kolvane

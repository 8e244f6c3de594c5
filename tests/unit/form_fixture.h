// A Form1 on a fake machine, with the threat's usual places at hand.
#pragma once

#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/module1.h"
#include "app/threat_profile.h"
#include "platform/fake/fake_platform.h"

namespace kolvane {

class FormTest : public ::testing::Test {
 protected:
  static constexpr std::uint64_t kThreatSize = 110592;
  static constexpr std::uint64_t kProgramSize = 34816;
  // Where the arming copies the program.
  const std::wstring copyPath = L"C:\\WINDOWS\\KolvaneBackdoorHeliosB.exe";
  const std::wstring threatPath = L"C:\\WINDOWS\\system32\\ssvchost.exe";

  // Starts the program with the given command line and runs Form_Load.
  Form1::AfterLoad Start(const std::wstring& commandLine = L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\"") {
    m.process.commandLine = commandLine;
    return form.Form_Load();
  }

  // The threat in the 64-bit half of a 64-bit Windows, as this 32-bit
  // program reaches it.
  const std::wstring threat64 = L"C:\\WINDOWS\\Sysnative\\ssvchost.exe";
  void PlantThreat64() {
    m.process.wow64 = true;
    m.files.files[threat64] = kThreatSize;
    m.registry.SetValue(fake::Key64(RunKey), L"ssvchost", L"C:\\WINDOWS\\system32\\ssvchost.exe");
    m.registry.SetValue(fake::Key64(RunServicesKey), L"ssvchost", L"C:\\WINDOWS\\system32\\ssvchost.exe");
  }

  void PlantThreat() {
    m.files.files[threatPath] = kThreatSize;
    m.registry.SetValue(RunKey, L"ssvchost", threatPath);
    m.registry.SetValue(RunServicesKey, L"ssvchost", threatPath);
  }

  // The registry without the event log's part of it, where every run that
  // examines or changes the machine registers the program's records.
  std::map<std::wstring, fake::FakeRegistry::Key> Keys() const {
    auto keys = m.registry.keys;
    std::erase_if(keys, [](const auto& key) { return key.first.starts_with(L"SYSTEM"); });
    return keys;
  }

  // The one record the run wrote to the event log, as "step | word | what |
  // code", once its event ID and type are checked against its word.
  std::wstring Recorded() {
    static constexpr struct {
      const wchar_t* word;
      unsigned id;
      EventType type;
    } kinds[] = {{L"bersih", 1, EventType::Information},  {L"ditemukan", 2, EventType::Warning},
                 {L"dihapus", 3, EventType::Information}, {L"menunggu-restart", 4, EventType::Warning},
                 {L"ditolak", 5, EventType::Error},       {L"tidak-diperiksa", 6, EventType::Error}};
    EXPECT_EQ(m.process.events.size(), 1u);
    if (m.process.events.size() != 1) return L"";
    const auto& event = m.process.events.front();
    const auto& t = event.texts;
    bool known = false;
    for (const auto& kind : kinds) {
      if (t[1] != kind.word) continue;
      known = true;
      EXPECT_EQ(event.id, kind.id) << t[1];
      EXPECT_EQ(event.type, kind.type) << t[1];
    }
    EXPECT_TRUE(known) << t[1];
    return t[0] + L" | " + t[1] + L" | " + t[2] + L" | " + t[3];
  }
  // Where the event log finds the records' texts: the program's file.
  std::wstring MessageFile() const {
    const wchar_t* source = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Kolvane";
    return m.registry.HasValue(source, L"EventMessageFile") ? m.registry.Value(source, L"EventMessageFile") : L"";
  }

  fake::FakeMachine m;
  Form1 form{m.platform(), m.view};
};

}  // namespace kolvane

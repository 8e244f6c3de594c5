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

  fake::FakeMachine m;
  Form1 form{m.platform(), m.view};
};

}  // namespace kolvane

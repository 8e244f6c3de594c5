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
  const std::wstring threatPath = L"C:\\WINDOWS\\system32\\ssvchost.exe";

  // Starts the program with the given command line and runs Form_Load.
  Form1::AfterLoad Start(const std::wstring& commandLine = L"\"C:\\TOOLS\\KolvaneBackdoorHeliosB.exe\"") {
    m.process.commandLine = commandLine;
    return form.Form_Load();
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

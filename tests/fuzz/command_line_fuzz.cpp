// Feeds arbitrary command lines through start-up and the purge on the fake
// machine: no crash, and nothing is lost but the threat's own file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/form1.h"
#include "platform/fake/fake_platform.h"

namespace {

using kolvane::Form1;

void Check(bool ok) {
  if (!ok) std::abort();
}

// An independent statement of the signature: file name and size.
bool LooksLikeTheThreat(const std::wstring& path, std::uint64_t size) {
  const auto slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  for (auto& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return name == L"ssvchost.exe" && size == 110592;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Two bytes a UTF-16 code unit, as Windows hands over the command line.
  std::wstring commandLine;
  for (std::size_t i = 0; i + 1 < size; i += 2) commandLine += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

  kolvane::fake::FakeMachine m;
  m.files.files = {
      {L"C:\\WINDOWS\\system32\\ssvchost.exe", 110592},  {L"C:\\WINDOWS\\system32\\svchost.exe", 110592},
      {L"C:\\WINDOWS\\system32\\ssvchost.dll", 110592},  {L"C:\\Data\\ssvchost.exe", 110591},
      {L"C:\\Program Files\\Old\\SSVCHOST.EXE", 110592}, {L"C:\\a", 1},
  };
  m.files.locked = {L"C:\\Program Files\\Old\\SSVCHOST.EXE"};
  const std::map<std::wstring, std::uint64_t> before = m.files.files;
  m.process.commandLine = commandLine;

  Form1 form(m.platform(), m.view);
  const Form1::AfterLoad after = form.Form_Load();

  kolvane::SwitchRequest parsed{};
  std::wstring argument = kolvane::ArgumentText(commandLine);
  kolvane::TakeElevatedMark(argument);
  const kolvane::SwitchLine line = kolvane::ParseSwitch(argument, parsed);
  const kolvane::SwitchRequest* request = line == kolvane::SwitchLine::Valid ? &parsed : nullptr;
  if (after == Form1::AfterLoad::ShowWindow) {
    Check(m.dialogs.messages.empty() && m.process.endCalls == 0 && m.files.deleteCalls.empty());
  } else if (line == kolvane::SwitchLine::Malformed) {
    // Nothing changes, nothing is shown; the event log says why, and only
    // the event log's own keys are written.
    Check(m.process.exitCodes == std::vector<int>{87} && m.dialogs.messages.empty() && m.files.files == before);
    Check(m.files.deleteAtRestart.empty() && m.files.lines.empty());
    Check(m.process.events.size() == 1 && m.process.events.front().id == 6);
    for (const auto& key : m.registry.keys) Check(key.first.starts_with(L"SYSTEM"));
  } else if (request) {
    // A switch: an exit code a script knows, no box but the usage, no restart.
    const int code = m.process.exitCodes.empty() ? -1 : m.process.exitCodes.front();
    Check(m.process.exitCodes.size() == 1 && (code == 0 || code == 1 || code == 5 || code == 3010));
    Check(m.dialogs.messages.size() == (request->which == kolvane::Switch::Help ? 1u : 0u));
    Check(m.power.restartRequests == 0 && m.process.unattended);
  } else {
    Check(m.process.endCalls == 1 && m.dialogs.messages.size() == 1);
    const std::wstring& log = m.dialogs.messages.front();
    Check(log.rfind(L"Proses Pembasmian Virus...\r\n", 0) == 0);
    Check(log.size() >= 2 && log.compare(log.size() - 2, 2, L"\r\n") == 0);
  }
  Check(m.registry.openKeys == 0);
  Check(m.files.deleteCalls.size() <= 1);
  // The one file that may go is the threat in its own place, whatever the
  // argument named.
  const std::wstring threat = L"C:\\WINDOWS\\system32\\ssvchost.exe";
  for (const auto& [path, bytes] : before) {
    if (m.files.files.count(path) == 0) Check(path == threat && LooksLikeTheThreat(path, bytes));
  }
  for (const auto& path : m.files.deleteAtRestart) Check(path == threat);
  return 0;
}

#include "app/threat_profile.h"

namespace kolvane {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

void AssignHeliosB(ThreatProfile& profile) {
  profile.ThreatName = L"Backdoor.Helios.B";
  profile.ThreatTag = L"BackdoorHeliosB";
  profile.ThreatFile = L"ssvchost.exe";
  profile.ThreatSize = 110592;
  profile.RunValueName = L"ssvchost";
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace kolvane

// What the program knows about the one threat it removes, and where the
// threat registers itself to start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kolvane {

struct ThreatProfile {
  std::wstring ThreatName;
  std::wstring ThreatTag;
  std::wstring ThreatFile;
  std::int32_t ThreatSize = 0;
  std::wstring RunValueName;
};

// Gives profile the description of Backdoor.Helios.B, in place.
void AssignHeliosB(ThreatProfile& profile);

inline constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t RunServicesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

// Windows compares file names and switches without regard to letter case.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

}  // namespace kolvane

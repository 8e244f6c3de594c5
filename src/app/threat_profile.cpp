#include "app/threat_profile.h"

namespace kolvane {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool HasThreatSignature(const ThreatProfile& threat, const std::wstring& path, std::uint64_t size) {
  const auto slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  return EqualsIgnoringAsciiCase(name, threat.ThreatFile) && size == static_cast<std::uint64_t>(threat.ThreatSize);
}

}  // namespace kolvane

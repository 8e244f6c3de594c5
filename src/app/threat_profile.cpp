#include "app/threat_profile.h"

namespace kolvane {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool HasThreatSignature(const ThreatProfile& threat, const std::wstring& path, std::uint64_t size) {
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::size_t name = slash == std::wstring::npos ? 0 : slash + 1;
  return EqualsIgnoringAsciiCase({path.c_str() + name, path.size() - name}, threat.ThreatFile) &&
         size == static_cast<std::uint64_t>(threat.ThreatSize);
}

}  // namespace kolvane

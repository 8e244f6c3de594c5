#include "app/texts.h"

namespace kolvane::text {

std::wstring& Append(std::wstring& to, const char* ascii) {
  std::size_t at = to.size();
  std::size_t n = 0;
  while (ascii[n] != '\0') ++n;
  to.resize(at + n);
  for (std::size_t i = 0; i < n; ++i) to[at + i] = static_cast<wchar_t>(ascii[i]);
  return to;
}

std::wstring Wide(const char* ascii) {
  std::wstring text;
  Append(text, ascii);
  return text;
}

}  // namespace kolvane::text

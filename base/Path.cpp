#include "base/Path.h"

#include "base/Encoding.h"

namespace kl {

std::wstring NormalizePath(std::wstring_view path) {
  std::wstring out;
  out.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'\\') c = L'/';
    if (c == L'/' && !out.empty() && out.back() == L'/') continue;
    out.push_back(c);
  }
  return out;
}

std::wstring JoinPath(std::wstring_view base, std::wstring_view name) {
  if (base.empty()) return NormalizePath(name);
  if (name.empty()) return NormalizePath(base);
  std::wstring joined(base);
  joined.push_back(L'/');
  joined.append(name);
  return NormalizePath(joined);
}

std::string NativePath(std::wstring_view path) { return WideToUtf8(path); }

}  // namespace kl

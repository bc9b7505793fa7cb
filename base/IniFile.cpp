#include "base/IniFile.h"

#include <fstream>
#include <iterator>

#include "base/Path.h"

namespace kl {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

std::wstring_view TrimBlanks(std::wstring_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x += 32;
    if (y >= L'A' && y <= L'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::wstring IniFile::Decode(std::string_view bytes, int ansiCodePage) {
  if (bytes.starts_with("\xFF\xFE")) return Utf16BytesToWide(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16BytesToWide(bytes.substr(2), true);
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToWide(bytes.substr(3));
  if (IsValidUtf8(bytes)) return Utf8ToWide(bytes);
  return CodePageToWide(bytes, ansiCodePage);
}

bool IniFile::LoadFile(const std::wstring& path, int ansiCodePage) {
  m_sections.clear();
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  Parse(Decode(bytes, ansiCodePage));
  return true;
}

void IniFile::Parse(std::wstring_view text) {
  m_sections.clear();
  Section* current = nullptr;  // keys before the first section belong to no section
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == L'\r' && text[end + 1] == L'\n') ++pos;

    if (line.empty() || line.front() == L';') continue;
    if (line.front() == L'[') {
      const size_t close = line.find(L']');
      const std::wstring_view name = TrimBlanks(line.substr(1, close == std::wstring_view::npos ? line.npos : close - 1));
      m_sections.push_back({std::wstring(name), {}});
      current = &m_sections.back();
      continue;
    }
    const size_t eq = line.find(L'=');
    if (!current || eq == std::wstring_view::npos) continue;
    std::wstring_view value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    current->entries.emplace_back(std::wstring(TrimBlanks(line.substr(0, eq))), std::wstring(value));
  }
}

IniFile::Section* IniFile::FindSection(std::wstring_view name) {
  for (Section& s : m_sections)
    if (EqualsNoCase(s.name, name)) return &s;
  return nullptr;
}

const IniFile::Section* IniFile::FindSection(std::wstring_view name) const {
  return const_cast<IniFile*>(this)->FindSection(name);
}

std::wstring IniFile::GetString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback) const {
  if (const Section* s = FindSection(section))
    for (const auto& [k, v] : s->entries)
      if (EqualsNoCase(k, key)) return v;
  return std::wstring(fallback);
}

bool IniFile::HasKey(std::wstring_view section, std::wstring_view key) const {
  if (const Section* s = FindSection(section))
    for (const auto& entry : s->entries)
      if (EqualsNoCase(entry.first, key)) return true;
  return false;
}

void IniFile::SetString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  Section* s = FindSection(section);
  if (!s) {
    m_sections.push_back({std::wstring(section), {}});
    s = &m_sections.back();
  }
  for (auto& entry : s->entries) {
    if (EqualsNoCase(entry.first, key)) {
      entry.second = value;
      return;
    }
  }
  s->entries.emplace_back(std::wstring(key), std::wstring(value));
}

std::wstring IniFile::ToText() const {
  std::wstring out;
  for (const Section& s : m_sections) {
    out += L"[" + s.name + L"]\r\n";
    for (const auto& [k, v] : s.entries) out += k + L"=" + v + L"\r\n";
  }
  return out;
}

}  // namespace kl

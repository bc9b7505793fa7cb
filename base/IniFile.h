// IniFile: Windows-style initialisation files ("[section]" lines and "key=value" lines), read
// with the rules of the Windows private-profile reader:
//   - the file may be UTF-16 with a byte-order mark, UTF-8 with or without one, or 8-bit text
//     in a legacy code page (decoded through iconv);
//   - section and key names compare case-insensitively (ASCII), surrounding blanks ignored;
//   - the first section of a name is the one searched, and the first matching key in it wins;
//   - a value loses its surrounding blanks and one pair of matching surrounding quotes;
//   - lines starting with ";" are comments.
// Writing keeps the order of sections and keys and produces UTF-8 text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Encoding.h"

namespace kl {

class IniFile {
 public:
  // Decodes bytes as described above; `ansiCodePage` is used for 8-bit text that is not UTF-8.
  static std::wstring Decode(std::string_view bytes, int ansiCodePage = kSystemCodePage);

  // Reads and parses a file. False (and an empty object) when the file cannot be read.
  bool LoadFile(const std::wstring& path, int ansiCodePage = kSystemCodePage);
  void Parse(std::wstring_view text);

  // The value, or `fallback` when the section or key is missing.
  std::wstring GetString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback = {}) const;
  bool HasKey(std::wstring_view section, std::wstring_view key) const;

  // Replaces the first matching key's value or appends the key (and the section) at the end.
  void SetString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  // The whole file as text with CR LF line ends.
  std::wstring ToText() const;

 private:
  struct Section {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;
  };
  Section* FindSection(std::wstring_view name);
  const Section* FindSection(std::wstring_view name) const;

  std::vector<Section> m_sections;
};

}  // namespace kl

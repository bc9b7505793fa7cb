// CString: the program's string value, a thin class over std::wstring.
//
// A null `const wchar_t*` is an empty string, never a crash. Format follows the MSVC
// conventions the program's format strings were written for: "%s" takes a wide string,
// "%S" and "%hs" a narrow (UTF-8) one, "%c" a wide character, "%I64d" a 64-bit integer.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace kl {

class CString {
 public:
  CString() = default;
  CString(const wchar_t* text) : m_str(text ? text : L"") {}  // NOLINT: implicit by design
  CString(const wchar_t* text, size_t length) : m_str(text ? std::wstring(text, length) : std::wstring()) {}
  CString(std::wstring text) : m_str(std::move(text)) {}  // NOLINT
  CString(std::wstring_view text) : m_str(text) {}        // NOLINT

  static CString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  const wchar_t* GetString() const { return m_str.c_str(); }
  const std::wstring& Str() const { return m_str; }
  operator const std::wstring&() const { return m_str; }  // NOLINT
  operator std::wstring_view() const { return m_str; }    // NOLINT

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  wchar_t GetAt(int index) const;  // 0 outside the string

  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first, int count = -1) const;
  // Index of the first occurrence at or after `start`, or -1.
  int Find(std::wstring_view what, int start = 0) const;
  int Find(wchar_t what, int start = 0) const;
  int ReverseFind(wchar_t what) const;
  bool StartsWith(std::wstring_view prefix) const;

  CString& MakeLower();  // ASCII letters only, as the file formats expect
  CString& MakeUpper();
  CString& Trim();
  int Replace(std::wstring_view from, std::wstring_view to);  // returns the number replaced
  int CompareNoCase(std::wstring_view other) const;            // ASCII case folding

  // printf-style formatting with MSVC conventions (see above). Returns *this.
  CString& Format(const wchar_t* format, ...);
  CString& AppendFormat(const wchar_t* format, ...);
  static CString FormatV(const wchar_t* format, va_list args);

  CString& operator+=(const CString& other) {
    m_str += other.m_str;
    return *this;
  }
  CString& operator+=(wchar_t c) {
    m_str.push_back(c);
    return *this;
  }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend auto operator<=>(const CString& a, const CString& b) { return a.m_str <=> b.m_str; }

 private:
  std::wstring m_str;
};

}  // namespace kl

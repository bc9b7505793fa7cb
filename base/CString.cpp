#include "base/CString.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "base/Encoding.h"

namespace kl {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + 32 : c; }
wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - 32 : c; }
bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Pads `text` to `width` with spaces, on the right when `left` is set.
void AppendPadded(std::wstring& out, std::wstring_view text, int width, bool left) {
  const size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
  if (!left) out.append(pad, L' ');
  out.append(text);
  if (left) out.append(pad, L' ');
}

// Formats one numeric conversion with the C library, which handles flags, width and precision
// for these the same way on every platform.
template <typename T>
void AppendNumber(std::wstring& out, const std::string& cfmt, T value) {
  char buffer[512];
  int n = std::snprintf(buffer, sizeof(buffer), cfmt.c_str(), value);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof(buffer)) {
    out.append(buffer, buffer + n);
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), cfmt.c_str(), value);
  out.append(big.begin(), big.begin() + n);
}

enum class Size { Default, Short, Long, LongLong, SizeT, LongDouble };

// Widths and precisions beyond this are clamped: format texts may come from language files,
// and "%999999999d" must not ask for gigabytes or overflow the parser.
constexpr int kMaxField = 4096;

}  // namespace

CString CString::FromUtf8(std::string_view utf8) { return CString(Utf8ToWide(utf8)); }

std::string CString::ToUtf8() const { return WideToUtf8(m_str); }

wchar_t CString::GetAt(int index) const {
  return index >= 0 && index < GetLength() ? m_str[index] : L'\0';
}

CString CString::Left(int count) const { return CString(m_str.substr(0, std::clamp(count, 0, GetLength()))); }

CString CString::Right(int count) const {
  count = std::clamp(count, 0, GetLength());
  return CString(m_str.substr(m_str.size() - count));
}

CString CString::Mid(int first, int count) const {
  first = std::clamp(first, 0, GetLength());
  const int available = GetLength() - first;
  return CString(m_str.substr(first, count < 0 ? available : std::min(count, available)));
}

int CString::Find(std::wstring_view what, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  const size_t at = m_str.find(what, start);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Find(wchar_t what, int start) const { return Find(std::wstring_view(&what, 1), start); }

int CString::ReverseFind(wchar_t what) const {
  const size_t at = m_str.rfind(what);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

bool CString::StartsWith(std::wstring_view prefix) const { return m_str.starts_with(prefix); }

CString& CString::MakeLower() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(), AsciiLower);
  return *this;
}

CString& CString::MakeUpper() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(), AsciiUpper);
  return *this;
}

CString& CString::Trim() {
  size_t b = 0, e = m_str.size();
  while (b < e && IsSpace(m_str[b])) ++b;
  while (e > b && IsSpace(m_str[e - 1])) --e;
  m_str = m_str.substr(b, e - b);
  return *this;
}

int CString::Replace(std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return 0;
  int count = 0;
  std::wstring out;
  size_t pos = 0;
  for (size_t at; (at = m_str.find(from, pos)) != std::wstring::npos; pos = at + from.size()) {
    out.append(m_str, pos, at - pos);
    out.append(to);
    ++count;
  }
  if (count == 0) return 0;
  out.append(m_str, pos);
  m_str = std::move(out);
  return count;
}

int CString::CompareNoCase(std::wstring_view other) const {
  const size_t n = std::min(m_str.size(), other.size());
  for (size_t i = 0; i < n; ++i) {
    const wchar_t a = AsciiLower(m_str[i]), b = AsciiLower(other[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return m_str.size() == other.size() ? 0 : (m_str.size() < other.size() ? -1 : 1);
}

CString& CString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  *this = FormatV(format, args);
  va_end(args);
  return *this;
}

CString& CString::AppendFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  m_str += FormatV(format, args).m_str;
  va_end(args);
  return *this;
}

CString CString::FormatV(const wchar_t* format, va_list args) {
  std::wstring out;
  if (!format) return CString();
  for (const wchar_t* p = format; *p;) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out.push_back(L'%');
      ++p;
      continue;
    }
    std::string cfmt = "%";
    bool left = false;
    while (*p && std::wcschr(L"-+ #0", *p)) {
      left |= *p == L'-';
      cfmt.push_back(static_cast<char>(*p++));
    }
    int width = -1;
    if (*p == L'*') {
      width = va_arg(args, int);
      if (width < 0) {
        left = true;
        width = width == INT_MIN ? kMaxField : -width;
        cfmt.push_back('-');
      }
      width = std::min(width, kMaxField);
      cfmt += std::to_string(width);
      ++p;
    } else {
      for (; *p >= L'0' && *p <= L'9'; ++p) width = std::min((width < 0 ? 0 : width) * 10 + (*p - L'0'), kMaxField);
      if (width >= 0) cfmt += std::to_string(width);
    }
    int precision = -1;
    if (*p == L'.') {
      ++p;
      precision = 0;
      if (*p == L'*') {
        precision = std::min(va_arg(args, int), kMaxField);
        ++p;
      } else {
        for (; *p >= L'0' && *p <= L'9'; ++p) precision = std::min(precision * 10 + (*p - L'0'), kMaxField);
      }
      if (precision >= 0) {
        cfmt.push_back('.');
        cfmt += std::to_string(precision);
      }
    }
    Size size = Size::Default;
    if (*p == L'h') {
      size = Size::Short;
      ++p;
    } else if (*p == L'l') {
      size = Size::Long;
      if (*++p == L'l') {
        size = Size::LongLong;
        ++p;
      }
    } else if (*p == L'L') {
      size = Size::LongDouble;
      ++p;
    } else if (*p == L'z' || *p == L'j' || *p == L't') {
      size = Size::SizeT;
      ++p;
    } else if (*p == L'I') {
      if (p[1] == L'6' && p[2] == L'4') {
        size = Size::LongLong;
        p += 3;
      } else if (p[1] == L'3' && p[2] == L'2') {
        p += 3;
      } else {
        size = Size::SizeT;
        ++p;
      }
    }
    const wchar_t conv = *p;
    if (!conv) {
      out.append(start);  // a lone "%" at the end is kept as written
      break;
    }
    ++p;
    switch (conv) {
      case L'd':
      case L'i':
        cfmt.push_back('l');
        cfmt.push_back('l');
        cfmt.push_back('d');
        if (size == Size::LongLong) AppendNumber(out, cfmt, va_arg(args, long long));
        else if (size == Size::Long) AppendNumber(out, cfmt, static_cast<long long>(va_arg(args, long)));
        else if (size == Size::SizeT) AppendNumber(out, cfmt, static_cast<long long>(va_arg(args, std::ptrdiff_t)));
        else if (size == Size::Short) AppendNumber(out, cfmt, static_cast<long long>(static_cast<short>(va_arg(args, int))));
        else AppendNumber(out, cfmt, static_cast<long long>(va_arg(args, int)));
        break;
      case L'u':
      case L'x':
      case L'X':
      case L'o': {
        cfmt += "ll";
        cfmt.push_back(static_cast<char>(conv));
        unsigned long long v;
        if (size == Size::LongLong) v = va_arg(args, unsigned long long);
        else if (size == Size::Long) v = va_arg(args, unsigned long);
        else if (size == Size::SizeT) v = va_arg(args, size_t);
        else if (size == Size::Short) v = static_cast<unsigned short>(va_arg(args, unsigned int));
        else v = va_arg(args, unsigned int);
        AppendNumber(out, cfmt, v);
        break;
      }
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
      case L'a':
      case L'A':
        if (size == Size::LongDouble) {
          cfmt.push_back('L');
          cfmt.push_back(static_cast<char>(conv));
          AppendNumber(out, cfmt, va_arg(args, long double));
        } else {
          cfmt.push_back(static_cast<char>(conv));
          AppendNumber(out, cfmt, va_arg(args, double));
        }
        break;
      case L'p':
        AppendNumber(out, "%p", va_arg(args, void*));
        break;
      case L'c':
      case L'C': {
        const int v = va_arg(args, int);
        const bool narrow = (conv == L'c') == (size == Size::Short);
        const wchar_t ch = narrow ? static_cast<wchar_t>(static_cast<unsigned char>(v)) : static_cast<wchar_t>(v);
        AppendPadded(out, std::wstring_view(&ch, 1), width, left);
        break;
      }
      case L's':
      case L'S': {
        // "%s" is wide unless "h" narrows it; "%S" is narrow unless "l" widens it.
        const bool narrow = conv == L's' ? size == Size::Short : size != Size::Long;
        std::wstring text;
        if (narrow) {
          const char* s = va_arg(args, const char*);
          text = s ? Utf8ToWide(s) : L"(null)";
        } else {
          const wchar_t* s = va_arg(args, const wchar_t*);
          text = s ? s : L"(null)";
        }
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(precision);
        AppendPadded(out, text, width, left);
        break;
      }
      default:
        // Unknown conversions (including "%n", which would write through an argument) are
        // copied literally and consume no argument.
        out.append(start, p);
        break;
    }
  }
  return CString(std::move(out));
}

}  // namespace kl

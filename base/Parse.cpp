#include "base/Parse.h"

#include <algorithm>
#include <climits>

namespace kl {
namespace {

size_t SkipSpace(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  return i;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

int ParseDecimal(std::wstring_view text) {
  size_t i = SkipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  // Accumulate in 64 bits and clamp as soon as the magnitude leaves the int range.
  int64_t value = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - L'0'), limit);
  return static_cast<int>(negative ? -value : value);
}

uint32_t ParseHex(std::wstring_view text) {
  size_t i = SkipSpace(text);
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
      i + 2 < text.size() && HexDigit(text[i + 2]) >= 0)
    i += 2;
  uint64_t value = 0;
  for (int d; i < text.size() && (d = HexDigit(text[i])) >= 0; ++i) {
    value = std::min<uint64_t>(value * 16 + d, UINT32_MAX);
  }
  return static_cast<uint32_t>(value);
}

}  // namespace kl

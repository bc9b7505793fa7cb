#include "base/Encoding.h"

#include <iconv.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace kl {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Appends one code point to a wide string in the platform's wchar_t form.
void AppendCodePoint(std::wstring& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c > 0xFFFF) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(c));
}

// Reads the code point at `i` of a wide string and advances `i`. Lone surrogates come back as
// U+FFFD so that no conversion ever emits an unpaired surrogate.
char32_t NextCodePoint(std::wstring_view s, size_t& i) {
  char32_t c = static_cast<char32_t>(s[i++]);
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0xD800 && c <= 0xDBFF && i < s.size()) {
      char32_t low = static_cast<char32_t>(s[i]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      }
    }
  }
  if (IsSurrogate(c) || c > 0x10FFFF) return kReplacement;
  return c;
}

// Decodes one UTF-8 sequence at `i`. Returns the length consumed; 0 means invalid at `i`,
// -1 means the buffer ends inside an otherwise valid sequence.
int DecodeUtf8(std::string_view s, size_t i, char32_t& out) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    out = b0;
    return 1;
  }
  int len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    out = b0 & 0x1F;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    out = b0 & 0x0F;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    out = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  for (int k = 1; k < len; ++k) {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    out = (out << 6) | (b & 0x3F);
    // Reject overlong forms and surrogates as early as the second byte allows, so that a
    // truncated tail is only accepted when it could still become a valid character.
    if (k == 1) {
      if (b0 == 0xE0 && b < 0xA0) return 0;
      if (b0 == 0xED && b > 0x9F) return 0;
      if (b0 == 0xF0 && b < 0x90) return 0;
      if (b0 == 0xF4 && b > 0x8F) return 0;
    }
  }
  if (out < min || out > 0x10FFFF || IsSurrogate(out)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Runs iconv over the whole input. Undecodable input is skipped one unit at a time and marked
// lossy. Returns false when iconv cannot convert between the two names at all.
bool RunIconv(const std::string& from, const std::string& to, std::string_view in, std::string& out,
              size_t unit, bool* lossy) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[4096];
  while (true) {
    char* dst = buffer;
    size_t dstLeft = sizeof(buffer);
    size_t rc = srcLeft ? iconv(cd, &src, &srcLeft, &dst, &dstLeft) : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    if (rc != static_cast<size_t>(-1)) {
      if (srcLeft == 0) {
        // Flush any shift state, then stop.
        dst = buffer;
        dstLeft = sizeof(buffer);
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        break;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (truncated input): skip one unit and go on.
    if (lossy) *lossy = true;
    const size_t skip = std::min(unit, srcLeft);
    src += skip;
    srcLeft -= skip;
    if (srcLeft == 0) break;
  }
  iconv_close(cd);
  return true;
}

const char* WideIconvName() { return sizeof(wchar_t) == 2 ? "UTF-16LE" : "UTF-32LE"; }

std::wstring FromWideBytes(const std::string& bytes) {
  std::wstring out(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(wchar_t));
  return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8, bool* lossy) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    int len = DecodeUtf8(utf8, i, c);
    if (len <= 0) {
      if (lossy) *lossy = true;
      AppendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    AppendCodePoint(out, c);
    i += len;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  size_t i = 0;
  while (i < wide.size()) AppendUtf8(out, NextCodePoint(wide, i));
  return out;
}

std::wstring Utf16ToWide(std::u16string_view utf16, bool* lossy) {
  std::wstring out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(c)) {
      if (lossy) *lossy = true;
      c = kReplacement;
    }
    AppendCodePoint(out, c);
  }
  return out;
}

std::u16string WideToUtf16(std::wstring_view wide) {
  std::u16string out;
  out.reserve(wide.size());
  size_t i = 0;
  while (i < wide.size()) {
    char32_t c = NextCodePoint(wide, i);
    if (c > 0xFFFF) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::wstring Utf16BytesToWide(std::string_view bytes, bool bigEndian, bool* lossy) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  if (bytes.size() % 2 != 0 && lossy) *lossy = true;
  return Utf16ToWide(units, lossy);
}

std::string WideToUtf16Bytes(std::wstring_view wide, bool bigEndian) {
  const std::u16string units = WideToUtf16(wide);
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes, bool allowTruncatedTail) {
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t c = 0;
    int len = DecodeUtf8(bytes, i, c);
    if (len == -1) return allowTruncatedTail;
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string IconvNameForCodePage(int codePage) {
  switch (codePage) {
    case kCodePageUtf16LE: return "UTF-16LE";
    case kCodePageUtf16BE: return "UTF-16BE";
    case kCodePageUtf32LE: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case kCodePageUtf32: return "UTF-32";
    case kCodePageUtf7: return "UTF-7";
    case kCodePageUtf8: return "UTF-8";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 50220:
    case 50221:
    case 50222: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 52936: return "HZ";
    case 54936: return "GB18030";
    case 936: return "GBK";
    case 932: return "CP932";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: break;
  }
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  if (codePage == 38598) return "ISO-8859-8";
  // The Windows (125x), OEM (437, 850, ...) and EBCDIC (037, 500, ...) pages are known to
  // iconv by their numbers.
  if ((codePage >= 1250 && codePage <= 1258) || codePage == 874 || (codePage >= 437 && codePage <= 869) ||
      codePage == 37 || codePage == 500 || codePage == 1026 || codePage == 1047)
    return "CP" + std::to_string(codePage);
  return {};
}

std::wstring CodePageToWide(std::string_view bytes, int codePage, bool* lossy) {
  switch (codePage) {
    case kCodePageUtf8: return Utf8ToWide(bytes, lossy);
    case kCodePageUtf16LE: return Utf16BytesToWide(bytes, false, lossy);
    case kCodePageUtf16BE: return Utf16BytesToWide(bytes, true, lossy);
    default: break;
  }
  std::string name = IconvNameForCodePage(codePage);
  if (name.empty()) name = IconvNameForCodePage(kSystemCodePage);
  std::string out;
  if (!RunIconv(name, WideIconvName(), bytes, out, 1, lossy) &&
      !RunIconv(IconvNameForCodePage(kSystemCodePage), WideIconvName(), bytes, out, 1, lossy)) {
    if (lossy) *lossy = true;
    return {};
  }
  return FromWideBytes(out);
}

std::string WideToCodePage(std::wstring_view wide, int codePage, bool* lossy) {
  switch (codePage) {
    case kCodePageUtf8: return WideToUtf8(wide);
    case kCodePageUtf16LE: return WideToUtf16Bytes(wide, false);
    case kCodePageUtf16BE: return WideToUtf16Bytes(wide, true);
    default: break;
  }
  std::string name = IconvNameForCodePage(codePage);
  if (name.empty()) name = IconvNameForCodePage(kSystemCodePage);
  const std::string_view in(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  std::string out;
  // Characters with no equivalent are replaced by '?' as the Windows converter does.
  bool anyLossy = false;
  if (!RunIconv(WideIconvName(), name, in, out, sizeof(wchar_t), &anyLossy)) {
    if (lossy) *lossy = true;
    return WideToUtf8(wide);
  }
  if (anyLossy) {
    // Redo character by character so each unconvertible one becomes exactly one '?'.
    out.clear();
    std::string piece;
    for (wchar_t ch : wide) {
      bool bad = false;
      const std::string_view one(reinterpret_cast<const char*>(&ch), sizeof(wchar_t));
      RunIconv(WideIconvName(), name, one, piece, sizeof(wchar_t), &bad);
      if (bad || piece.empty()) out.push_back('?');
      else out += piece;
    }
    if (lossy) *lossy = true;
  }
  return out;
}

}  // namespace kl

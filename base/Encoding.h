// Text conversions between the program's wide strings and the byte forms that cross
// files, SQLite, X11, Pango and the network.
//
// Wide strings hold Unicode code points: UTF-32 where wchar_t is 32 bits (Linux), UTF-16
// where it is 16 bits (Windows). Code points above 0xFFFF are one wchar_t on Linux and a
// surrogate pair on Windows; the conversions below handle both widths.
//
// Legacy code pages are named by their Windows numbers (1252, 936, 932, ...) and converted
// with iconv. No function throws; invalid input is replaced by U+FFFD (or '?' when encoding)
// and reported through the optional `lossy` flag.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kl {

// Code page numbers with a meaning of their own in the program.
constexpr int kCodePageUtf16LE = 1200;
constexpr int kCodePageUtf16BE = 1201;
constexpr int kCodePageUtf32LE = 12000;
constexpr int kCodePageUtf7 = 65000;
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageUtf32 = 65005;
// The "system code page" used for 8-bit text that declares nothing and is not UTF-8.
// Linux has no ANSI code page; Windows-1252 decodes every byte, as the English
// Windows system code page does.
constexpr int kSystemCodePage = 1252;

std::wstring Utf8ToWide(std::string_view utf8, bool* lossy = nullptr);
std::string WideToUtf8(std::wstring_view wide);

// UTF-16 code units (host order) <-> wide.
std::wstring Utf16ToWide(std::u16string_view utf16, bool* lossy = nullptr);
std::u16string WideToUtf16(std::wstring_view wide);

// UTF-16 bytes in the given byte order; an odd trailing byte is dropped and reported as lossy.
std::wstring Utf16BytesToWide(std::string_view bytes, bool bigEndian, bool* lossy = nullptr);
std::string WideToUtf16Bytes(std::wstring_view wide, bool bigEndian);

// True when `bytes` is well-formed UTF-8. With `allowTruncatedTail`, a sequence cut off by the
// end of the buffer still counts as valid (the caller read only part of a file).
bool IsValidUtf8(std::string_view bytes, bool allowTruncatedTail = false);

// The iconv name of a Windows code page number, or empty when the number is unknown.
std::string IconvNameForCodePage(int codePage);

// Bytes in `codePage` -> wide. Undecodable bytes are skipped and set `lossy`; an unknown
// code page number falls back to kSystemCodePage.
std::wstring CodePageToWide(std::string_view bytes, int codePage, bool* lossy = nullptr);
// Wide -> bytes in `codePage`; characters without an equivalent become '?' and set `lossy`.
std::string WideToCodePage(std::wstring_view wide, int codePage, bool* lossy = nullptr);

}  // namespace kl

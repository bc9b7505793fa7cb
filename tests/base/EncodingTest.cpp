#include "base/Encoding.h"

#include <gtest/gtest.h>

namespace kl {
namespace {

TEST(Utf8, DecodesAndReplacesInvalidSequences) {
  struct Case {
    std::string bytes;
    std::wstring wide;
    bool lossy;
  } cases[] = {
      {"abc", L"abc", false},
      {"\xE9\x85\x8D\xE7\xBD\xAE", L"配置", false},
      {"\xF0\x9F\x8E\xB9", std::wstring(1, static_cast<wchar_t>(0x1F3B9)), false},
      {"a\xFFz", L"a\xFFFDz", true},                // not a lead byte
      {"\xC0\xAF", L"\xFFFD\xFFFD", true},          // overlong "/"
      {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD", true},  // encoded surrogate
      {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD", true},  // above U+10FFFF
      {"\xE9\x85", L"\xFFFD\xFFFD", true},          // cut short
  };
  for (const Case& c : cases) {
    bool lossy = false;
    EXPECT_EQ(Utf8ToWide(c.bytes, &lossy), c.wide) << c.bytes;
    EXPECT_EQ(lossy, c.lossy) << c.bytes;
  }
}

TEST(Utf8, ValidityWithTruncatedTail) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xE9\x85\x8D"));
  EXPECT_FALSE(IsValidUtf8("\xE9\x85"));
  EXPECT_TRUE(IsValidUtf8("\xE9\x85", true));   // the buffer ends inside a character
  EXPECT_FALSE(IsValidUtf8("\xE9\x41", true));   // broken, not cut
  EXPECT_FALSE(IsValidUtf8("caf\xE9 au lait", true));  // Latin-1 text
  EXPECT_FALSE(IsValidUtf8("\xED\xA0", true));   // could only become a surrogate
}

TEST(Utf16, BothByteOrdersAndSurrogatePairs) {
  const std::wstring text = L"A配" + std::wstring(1, static_cast<wchar_t>(0x1F3B9));
  for (bool big : {false, true}) {
    const std::string bytes = WideToUtf16Bytes(text, big);
    ASSERT_EQ(bytes.size(), 8u);  // A, 配, and a surrogate pair
    EXPECT_EQ(Utf16BytesToWide(bytes, big), text);
  }
  EXPECT_EQ(WideToUtf16Bytes(L"A", true), std::string("\0A", 2));
  bool lossy = false;
  EXPECT_EQ(Utf16ToWide(u"\xD800x", &lossy), L"\xFFFDx");  // lone high surrogate
  EXPECT_TRUE(lossy);
  lossy = false;
  Utf16BytesToWide(std::string("A\0B", 3), false, &lossy);  // odd byte count
  EXPECT_TRUE(lossy);
}

TEST(CodePages, LegacyPagesThroughIconv) {
  struct Case {
    int codePage;
    std::string bytes;
    std::wstring wide;
  } cases[] = {
      {1252, "caf\xE9 \x80", L"café €"},
      {28591, "\xE9", L"é"},
      {936, "\xC5\xE4\xD6\xC3", L"配置"},
      {932, "\x83\x4C\x81\x5B", L"キー"},
      {950, "\xB0\x74\xB8\x6D", L"配置"},
      {20866, "\xF0\xD2\xC9", L"При"},
      {kCodePageUtf8, "\xE5\xAE\x8F", L"宏"},
      {kCodePageUtf16BE, std::string("\x5B\x8F", 2), L"宏"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageToWide(c.bytes, c.codePage), c.wide) << c.codePage;
    EXPECT_EQ(WideToCodePage(c.wide, c.codePage), c.bytes) << c.codePage;
  }
}

TEST(CodePages, UnknownPageFallsBackAndUnmappableBecomesQuestionMark) {
  EXPECT_EQ(CodePageToWide("caf\xE9", 99999), L"café");  // the system page
  bool lossy = false;
  EXPECT_EQ(WideToCodePage(L"a宏b", 1252, &lossy), "a?b");
  EXPECT_TRUE(lossy);
  lossy = false;
  CodePageToWide("\x81\x20", 936, &lossy);  // a GBK lead byte without a valid trail
  EXPECT_TRUE(lossy);
  EXPECT_EQ(IconvNameForCodePage(12345), "");
}

}  // namespace
}  // namespace kl

#include "base/CString.h"

#include <gtest/gtest.h>

#include <climits>

namespace kl {
namespace {

TEST(CStringFormat, FollowsMsvcConventions) {
  const wchar_t* wide = L"配置";
  const char* narrow = "narrow é";
  struct Case {
    CString got;
    const wchar_t* expected;
  } cases[] = {
      {CString().Format(L"%s%d", L"Profile", 2), L"Profile2"},
      {CString().Format(L"[%s]", wide), L"[配置]"},
      {CString().Format(L"[%S]", narrow), L"[narrow é]"},
      {CString().Format(L"[%hs|%ls]", narrow, wide), L"[narrow é|配置]"},
      {CString().Format(L"[%5s|%-5s|%.2s]", L"ab", L"ab", L"abcdef"), L"[   ab|ab   |ab]"},
      {CString().Format(L"%c%C", L'宏', 'x'), L"宏x"},
      {CString().Format(L"%02X%04x", 0xAB, 0x1F), L"AB001f"},
      {CString().Format(L"%I64d %lld %ld", 1LL << 40, -5LL, 7L), L"1099511627776 -5 7"},
      {CString().Format(L"%u %d", 4000000000u, INT_MIN), L"4000000000 -2147483648"},
      {CString().Format(L"%.1f%%", 12.34), L"12.3%"},
      {CString().Format(L"%*d|%-*d|", 4, 7, 3, 1), L"   7|1  |"},
      {CString().Format(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)"},
      {CString().Format(L"%n%q"), L"%n%q"},  // never writes through an argument
      {CString().Format(L"tail %"), L"tail %"},
      {CString().Format(nullptr), L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got.Str(), c.expected);
}

TEST(CStringFormat, LongOutputIsNotTruncatedButHugeFieldsAreClamped) {
  std::wstring big(2000, L'x');
  EXPECT_EQ(CString().Format(L"%s|%0600d", big.c_str(), 5).GetLength(), 2000 + 1 + 600);
  EXPECT_EQ(CString().Format(L"%99999999999d", 1).GetLength(), 4096);
  EXPECT_EQ(CString().Format(L"%*s", INT_MIN, L"a").GetLength(), 4096);
  EXPECT_EQ(CString().Format(L"%.99999999999s", L"abc").Str(), L"abc");
}

TEST(CString, NullIsEmptyAndSlicesClamp) {
  CString s(static_cast<const wchar_t*>(nullptr));
  EXPECT_TRUE(s.IsEmpty());
  CString t(L"Profile 2");
  EXPECT_EQ(t.Left(7).Str(), L"Profile");
  EXPECT_EQ(t.Left(99).Str(), L"Profile 2");
  EXPECT_EQ(t.Right(1).Str(), L"2");
  EXPECT_EQ(t.Mid(8).Str(), L"2");
  EXPECT_EQ(t.Mid(20).Str(), L"");
  EXPECT_EQ(t.Mid(-3, 2).Str(), L"Pr");
  EXPECT_EQ(t.GetAt(-1), L'\0');
  EXPECT_EQ(t.GetAt(9), L'\0');
}

TEST(CString, SearchReplaceAndCase) {
  CString s(L"  a-b-c  ");
  s.Trim();
  EXPECT_EQ(s.Str(), L"a-b-c");
  EXPECT_EQ(s.Find(L'-'), 1);
  EXPECT_EQ(s.Find(L'-', 2), 3);
  EXPECT_EQ(s.Find(L"x"), -1);
  EXPECT_EQ(s.Find(L'-', 99), -1);
  EXPECT_EQ(s.ReverseFind(L'-'), 3);
  EXPECT_EQ(s.Replace(L"-", L"--"), 2);
  EXPECT_EQ(s.Str(), L"a--b--c");
  EXPECT_EQ(s.Replace(L"", L"x"), 0);
  EXPECT_EQ(CString(L"ÄbC").MakeLower().Str(), L"Äbc");  // ASCII only: file keys are ASCII
  EXPECT_EQ(CString(L"Fn").CompareNoCase(L"FN"), 0);
  EXPECT_LT(CString(L"a").CompareNoCase(L"B"), 0);
  EXPECT_GT(CString(L"ab").CompareNoCase(L"A"), 0);
}

TEST(CString, Utf8RoundTrip) {
  const std::string utf8 = "Macro 宏 \xF0\x9F\x8E\xB9";
  CString s = CString::FromUtf8(utf8);
  EXPECT_EQ(s.GetLength(), 9);  // one wchar_t per code point on this platform
  EXPECT_EQ(s.ToUtf8(), utf8);
}

}  // namespace
}  // namespace kl

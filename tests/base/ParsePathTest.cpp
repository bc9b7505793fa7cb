#include <gtest/gtest.h>

#include "base/Color.h"
#include "base/Geometry.h"
#include "base/Parse.h"
#include "base/Path.h"

namespace kl {
namespace {

TEST(Parse, DecimalLikeWtoi) {
  struct Case {
    const wchar_t* text;
    int value;
  } cases[] = {
      {L"301", 301},        {L"  -42x", -42},          {L"+7", 7},
      {L"", 0},             {L"abc", 0},               {L"12 34", 12},
      {L"2147483647", 2147483647},                     {L"2147483648", 2147483647},
      {L"99999999999999999999", 2147483647},           {L"-2147483648", -2147483647 - 1},
      {L"-99999999999999999999", -2147483647 - 1},     {L"\t\n 5", 5},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
}

TEST(Parse, HexWithOptionalPrefix) {
  struct Case {
    const wchar_t* text;
    uint32_t value;
  } cases[] = {
      {L"e0", 0xE0},        {L"0xFFF0", 0xFFF0},   {L"0X1a", 0x1A},     {L"af", 0xAF},
      {L"12g4", 0x12},      {L"", 0},              {L"0x", 0},          {L"zz", 0},
      {L"FFFFFFFF", 0xFFFFFFFF},                   {L"123456789ABC", 0xFFFFFFFF},
      {L" 0640", 0x640},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseHex(c.text), c.value) << c.text;
}

TEST(Path, JoinNormalisesWindowsSeparators) {
  EXPECT_EQ(JoinPath(L"/opt/keyloft", L"layouts\\TR640.xml"), L"/opt/keyloft/layouts/TR640.xml");
  EXPECT_EQ(JoinPath(L"/opt/keyloft/", L"skins//theme1\\\\bg.png"), L"/opt/keyloft/skins/theme1/bg.png");
  EXPECT_EQ(JoinPath(L"", L"a\\b"), L"a/b");
  EXPECT_EQ(JoinPath(L"/data/", L""), L"/data/");
  EXPECT_EQ(NormalizePath(L"\\\\x//y"), L"/x/y");
}

TEST(Geometry, RectangleConventions) {
  CRect r(10, 20, 40, 60);
  EXPECT_EQ(r.Width(), 30);
  EXPECT_EQ(r.Height(), 40);
  EXPECT_TRUE(r.PtInRect({10, 20}));
  EXPECT_FALSE(r.PtInRect({40, 20}));  // right edge excluded
  EXPECT_EQ(CRect::Intersect(r, CRect(30, 50, 100, 100)), CRect(30, 50, 40, 60));
  EXPECT_TRUE(CRect::Intersect(r, CRect(40, 20, 50, 30)).IsRectEmpty());
  EXPECT_EQ(CRect::Union(r, CRect()), r);
  EXPECT_EQ(CRect::Union(r, CRect(0, 0, 5, 5)), CRect(0, 0, 40, 60));
}

TEST(Color, ColorRefAndArgbForms) {
  constexpr COLORREF c = MakeColorRef(0xFD, 0xA8, 0x10);
  static_assert(c == 0x10A8FD);
  EXPECT_EQ(ColorRefToArgb(c), 0xFFFDA810u);
  EXPECT_EQ(ArgbToColorRef(0x80FDA810u), c);
  EXPECT_EQ(GetBValue(c), 0x10);
}

}  // namespace
}  // namespace kl

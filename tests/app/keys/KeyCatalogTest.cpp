#include "app/keys/KeyCatalog.h"

#include <gtest/gtest.h>

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "app/keys/ForbiddenWords.h"
#include "platform/Paths.h"

namespace kl {
namespace {

class LanguageFixture : public testing::Test {
 protected:
  void SetUp() override { platform::OverrideModuleFolder(KL_DATA_DIR_W); }
  void TearDown() override {
    platform::OverrideModuleFolder({});
    SetCurrentLanguage(kLanguageEnglish);
  }
};

TEST(VirtualKeyToKeyCode, ConvertsEveryKindOfKey) {
  const std::pair<int, int> cases[] = {
      {0x41, 4},    {0x5A, 29},   {0x31, 30},   {0x39, 38},   {0x30, 39},   {0x0D, 40},   {0x1B, 41},
      {0x08, 42},   {0x20, 44},   {666, 50},    {0xDC, 49},   {0xC0, 53},   {0x14, 57},   {0x70, 58},
      {0x7B, 69},   {0x7C, 104},  {0x87, 115},  {0x13, 72},   {0x22, 78},   {0x26, 82},   {0x90, 83},
      {0x6C, 88},   {0x61, 89},   {0x69, 97},   {0x60, 98},   {0x6E, 99},   {0xA2, 224},  {0x5B, 227},
      {0xA5, 230},  {0x5C, 231},  {0x5D, 101},  {0xE2, 100},  {0xFE, 175},  {0x88, 136},  {0x8B, 139},
      {0xAD, 235},  {0xB3, 238},  {0xA6, 243},  {0xAC, 241},  {0xB5, 232},  {0x07, 0},    {0x10, 0},
      {0xFF, 0},    {-1, 0},      {0x3A, 0},    {0x8C, 0},
  };
  for (const auto& [vk, code] : cases) EXPECT_EQ(VirtualKeyToKeyCode(vk), code) << "vk " << vk;
}

TEST(KeyCodeName, NamesKeysExactlyAsUsersKnowThem) {
  const std::pair<int, const wchar_t*> cases[] = {
      {4, L"A"},       {29, L"Z"},       {30, L"1"},    {39, L"0"},        {42, L"backspace"}, {49, L"\\"},
      {58, L"F1"},     {69, L"F12"},     {72, L"PASE"}, {75, L"PG UP"},    {83, L"NumLock"},   {88, L"Enter"},
      {89, L"1"},      {98, L"0"},       {99, L"."},    {101, L"MENU"},    {175, L"FN"},       {229, L"RSHIFT"},
      {230, L"RALT"},  {231, L""},       {100, L""},    {50, L""},         {0, L""},           {300, L""},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(KeyCodeName(code), name) << "code " << code;
}

TEST(KeyCatalog, TipsListsAndUnchangeableKeys) {
  const std::pair<int, int> tips[] = {{0, 0}, {1, 202}, {2, 205}, {12, 205}, {3, 206}, {5, 207}, {6, 208},
                                      {7, 209}, {8, 210}, {9, 211}, {10, 212}, {11, 0}, {4, 0}};
  for (const auto& [type, text] : tips) EXPECT_EQ(KeyTipTextId(type), text) << "type " << type;
  ASSERT_EQ(FunctionList7().size(), 15u);
  EXPECT_EQ(FunctionList7().back().textId, 715);
  ASSERT_EQ(FunctionList6().size(), 7u);
  EXPECT_EQ(FunctionList6()[6].textId, 236);
  ASSERT_EQ(MediaFunctionTexts().size(), 18u);
  EXPECT_EQ(MediaFunctionTexts().front().value, 232);
  EXPECT_EQ(MediaFunctionTexts().back().textId, 252);

  const std::set<int> locked = {58, 59};
  EXPECT_TRUE(IsUnchangeableKey(175, 0, locked));
  EXPECT_TRUE(IsUnchangeableKey(98, 0, locked));
  EXPECT_FALSE(IsUnchangeableKey(58, 0, locked));
  EXPECT_TRUE(IsUnchangeableKey(58, 1, locked));
  EXPECT_FALSE(IsUnchangeableKey(4, 1, locked));
}

using AssignmentTextTest = LanguageFixture;

TEST_F(AssignmentTextTest, ShowsListTextsAndDefaultMacroNamesInTheInterfaceLanguage) {
  struct Case {
    int language;
    int type;
    int value;
    const wchar_t* desc;
    std::wstring expected;
  };
  const Case cases[] = {
      {kLanguageEnglish, 7, 3, L"whatever was stored", L""},  // filled below with text 703
      {kLanguageChinese, 3, 9, L"Macro 2", L""},             // text 331 + " 2"
      {kLanguageEnglish, 3, 9, L"宏1", L""},                 // text 331 + "1"
      {kLanguageEnglish, 3, 9, L"Macro 2", L"Macro 2"},
      {kLanguageChinese, 3, 9, L"My macro", L"My macro"},
      {kLanguageEnglish, 5, 2, L"stored", L""},  // text 222
      {kLanguageEnglish, 5, 4, L"stored", L"stored"},
      {kLanguageEnglish, 7, 16, L"stored", L"stored"},
      {kLanguageEnglish, 2, 4, L"A", L"A"},
      {kLanguageEnglish, 10, 3, L"hello", L"hello"},
  };
  for (const Case& c : cases) {
    SetCurrentLanguage(c.language);
    std::wstring expected = c.expected;
    if (c.type == 7 && c.value == 3) expected = GetText(kTextSection, 703);
    if (c.type == 3 && expected.empty()) {
      expected = GetText(kTextSection, 331) + (c.language == kLanguageChinese ? L" 2" : L"1");
      EXPECT_NE(expected, c.desc);
    }
    if (c.type == 5 && expected.empty()) expected = GetText(kTextSection, 222);
    ASSERT_FALSE(expected.empty());
    KeyAssignmentRecord r;
    r.macroType = c.type;
    r.macroValue = c.value;
    r.macroDesc = c.desc;
    EXPECT_EQ(AssignmentText(r), expected) << "type " << c.type << " desc " << testing::PrintToString(c.desc);
  }
}

TEST(ForbiddenWords, MatchSubstringsInAnyLetterCase) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"JIZZ", true},      {L"my jIzz profile", true}, {L"Shit", true},   {L"FuCk", true},
      {L"你是傻逼", true},  {L"他妈的", true},       {L"Profile 1", false}, {L"Macro 2", false},
      {L"配置方案 3", false}, {L"", false},           {L"F uck", false},     {L"USB layout", false},
  };
  for (const auto& [text, forbidden] : cases) EXPECT_EQ(ContainsForbiddenWord(text), forbidden) << testing::PrintToString(text);
}

}  // namespace
}  // namespace kl

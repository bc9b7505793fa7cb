// Checks the configuration and layout that ship with the program: a broken data file would
// leave users without a recognised keyboard or with a wrong key map.
#include <gtest/gtest.h>

#include <set>

#include "app/config/Configuration.h"
#include "app/config/Layout.h"

namespace kl {
namespace {

TEST(ShippedData, ConfigurationServesTheKeyboard) {
  Configuration config;
  ASSERT_TRUE(LoadConfiguration(KL_DATA_DIR_W, config));
  EXPECT_EQ(ReadApplicationName(KL_DATA_DIR_W), L"Keyloft");
  ASSERT_EQ(config.keyboards.size(), 1u);
  EXPECT_EQ(config.keyboards[0].deviceType, 301);
  EXPECT_EQ(config.keyboards[0].deviceInfo, L"TR640");
  ASSERT_EQ(config.modes.size(), 2u);
  EXPECT_EQ(config.modes[0].mode, 0);
  EXPECT_EQ(config.modes[1].mode, 2);
  for (const DeviceEntry& m : config.modes) {
    EXPECT_EQ(m.name, L"");  // only an empty product name lets a mode match
    EXPECT_NE(m.vendorId, 0);
    EXPECT_FALSE(m.interfacePattern.empty());
    for (wchar_t c : m.interfacePattern) EXPECT_FALSE(c >= L'a' && c <= L'z') << m.interfacePattern;
  }
  ASSERT_TRUE(config.softwareFound);
  for (const std::wstring& url : {config.websiteUrl, config.storeUrl, config.upgradeUrl}) {
    ASSERT_FALSE(url.empty());
    EXPECT_EQ(url.back(), L'/');
  }
  EXPECT_FALSE(config.copyright.empty());
}

TEST(ShippedData, LayoutIsAFullSizeKeyboard) {
  KeyboardLayout layout;
  ASSERT_TRUE(LoadLayoutFile(LayoutFilePath(KL_DATA_DIR_W, L"TR640"), layout));
  EXPECT_EQ(layout.pageFlags, kPageKeys | kPageMacros | kPageLighting | kPageSettingsView);
  EXPECT_TRUE(layout.sleepTimeSupported);
  EXPECT_EQ(layout.rowCount, 6);
  EXPECT_EQ(layout.columnCount, 21);
  ASSERT_EQ(layout.keys.size(), 104u);

  std::set<int> codes, indexes;
  std::set<std::pair<int, int>> cells;
  for (const KeyItem& key : layout.keys) {
    EXPECT_TRUE(codes.insert(key.code).second) << "duplicate code " << key.code;
    EXPECT_TRUE(indexes.insert(key.keyIndex).second) << "duplicate index " << key.keyIndex;
    EXPECT_LT(key.keyIndex, 108);
    ASSERT_GE(key.row, 0) << key.code;
    EXPECT_LT(key.row, 6);
    EXPECT_LT(key.column, 21);
    EXPECT_TRUE(cells.insert({key.row, key.column}).second) << "shared cell for " << key.code;
    EXPECT_FALSE(key.rect.IsRectEmpty());
    EXPECT_GE(key.rect.left, 0);
    EXPECT_LE(key.rect.right, layout.pictureWidth);
    EXPECT_LE(key.rect.bottom, layout.pictureHeight);
  }
  for (size_t i = 0; i < layout.keys.size(); ++i)
    for (size_t j = i + 1; j < layout.keys.size(); ++j)
      EXPECT_TRUE(CRect::Intersect(layout.keys[i].rect, layout.keys[j].rect).IsRectEmpty())
          << layout.keys[i].code << " overlaps " << layout.keys[j].code;
  EXPECT_TRUE(codes.count(0xAF));  // Fn
  EXPECT_TRUE(codes.count(98));    // keypad 0
  // F1..F12 cannot be reassigned on the Fn layer, and nothing else is locked.
  std::set<int> functionKeys;
  for (int code = 58; code <= 69; ++code) functionKeys.insert(code);
  EXPECT_EQ(layout.fnLockedKeys, functionKeys);

  bool custom = false, music = false, screen = false, defaultListed = false;
  for (const LightModeInfo& m : layout.lightModes) {
    custom |= m.mode == 24 && m.attribute == 0x101;
    music |= (m.attribute & 0x200) != 0;
    screen |= (m.attribute & 0x400) != 0;
    defaultListed |= m.mode == layout.defaultMode;
  }
  EXPECT_TRUE(custom);
  EXPECT_TRUE(music);
  EXPECT_TRUE(screen);
  EXPECT_TRUE(defaultListed);
}

}  // namespace
}  // namespace kl

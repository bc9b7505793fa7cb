#include "app/config/Layout.h"

#include <gtest/gtest.h>

#include "app/config/Configuration.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

std::string LayoutXml(const std::string& sections, const std::string& keys) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<device_list>\r\n" + sections +
         "<Keyboard xpos=\"5\" ypos=\"6\" width=\"700\" height=\"200\" image=\"K.png\" row_count=\"6\" "
         "col_count=\"21\">\r\n<KeyItems>\r\n" +
         keys + "</KeyItems>\r\n</Keyboard>\r\n</device_list>\r\n";
}

const char kKeys[] =
    "<key code=\"e0\" name=\"Ctrl\" desc=\"Left Ctrl\" key_index=\"90\" light_index=\"91\" icon=\"\" "
    "fnlayer_disable=\"0\" row_col=\"3,7\" rect=\"10#20#30#40\"/>\r\n"
    "<key code=\"3A\" name=\"F1\" desc=\"F1\" key_index=\"1\" light_index=\"1\" icon=\"f1.png\" "
    "fnlayer_disable=\"1\" row_col=\"3,17\" rect=\"1#2#3#4\"/>\r\n"
    "<key code=\"4\" name=\"A\" key_index=\"2\" row_col=\"9,40\" rect=\"0#0#5\"/>\r\n"
    "<key code=\"af\" name=\"Fn\" key_index=\"3\" fnlayer_disable=\"true\" row_col=\"0,31\"/>\r\n";

class LayoutTest : public testing::Test {
 protected:
  std::wstring Write(const std::string& text) {
    test::WriteBytes(m_folder / "layouts" / "T.xml", text);
    return LayoutFilePath(test::Wide(m_folder), L"T");
  }
  std::filesystem::path m_folder = test::ScratchFolder();
};

TEST_F(LayoutTest, ReadsEverySection) {
  const std::string sections =
      "<menu macro=\"1\" light_mode=\"0\"/>\r\n<function sleep_time=\"1\"/>\r\n"
      "<firmware version=\"1.2\" file=\"fw.zip\" url=\"https://f/\" dongle_url=\"https://d/\"/>\r\n"
      "<light rgb_keyboard=\"1\" default_mode=\"3\" default_brightness=\"4\" default_speed=\"2\" "
      "brightness_max=\"5\" speed_max=\"6\">\r\n"
      "<info name=\"801\" mode=\"1\" attribute=\"65\"/>\r\n<info name=\"817\" mode=\"24\" attribute=\"257\"/>\r\n"
      "</light>\r\n";
  KeyboardLayout layout;
  ASSERT_TRUE(LoadLayoutFile(Write(LayoutXml(sections, kKeys)), layout));

  EXPECT_EQ(layout.pageFlags, 0x43);  // keys, macros and the settings view; no lighting page
  EXPECT_TRUE(layout.sleepTimeSupported);
  EXPECT_EQ(layout.firmwareVersion, L"1.2");
  EXPECT_EQ(layout.receiverFirmwareUrl, L"https://d/");
  EXPECT_TRUE(layout.firmwareButtonVisible);
  EXPECT_TRUE(layout.rgbKeyboard);
  EXPECT_EQ(layout.defaultMode, 3);
  EXPECT_EQ(layout.brightnessMax, 5);
  EXPECT_EQ(layout.speedMax, 6);
  ASSERT_EQ(layout.lightModes.size(), 2u);
  EXPECT_EQ(layout.lightModes[1].name, L"817");
  EXPECT_EQ(layout.lightModes[1].mode, 24);
  EXPECT_EQ(layout.lightModes[1].attribute, 0x101);

  EXPECT_TRUE(layout.hasPicture);
  EXPECT_EQ(layout.pictureImage, L"keyboard/K.png");
  EXPECT_EQ(layout.pictureWidth, 700);
  EXPECT_EQ(layout.rowCount, 6);
  EXPECT_EQ(layout.columnCount, 21);

  ASSERT_EQ(layout.keys.size(), 4u);
  const KeyItem& ctrl = layout.keys[0];
  EXPECT_EQ(ctrl.code, 0xE0);
  EXPECT_EQ(ctrl.rect, CRect(10, 20, 40, 60));
  EXPECT_EQ(ctrl.lightIndex, 91);
  EXPECT_EQ(layout.grid[3][7], 0xE0);
  EXPECT_EQ(layout.grid[3][17], 0x3A);
  EXPECT_EQ(layout.grid[0][31], 0xAF);
  EXPECT_EQ(layout.keyIndexMap.at(0xE0), 90);
  EXPECT_EQ(layout.lightIndexMap.at(0xE0), 90);  // the light buffer uses the key position
  EXPECT_EQ(layout.keys[1].icon, L"f1.png");
  // Only the exact text "1" locks a key on the Fn layer.
  EXPECT_EQ(layout.fnLockedKeys, std::set<int>{0x3A});

  // A cell outside the 8 x 32 grid keeps the key but gives it no grid position.
  const KeyItem& a = layout.keys[2];
  EXPECT_EQ(a.row, -1);
  EXPECT_EQ(a.column, -1);
  EXPECT_EQ(layout.keyIndexMap.at(4), 2);
  EXPECT_EQ(a.rect, CRect(0, 0, 5, 0));  // a short rect reads the missing parts as 0
  int used = 0;
  for (const auto& row : layout.grid)
    for (uint8_t cell : row) used += cell != kNoKey;
  EXPECT_EQ(used, 3);
}

TEST_F(LayoutTest, RowColumnForms) {
  struct Case {
    const char* rowCol;
    int row;
    int column;
  } cases[] = {{"2,5", 2, 5}, {"2,13", 2, 13}, {"2;13", 2, 13}, {"7-31", 7, 31}, {"8,1", -1, -1},
               {"1,32", -1, -1}, {"", -1, -1}, {"x", -1, -1}};
  for (const Case& c : cases) {
    KeyboardLayout layout;
    ASSERT_TRUE(LoadLayoutFile(
        Write(LayoutXml("", std::string("<key code=\"4\" row_col=\"") + c.rowCol + "\"/>")), layout));
    ASSERT_EQ(layout.keys.size(), 1u);
    EXPECT_EQ(layout.keys[0].row, c.row) << c.rowCol;
    EXPECT_EQ(layout.keys[0].column, c.column) << c.rowCol;
  }
}

TEST_F(LayoutTest, RectForms) {
  struct Case {
    const char* rect;
    CRect expected;
  } cases[] = {
      {"10#20#30#40", CRect(10, 20, 40, 60)},
      {"1#2#3", CRect(1, 2, 4, 2)},
      {"-5#-5#10#10", CRect(-5, -5, 5, 5)},
      {"2147483647#0#42#1", CRect(2147483647, 0, 2147483647, 1)},  // saturates, never wraps
      {"0#-2147483648#0#-5", CRect(0, -2147483647 - 1, 0, -2147483647 - 1)},
      {"", CRect()},
  };
  for (const Case& c : cases) {
    KeyboardLayout layout;
    ASSERT_TRUE(LoadLayoutFile(Write(LayoutXml("", std::string("<key code=\"4\" rect=\"") + c.rect + "\"/>")), layout));
    ASSERT_EQ(layout.keys.size(), 1u);
    EXPECT_EQ(layout.keys[0].rect, c.expected) << c.rect;
  }
}

TEST_F(LayoutTest, LaterFilesKeepWhatTheyDoNotSay) {
  KeyboardLayout layout;
  EXPECT_EQ(layout.pageFlags, kPagesAll);
  EXPECT_EQ(layout.brightnessMax, 4);
  ASSERT_TRUE(LoadLayoutFile(Write(LayoutXml("<menu macro=\"0\" light_mode=\"1\"/>\r\n"
                                             "<firmware version=\"1\" file=\"f\" url=\"u\" dongle_url=\"d\"/>\r\n",
                                             kKeys)),
                             layout));
  EXPECT_EQ(layout.pageFlags, 0x45);
  const auto firstGrid = layout.grid;
  const auto firstMap = layout.keyIndexMap;

  // Reading the same file again gives the same tables: they are cleared first.
  ASSERT_TRUE(LoadLayoutFile(Write(LayoutXml("<firmware version=\"1\" file=\"\"/>\r\n", kKeys)), layout));
  EXPECT_EQ(layout.grid, firstGrid);
  EXPECT_EQ(layout.keyIndexMap, firstMap);
  EXPECT_EQ(layout.keys.size(), 4u);
  EXPECT_EQ(layout.pageFlags, 0x45);            // no "menu": flags stay
  EXPECT_FALSE(layout.firmwareButtonVisible);  // an empty file name hides the upgrade button
  EXPECT_EQ(layout.firmwareUrl, L"");

  // A file that cannot be used changes nothing but the two addresses.
  ASSERT_TRUE(LoadLayoutFile(Write(LayoutXml("<firmware version=\"1\" file=\"f\" url=\"u\" dongle_url=\"d\"/>", kKeys)),
                             layout));
  for (const std::string& bad : {std::string("<device_list><menu macro=\"1\">"), std::string("<other/>"),
                                 std::string("")}) {
    EXPECT_FALSE(LoadLayoutFile(Write(bad), layout));
    EXPECT_EQ(layout.firmwareUrl, L"");
    EXPECT_EQ(layout.receiverFirmwareUrl, L"");
    EXPECT_EQ(layout.firmwareVersion, L"1");
    EXPECT_EQ(layout.keys.size(), 4u);
    EXPECT_EQ(layout.grid, firstGrid);
  }
  EXPECT_FALSE(LoadLayoutFile(LayoutFilePath(test::Wide(m_folder), L"Missing"), layout));
  EXPECT_EQ(layout.keys.size(), 4u);
}

TEST_F(LayoutTest, ModelComesFromTheFirstKeyboardOfTheType) {
  Configuration config;
  for (const auto& [name, layoutName] : {std::pair{L"One", L"L1"}, std::pair{L"Two", L"L2"}}) {
    DeviceEntry keyboard;
    keyboard.name = name;
    keyboard.deviceType = 301;
    keyboard.deviceInfo = layoutName;
    config.keyboards.push_back(keyboard);
  }
  const KeyboardModel model = FindKeyboardModel(config, 301);
  EXPECT_EQ(model.name, L"One");
  EXPECT_EQ(model.layoutName, L"L1");
  EXPECT_EQ(FindKeyboardModel(config, 201).layoutName, L"");
  EXPECT_EQ(LayoutFilePath(L"/opt/k/", L"L1"), L"/opt/k/layouts/L1.xml");
}

}  // namespace
}  // namespace kl

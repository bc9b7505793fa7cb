#include "app/config/Configuration.h"

#include <gtest/gtest.h>

#include "tests/TestSupport.h"

namespace kl {
namespace {

const char kTwoModes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<config>\r\n"
    "<device_list>\r\n"
    "<keyboard name=\"Board A\" device_type=\"301\" device_info=\"LayoutA\">\r\n"
    "<mode value=\"0\" desc=\"cable\" vid=\"0xFFF0\" pid=\"640\" rev=\"0100\" product_name=\"\" "
    "hid_interface=\"VID_FFF0&amp;PID_0640&amp;MI_02\"/>\r\n"
    "<mode value=\"2\" vid=\"fff0\" pid=\"641\"/>\r\n"
    "</keyboard>\r\n"
    "<keyboard name=\"Board B\" device_type=\"301\" device_info=\"LayoutB\"/>\r\n"
    "<keyboard name=\"Old\" device_type=\"12x\" device_info=\"Old\">\r\n"
    "<mode value=\"0\" vid=\"zz\" pid=\"12g\" product_name=\"Named\"/>\r\n"
    "</keyboard>\r\n"
    "</device_list>\r\n"
    "<software name=\"Keyloft\" version=\"2.1.0\">\r\n"
    "<website url=\"https://w.example/\"/>\r\n"
    "<store url=\"https://s.example/\"/>\r\n"
    "<upgrade url=\"https://u.example/\"/>\r\n"
    "<copyright info=\"© Keyloft\"/>\r\n"
    "</software>\r\n"
    "</config>\r\n";

class ConfigurationTest : public testing::Test {
 protected:
  void Write(const std::string& text) { test::WriteBytes(m_folder / "config.xml", text); }
  std::filesystem::path m_folder = test::ScratchFolder();
};

TEST_F(ConfigurationTest, ReadsKeyboardsModesAndSoftware) {
  Write(kTwoModes);
  Configuration config;
  ASSERT_TRUE(LoadConfiguration(test::Wide(m_folder), config));

  ASSERT_EQ(config.keyboards.size(), 3u);
  EXPECT_EQ(config.keyboards[0].name, L"Board A");
  EXPECT_EQ(config.keyboards[0].deviceInfo, L"LayoutA");
  EXPECT_EQ(config.keyboards[0].mode, 0);
  EXPECT_EQ(config.keyboards[0].reserved, -1);
  EXPECT_EQ(config.keyboards[2].deviceType, 12);  // leading digits only

  ASSERT_EQ(config.modes.size(), 3u);
  const DeviceEntry& cable = config.modes[0];
  EXPECT_EQ(cable.deviceType, 301);
  EXPECT_EQ(cable.deviceInfo, L"LayoutA");
  EXPECT_EQ(cable.vendorId, 0xFFF0);
  EXPECT_EQ(cable.productId, 0x640);
  EXPECT_EQ(cable.release, 0x100);
  EXPECT_EQ(cable.desc, L"cable");
  EXPECT_EQ(cable.interfacePattern, L"VID_FFF0&PID_0640&MI_02");
  EXPECT_EQ(cable.connected, 0);
  // The second mode reads every attribute afresh: nothing carries over from the cable mode.
  const DeviceEntry& receiver = config.modes[1];
  EXPECT_EQ(receiver.mode, 2);
  EXPECT_EQ(receiver.productId, 0x641);
  EXPECT_EQ(receiver.desc, L"");
  EXPECT_EQ(receiver.release, 0);
  EXPECT_EQ(receiver.interfacePattern, L"");
  EXPECT_EQ(receiver.deviceInfo, L"LayoutA");
  // Malformed hexadecimal numbers keep their leading digits.
  EXPECT_EQ(config.modes[2].vendorId, 0);
  EXPECT_EQ(config.modes[2].productId, 0x12);
  EXPECT_EQ(config.modes[2].name, L"Named");

  const std::vector<ModeFilter> filters = config.ModeFilters();
  ASSERT_EQ(filters.size(), 3u);
  EXPECT_EQ(filters[1].mode, 2);
  EXPECT_EQ(filters[1].deviceType, 301);
  EXPECT_EQ(filters[0].interfacePattern, cable.interfacePattern);

  EXPECT_TRUE(config.softwareFound);
  EXPECT_EQ(config.version, L"2.1.0");
  EXPECT_EQ(config.websiteUrl, L"https://w.example/");
  EXPECT_EQ(config.storeUrl, L"https://s.example/");
  EXPECT_EQ(config.upgradeUrl, L"https://u.example/");
  EXPECT_EQ(config.copyright, L"© Keyloft");

  // The first keyboard of a device type provides the layout.
  ASSERT_NE(config.FindKeyboard(301), nullptr);
  EXPECT_EQ(config.FindKeyboard(301)->deviceInfo, L"LayoutA");
  EXPECT_EQ(config.FindKeyboard(999), nullptr);
  EXPECT_EQ(ReadApplicationName(test::Wide(m_folder)), L"Keyloft");
}

TEST_F(ConfigurationTest, SearchesForwardOnly) {
  // "software" before "device_list": start-up still finds the name, the loader does not find
  // the software element. Inside "software", a child placed before one found earlier is not seen.
  Write("<config><software name=\"Early\" version=\"1\"/><device_list/></config>");
  Configuration config;
  ASSERT_TRUE(LoadConfiguration(test::Wide(m_folder), config));
  EXPECT_FALSE(config.softwareFound);
  EXPECT_EQ(config.version, L"");
  EXPECT_EQ(ReadApplicationName(test::Wide(m_folder)), L"Early");

  Write("<config><device_list/><software version=\"3\"><upgrade url=\"u\"/><website url=\"w\"/>"
        "<copyright info=\"c\"/></software></config>");
  ASSERT_TRUE(LoadConfiguration(test::Wide(m_folder), config));
  EXPECT_EQ(config.websiteUrl, L"w");
  EXPECT_EQ(config.upgradeUrl, L"");  // it stands before "website", which is looked for first
  EXPECT_EQ(config.copyright, L"c");
}

TEST_F(ConfigurationTest, MissingOrMalformedFileGivesEmptyLists) {
  Configuration config;
  config.keyboards.push_back({});
  EXPECT_FALSE(LoadConfiguration(test::Wide(m_folder), config));  // no file
  EXPECT_TRUE(config.keyboards.empty());
  EXPECT_EQ(ReadApplicationName(test::Wide(m_folder)), L"");

  for (const char* text : {"<config><device_list><keyboard name=\"x\" device_type=\"301\">",  // unclosed
                           "not xml at all", "<other><software name=\"x\"/></other>"}) {
    Write(text);
    EXPECT_FALSE(LoadConfiguration(test::Wide(m_folder), config)) << text;
    EXPECT_TRUE(config.keyboards.empty()) << text;
    EXPECT_TRUE(config.modes.empty()) << text;
    EXPECT_EQ(ReadApplicationName(test::Wide(m_folder)), L"") << text;
  }
}

}  // namespace
}  // namespace kl

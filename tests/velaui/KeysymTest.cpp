#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "platform/x11/X11WindowSystem.h"

namespace kl::test {
namespace {

TEST(KeysymTest, KeysMapToTheirWindowsVirtualKeyCodes) {
  struct Case {
    unsigned long keysym;
    UINT vk;
  };
  const Case cases[] = {
      {XK_a, 'A'},           {XK_Z, 'Z'},           {XK_0, '0'},          {XK_F1, VK_F1},       {XK_F12, VK_F1 + 11},
      {XK_Return, VK_RETURN}, {XK_KP_Enter, VK_RETURN}, {XK_ISO_Left_Tab, VK_TAB}, {XK_Shift_R, VK_RSHIFT},
      {XK_Control_L, VK_LCONTROL}, {XK_Alt_R, VK_RMENU}, {XK_Super_L, VK_LWIN}, {XK_KP_7, VK_NUMPAD0 + 7},
      {XK_KP_Home, VK_HOME}, {XK_semicolon, VK_OEM_1}, {XK_grave, VK_OEM_3}, {XK_less, VK_OEM_102},
      {XK_Print, VK_SNAPSHOT}, {XF86XK_AudioPlay, 0xB3}, {XK_udiaeresis, 0}, {0, 0},
  };
  for (const Case& k : cases) EXPECT_EQ(platform::KeysymToVirtualKey(k.keysym), k.vk) << std::hex << k.keysym;
}

}  // namespace
}  // namespace kl::test

// Notification codes a control sends to its parent with OnBaseMessage(id, code, wParam, lParam).
//
// | code | name              | typical sender and arguments                                    |
// |------|-------------------|-----------------------------------------------------------------|
// | 1    | NotifyPress       | left press on buttons, lists (wParam item index)                |
// | 2    | NotifyClick       | release inside after a press; list item chosen (wParam index)   |
// | 3    | NotifyDblClick    | double click (wParam key flags / item, lParam point or 0)       |
// | 5    | NotifyRightClick  | right release on lists and the keyboard view                    |
// | 7    | NotifyCheck       | check/radio toggled by keyboard; menu item press               |
// | 8    | NotifyScroll      | scroll bar or slider position (wParam new value)                |
// | 9    | NotifyItemPress   | a badge inside an item was pressed                              |
// | 14   | NotifyKeyDown     | key seen by a key-notifying control (wParam vk, lParam modifier)|
// | 22   | NotifyDropClosed  | a drop-down window closed                                       |
// | 26   | NotifyTextChanged | edit text changed                                               |
// | 27   | NotifyColor       | palette colour chosen (lParam colour)                           |
// | 28   | NotifySpin        | spin value changed                                              |
// | 29   | NotifyEditEnd     | editing ended                                                   |
// | 30   | NotifyEditBegin   | edit box shown                                                  |
// | 31   | NotifyEditRelease | release over an edit's action rectangle                         |
#pragma once

namespace kl::vela {

enum NotifyCode : unsigned {
  NotifyPress = 1,
  NotifyClick = 2,
  NotifyDblClick = 3,
  NotifyRightClick = 5,
  NotifyCheck = 7,
  NotifyScroll = 8,
  NotifyItemPress = 9,
  NotifyKeyDown = 14,
  NotifyDropClosed = 22,
  NotifyTextChanged = 26,
  NotifyColor = 27,
  NotifySpin = 28,
  NotifyEditEnd = 29,
  NotifyEditBegin = 30,
  NotifyEditRelease = 31,
};

}  // namespace kl::vela

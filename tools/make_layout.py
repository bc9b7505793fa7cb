#!/usr/bin/env python3
"""Generate the layout file of the Orvik TR640 (data/layouts/TR640.xml).

The TR640 is a full-size ANSI keyboard with 104 keys: the right Win key is
replaced by Fn, the Menu key sits between Fn and the right Ctrl.

Geometry of the picture (pixels):
  - one key unit is PITCH pixels; every key leaves GAP/2 pixels free on each
    side, so neighbouring key rectangles never touch;
  - the main block, the navigation cluster and the keypad are separated by
    half a unit, and the function row is half a unit above the number row;
  - MARGIN_* is the case around the keys.

Key grid (row_col): 6 rows by 21 columns.  Columns 0..13 hold the main block
(keys placed by their horizontal position, never two in one cell), 14..16
the navigation cluster and 17..20 the keypad.  The music and screen light
modes sample colours by these cells, so a cell should follow the key's place
on the keyboard as closely as the grid allows.

key_index and light_index are the same number: the keys in reading order
(row by row, left to right).  Codes are the keyboard's key codes (USB HID
usages; Fn is 0xAF) written as lower-case hexadecimal digits.

The output is deterministic: UTF-8 without byte-order mark, CR LF line ends,
one element per line.  Usage: make_layout.py [output path]
"""

import os
import sys
from xml.sax.saxutils import quoteattr

PITCH = 46
GAP = 4
MARGIN_LEFT = 16
MARGIN_RIGHT = 16
MARGIN_TOP = 36
MARGIN_BOTTOM = 20

NAV_X = 15.5      # first unit of the navigation cluster
PAD_X = 19.0      # first unit of the keypad
MAIN_COLUMNS = 14  # grid columns 0..13
NAV_COLUMN = 14    # grid columns 14..16
PAD_COLUMN = 17    # grid columns 17..20
ROWS = 6
COLUMNS = 21

# Vertical position of each row in units (the function row stands apart).
ROW_Y = [0.0, 1.5, 2.5, 3.5, 4.5, 5.5]

# One entry per key: (row, x in units, width in units, height in units,
# code, label, description, cluster, column).  cluster is "main", "nav" or
# "pad"; column is the grid column inside the nav or pad cluster (None for
# main-block keys, whose columns follow from their position).
def main_row(row, x0, keys):
    """Keys of the main block placed side by side from x0."""
    out = []
    x = x0
    for width, code, label, desc in keys:
        out.append((row, x, width, 1.0, code, label, desc, "main", None))
        x += width
    return out


def fixed(row, x, width, height, code, label, desc, cluster, col):
    return (row, x, width, height, code, label, desc, cluster, col)


def letters(chars):
    return [(1.0, 0x04 + ord(c) - ord("A"), c, "Letter " + c) for c in chars]


KEYS = []

# Row 0: Esc, function keys, Print Screen / Scroll Lock / Pause.
KEYS += [(0, 0.0, 1.0, 1.0, 0x29, "Esc", "Escape", "main", None)]
for i in range(12):
    group, pos = divmod(i, 4)
    x = 2.0 + group * 4.5 + pos
    KEYS.append((0, x, 1.0, 1.0, 0x3A + i, "F%d" % (i + 1), "Function key F%d" % (i + 1), "main", None))
KEYS += [
    fixed(0, NAV_X + 0, 1, 1, 0x46, "PrtSc", "Print Screen", "nav", 0),
    fixed(0, NAV_X + 1, 1, 1, 0x47, "ScrLk", "Scroll Lock", "nav", 1),
    fixed(0, NAV_X + 2, 1, 1, 0x48, "Pause", "Pause / Break", "nav", 2),
]

# Row 1: number row.
digits = [(1.0, 0x1E + i, str((i + 1) % 10), "Digit %d" % ((i + 1) % 10)) for i in range(10)]
KEYS += main_row(1, 0.0, [(1.0, 0x35, "`", "Grave accent / Tilde")] + digits + [
    (1.0, 0x2D, "-", "Minus / Underscore"),
    (1.0, 0x2E, "=", "Equals / Plus"),
    (2.0, 0x2A, "Backspace", "Backspace"),
])
KEYS += [
    fixed(1, NAV_X + 0, 1, 1, 0x49, "Insert", "Insert", "nav", 0),
    fixed(1, NAV_X + 1, 1, 1, 0x4A, "Home", "Home", "nav", 1),
    fixed(1, NAV_X + 2, 1, 1, 0x4B, "PgUp", "Page Up", "nav", 2),
    fixed(1, PAD_X + 0, 1, 1, 0x53, "Num Lock", "Num Lock", "pad", 0),
    fixed(1, PAD_X + 1, 1, 1, 0x54, "/", "Keypad Divide", "pad", 1),
    fixed(1, PAD_X + 2, 1, 1, 0x55, "*", "Keypad Multiply", "pad", 2),
    fixed(1, PAD_X + 3, 1, 1, 0x56, "-", "Keypad Minus", "pad", 3),
]

# Row 2: Tab row.
KEYS += main_row(2, 0.0, [(1.5, 0x2B, "Tab", "Tab")] + letters("QWERTYUIOP") + [
    (1.0, 0x2F, "[", "Left bracket"),
    (1.0, 0x30, "]", "Right bracket"),
    (1.5, 0x31, "\\", "Backslash"),
])
KEYS += [
    fixed(2, NAV_X + 0, 1, 1, 0x4C, "Delete", "Delete", "nav", 0),
    fixed(2, NAV_X + 1, 1, 1, 0x4D, "End", "End", "nav", 1),
    fixed(2, NAV_X + 2, 1, 1, 0x4E, "PgDn", "Page Down", "nav", 2),
    fixed(2, PAD_X + 0, 1, 1, 0x5F, "7", "Keypad 7", "pad", 0),
    fixed(2, PAD_X + 1, 1, 1, 0x60, "8", "Keypad 8", "pad", 1),
    fixed(2, PAD_X + 2, 1, 1, 0x61, "9", "Keypad 9", "pad", 2),
    fixed(2, PAD_X + 3, 1, 2, 0x57, "+", "Keypad Plus", "pad", 3),
]

# Row 3: Caps Lock row.
KEYS += main_row(3, 0.0, [(1.75, 0x39, "Caps Lock", "Caps Lock")] + letters("ASDFGHJKL") + [
    (1.0, 0x33, ";", "Semicolon"),
    (1.0, 0x34, "'", "Apostrophe"),
    (2.25, 0x28, "Enter", "Enter"),
])
KEYS += [
    fixed(3, PAD_X + 0, 1, 1, 0x5C, "4", "Keypad 4", "pad", 0),
    fixed(3, PAD_X + 1, 1, 1, 0x5D, "5", "Keypad 5", "pad", 1),
    fixed(3, PAD_X + 2, 1, 1, 0x5E, "6", "Keypad 6", "pad", 2),
]

# Row 4: Shift row.
KEYS += main_row(4, 0.0, [(2.25, 0xE1, "Shift", "Left Shift")] + letters("ZXCVBNM") + [
    (1.0, 0x36, ",", "Comma"),
    (1.0, 0x37, ".", "Period"),
    (1.0, 0x38, "/", "Slash"),
    (2.75, 0xE5, "Shift", "Right Shift"),
])
KEYS += [
    fixed(4, NAV_X + 1, 1, 1, 0x52, "Up", "Up Arrow", "nav", 1),
    fixed(4, PAD_X + 0, 1, 1, 0x59, "1", "Keypad 1", "pad", 0),
    fixed(4, PAD_X + 1, 1, 1, 0x5A, "2", "Keypad 2", "pad", 1),
    fixed(4, PAD_X + 2, 1, 1, 0x5B, "3", "Keypad 3", "pad", 2),
    fixed(4, PAD_X + 3, 1, 2, 0x58, "Enter", "Keypad Enter", "pad", 3),
]

# Row 5: bottom row.  Fn takes the place of the right Win key.
KEYS += main_row(5, 0.0, [
    (1.25, 0xE0, "Ctrl", "Left Ctrl"),
    (1.25, 0xE3, "Win", "Left Win"),
    (1.25, 0xE2, "Alt", "Left Alt"),
    (6.25, 0x2C, "Space", "Space"),
    (1.25, 0xE6, "Alt", "Right Alt"),
    (1.25, 0xAF, "Fn", "Fn"),
    (1.25, 0x65, "Menu", "Menu"),
    (1.25, 0xE4, "Ctrl", "Right Ctrl"),
])
KEYS += [
    fixed(5, NAV_X + 0, 1, 1, 0x50, "Left", "Left Arrow", "nav", 0),
    fixed(5, NAV_X + 1, 1, 1, 0x51, "Down", "Down Arrow", "nav", 1),
    fixed(5, NAV_X + 2, 1, 1, 0x4F, "Right", "Right Arrow", "nav", 2),
    fixed(5, PAD_X + 0, 2, 1, 0x62, "0", "Keypad 0", "pad", 0),
    fixed(5, PAD_X + 2, 1, 1, 0x63, ".", "Keypad Period", "pad", 2),
]

# Keys that keep their function on the Fn layer (the keyboard's own Fn
# combinations live on the function row).
FN_LOCKED = set(range(0x3A, 0x46))

LIGHT = {
    "rgb_keyboard": 1,
    "default_mode": 3,
    "default_brightness": 4,
    "default_speed": 2,
    "brightness_max": 4,
    "speed_max": 4,
}

# Parameter mask bits of a light mode.
BRIGHTNESS = 0x001
SPEED = 0x002
DIR_H = 0x004
DIR_V = 0x008
PALETTE = 0x040
SCHEMES = 0x080
CUSTOM = 0x100
MUSIC = 0x200
SCREEN = 0x400

# Light modes in display order: (name text, mode number, parameter mask).
# The keyboard takes a colour only as a palette index, so effects with a
# colour offer the first palette (7 = multicoloured) or the colour schemes.
LIGHT_MODES = [
    (801, 1, BRIGHTNESS | PALETTE),                  # static
    (802, 2, BRIGHTNESS | SPEED | PALETTE),          # breathing
    (803, 3, BRIGHTNESS | SPEED | DIR_H | SCHEMES),  # wave
    (804, 4, BRIGHTNESS | SPEED),                    # spectrum cycle
    (805, 5, BRIGHTNESS | SPEED | PALETTE),          # reactive
    (806, 6, BRIGHTNESS | SPEED | PALETTE),          # ripple
    (807, 7, BRIGHTNESS | SPEED | PALETTE),          # starlight
    (808, 8, BRIGHTNESS | SPEED | PALETTE),          # raindrops
    (809, 9, BRIGHTNESS | SPEED),                    # rainbow wheel
    (810, 10, BRIGHTNESS | SPEED | DIR_H | PALETTE), # snake
    (811, 11, BRIGHTNESS | SPEED | DIR_V | SCHEMES), # waterfall
    (812, 12, BRIGHTNESS | SPEED | SCHEMES),         # aurora
    (813, 13, BRIGHTNESS | SPEED | PALETTE),         # fireworks
    (814, 14, BRIGHTNESS | SPEED | PALETTE),         # crosshair
    (815, 15, BRIGHTNESS | SPEED | PALETTE),         # heartbeat
    (816, 16, 0),                                    # lights off
    (817, 24, BRIGHTNESS | CUSTOM),                  # custom per-key colours
    (818, 25, MUSIC),                                # music rhythm (driven by the program)
    (819, 26, SCREEN),                               # screen colours (driven by the program)
]

FIRMWARE = {
    "version": "1.0.0",
    "file": "TR640_FW.zip",
    "url": "https://update.keyloft.example/firmware/tr640/",
    "dongle_url": "https://update.keyloft.example/firmware/tr640-receiver/",
}

KEYBOARD_POS = (147, 108)  # top-left corner of the picture in the page
IMAGE = "TR640.png"


def px(units):
    return int(round(units * PITCH))


def picture_size():
    width = MARGIN_LEFT + px(PAD_X + 4) + MARGIN_RIGHT
    height = MARGIN_TOP + px(ROW_Y[-1] + 1) + MARGIN_BOTTOM
    return width, height


def key_rect(row, x, w, h):
    half = GAP // 2
    left = MARGIN_LEFT + px(x) + half
    right = MARGIN_LEFT + px(x + w) - half
    top = MARGIN_TOP + px(ROW_Y[row]) + half
    # a two-unit-high key spans the following row as well
    bottom = MARGIN_TOP + px(ROW_Y[row + int(h) - 1] + 1) - half
    return left, top, right - left, bottom - top


def main_columns(row_keys):
    """Grid columns for the main-block keys of one row (sorted by x)."""
    cols = []
    for _, x, w, *_ in row_keys:
        centre = x + w / 2.0
        # the 15-unit main block maps onto 14 columns; a row's first key always
        # starts at column 0, whatever its width
        wanted = min(MAIN_COLUMNS - 1, int(centre * MAIN_COLUMNS / 15.0)) if cols else 0
        col = wanted if not cols else max(wanted, cols[-1] + 1)
        cols.append(col)
    # push back from the right edge when a row ran out of columns
    for i in range(len(cols) - 1, -1, -1):
        limit = MAIN_COLUMNS - (len(cols) - i)
        if cols[i] > limit:
            cols[i] = limit
    return cols


def build():
    keys = sorted(KEYS, key=lambda k: (k[0], k[1]))
    cells = {}
    for row in range(ROWS):
        main = [k for k in keys if k[0] == row and k[7] == "main"]
        for k, col in zip(main, main_columns(main)):
            cells[id(k)] = (row, col)
        for k in keys:
            if k[0] == row and k[7] != "main":
                base = NAV_COLUMN if k[7] == "nav" else PAD_COLUMN
                cells[id(k)] = (row, base + k[8])
    items = []
    for index, k in enumerate(keys):
        row, x, w, h, code, label, desc, _, _ = k
        items.append({
            "code": "%x" % code,
            "name": label,
            "desc": desc,
            "key_index": index,
            "light_index": index,
            "icon": "",
            "fnlayer_disable": 1 if code in FN_LOCKED else 0,
            "row_col": "%d,%d" % cells[id(k)],
            "rect": "#".join(str(v) for v in key_rect(row, x, w, h)),
            "_cell": cells[id(k)],
            "_code": code,
        })
    return items


def check(items):
    width, height = picture_size()
    assert len(items) == 104, len(items)
    assert [it["key_index"] for it in items] == list(range(104))
    codes = [it["_code"] for it in items]
    assert len(set(codes)) == len(codes), "duplicate key code"
    assert 0xAF in codes and 0x62 in codes and 0x65 in codes
    cells = [it["_cell"] for it in items]
    assert len(set(cells)) == len(cells), "two keys in one grid cell"
    for r, c in cells:
        assert 0 <= r < ROWS and 0 <= c < COLUMNS
    rects = []
    for it in items:
        l, t, w, h = (int(v) for v in it["rect"].split("#"))
        assert l >= 0 and t >= 0 and l + w <= width and t + h <= height, it
        for (l2, t2, w2, h2) in rects:
            assert l + w <= l2 or l2 + w2 <= l or t + h <= t2 or t2 + h2 <= t, it
        rects.append((l, t, w, h))
    modes = [m for _, m, _ in LIGHT_MODES]
    assert len(set(modes)) == len(modes)
    assert LIGHT["default_mode"] in modes
    assert (817, 24, BRIGHTNESS | CUSTOM) in LIGHT_MODES


def element(name, attrs, close=True):
    text = " ".join("%s=%s" % (k, quoteattr(str(v))) for k, v in attrs)
    return "<%s %s%s>" % (name, text, "/" if close else "")


def render(items):
    width, height = picture_size()
    lines = ['<?xml version="1.0" encoding="UTF-8"?>']
    lines.append("<!-- Orvik TR640, full-size ANSI. Generated by tools/make_layout.py; edit the generator, not this file. -->")
    lines.append("<device_list>")
    lines.append("  " + element("menu", [("macro", 1), ("light_mode", 1)]))
    lines.append("  " + element("function", [("sleep_time", 1)]))
    lines.append("  " + element("firmware", list(FIRMWARE.items())))
    lines.append("  " + element("light", list(LIGHT.items()), close=False))
    for name, mode, mask in LIGHT_MODES:
        lines.append("    " + element("info", [("name", name), ("mode", mode), ("attribute", mask)]))
    lines.append("  </light>")
    lines.append("  " + element("Keyboard", [
        ("xpos", KEYBOARD_POS[0]), ("ypos", KEYBOARD_POS[1]),
        ("width", width), ("height", height), ("image", IMAGE),
        ("row_count", ROWS), ("col_count", COLUMNS)], close=False))
    lines.append("    <KeyItems>")
    for it in items:
        attrs = [(k, v) for k, v in it.items() if not k.startswith("_")]
        lines.append("      " + element("key", attrs))
    lines.append("    </KeyItems>")
    lines.append("  </Keyboard>")
    lines.append("</device_list>")
    return "\r\n".join(lines) + "\r\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "data", "layouts", "TR640.xml")
    out = sys.argv[1] if len(sys.argv) > 1 else default
    items = build()
    check(items)
    data = render(items).encode("utf-8")
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

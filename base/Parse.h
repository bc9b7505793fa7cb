// Number parsing for text read from files and settings. Like the C runtime's _wtoi it never
// fails and never throws: it reads what it can and saturates instead of overflowing.
#pragma once

#include <cstdint>
#include <string_view>

namespace kl {

// Leading white space, an optional sign, then decimal digits up to the first other character.
// No digits gives 0; values beyond the int range saturate at INT_MIN / INT_MAX.
int ParseDecimal(std::wstring_view text);

// Leading white space, an optional "0x"/"0X", then hexadecimal digits up to the first other
// character. No digits gives 0; values above 0xFFFFFFFF saturate at 0xFFFFFFFF.
uint32_t ParseHex(std::wstring_view text);

}  // namespace kl

// The HID backend for real keyboards: hidapi over the kernel's hidraw devices.
#pragma once

#include <memory>

#include "base/IHidBackend.h"

namespace kl::platform {

// Initialises hidapi on creation and releases it when destroyed. When hidapi cannot be
// initialised the backend enumerates nothing, and the program runs as with no keyboard.
std::unique_ptr<IHidBackend> CreateHidapiBackend();

}  // namespace kl::platform

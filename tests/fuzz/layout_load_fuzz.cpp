// Fuzzes the layout loader end to end: the bytes are written to a file and loaded as a layout
// (encoding detection, parsing, every section and key). A hostile layout must never crash the
// program or put a key outside the grid.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/config/Layout.h"
#include "base/Encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/keyloft-layout-fuzz-" + std::to_string(::getpid()) + ".xml";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  kl::KeyboardLayout layout;
  if (kl::LoadLayoutFile(kl::Utf8ToWide(path), layout)) {
    for (const kl::KeyItem& key : layout.keys) {
      if (key.row != -1 && (key.row < 0 || key.row >= kl::kGridRows || key.column < 0 ||
                            key.column >= kl::kGridColumns))
        std::abort();
    }
    if (layout.keyIndexMap.size() != layout.lightIndexMap.size()) std::abort();
  }
  return 0;
}

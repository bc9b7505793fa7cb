// Small helpers shared by the tests: a scratch folder per test and file writing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/Encoding.h"

namespace kl::test {

// A fresh, empty folder for the running test (under $KL_TEST_TMP when CTest sets it).
inline std::filesystem::path ScratchFolder() {
  const char* root = std::getenv("KL_TEST_TMP");
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
  for (char& c : name)
    if (c == '/') c = '_';
  const std::filesystem::path folder =
      std::filesystem::path(root && *root ? root : std::filesystem::temp_directory_path().string()) /
      ("kl-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::wstring Wide(const std::filesystem::path& path) { return Utf8ToWide(path.string()); }

}  // namespace kl::test

#include "app/keys/LoadKeyboardModel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestSupport.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

class LoadKeyboardModelTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    ASSERT_TRUE(LoadConfiguration(KL_DATA_DIR_W, m_config));
  }
  fs::path m_folder;
  Configuration m_config;
  DataStore m_store;
  KeyboardLayout m_layout;
};

TEST_F(LoadKeyboardModelTest, OpensTheModelsStoreAndLayoutAndSetsTheRecordingLimit) {
  const KeyboardModelLoad load =
      LoadKeyboardModel(m_config, 301, m_store, test::Wide(m_folder), KL_DATA_DIR_W, m_layout);
  EXPECT_EQ(load.deviceType, 301);
  EXPECT_EQ(load.modelName, L"Orvik TR640");
  EXPECT_EQ(load.layoutName, L"TR640");
  EXPECT_TRUE(load.storeOpen);
  EXPECT_TRUE(load.storeSetAside.empty());
  EXPECT_TRUE(m_store.IsOpen());
  EXPECT_TRUE(fs::exists(m_folder / "db" / "Orvik TR640_store_v1.db"));
  EXPECT_EQ(load.macroEventLimit, 60);
  EXPECT_TRUE(load.layoutLoaded);
  EXPECT_EQ(m_layout.keys.size(), 104u);
}

TEST_F(LoadKeyboardModelTest, ReopeningTellsAboutADamagedStore) {
  test::WriteBytes(m_folder / "db" / "Orvik TR640_store_v1.db", "garbage that is not sqlite");
  const KeyboardModelLoad load =
      LoadKeyboardModel(m_config, 301, m_store, test::Wide(m_folder), KL_DATA_DIR_W, m_layout);
  EXPECT_TRUE(load.storeOpen);
  EXPECT_EQ(load.storeSetAside, test::Wide(m_folder / "db" / "Orvik TR640_store_v1.db.damaged-1"));
}

TEST_F(LoadKeyboardModelTest, UnknownModelClosesTheStoreAndKeepsThePreviousLayout) {
  ASSERT_TRUE(LoadKeyboardModel(m_config, 301, m_store, test::Wide(m_folder), KL_DATA_DIR_W, m_layout).storeOpen);
  m_layout.firmwareUrl = L"https://example.invalid/fw";
  const KeyboardModelLoad load =
      LoadKeyboardModel(m_config, 150, m_store, test::Wide(m_folder), KL_DATA_DIR_W, m_layout);
  EXPECT_TRUE(load.modelName.empty());
  EXPECT_FALSE(load.storeOpen);
  EXPECT_FALSE(m_store.IsOpen());
  EXPECT_EQ(load.macroEventLimit, 80);
  EXPECT_FALSE(load.layoutLoaded);
  EXPECT_EQ(m_layout.keys.size(), 104u);
  EXPECT_TRUE(m_layout.firmwareUrl.empty());
}

}  // namespace
}  // namespace kl

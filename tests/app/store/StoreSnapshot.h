// Every row of every table of a store file as text, to show that an operation changed nothing.
#pragma once
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace kl::test {

inline std::string StoreSnapshot(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "cannot open";
  }
  for (const char* table : {"t_configdata", "t_profile_data", "t_key_macro_data", "t_key_otherdata", "t_macro_data",
                            "t_macrorecord", "t_light_data", "t_key_light_data", "t_musiclayer_data"}) {
    out += std::string("[") + table + "]\n";
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, (std::string("SELECT * FROM ") + table).c_str(), -1, &s, nullptr) != SQLITE_OK) {
      out += "missing\n";
      continue;
    }
    while (sqlite3_step(s) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        const unsigned char* text = sqlite3_column_text(s, i);
        out += (text ? reinterpret_cast<const char*>(text) : "NULL") + std::string("|");
      }
      out += "\n";
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace kl::test

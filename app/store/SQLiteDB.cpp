#include "app/store/SQLiteDB.h"

#include <sqlite3.h>

#include <cstring>

namespace kl {

namespace {
constexpr int kMisuse = SQLITE_MISUSE;
}

SQLiteDB::~SQLiteDB() {
  if (m_db) {
    sqlite3_interrupt(m_db);
    sqlite3_close(m_db);
  }
}

bool SQLiteDB::Open(const std::string& path, int flags) {
  if (m_db) {
    sqlite3_interrupt(m_db);
    if (sqlite3_close(m_db) == SQLITE_OK) m_db = nullptr;
    else return false;
  }
  m_openResult = SQLITE_MISUSE;
  if (path.empty()) return false;
  m_openResult = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
  if (m_openResult != SQLITE_OK) {
    if (sqlite3_close(m_db) == SQLITE_OK) m_db = nullptr;
    return false;
  }
  // Setting the journal mode is the first read of the file: a file that is not a database
  // fails here.
  m_openResult = Exec("PRAGMA journal_mode = WAL;");
  if (m_openResult == SQLITE_OK) m_openResult = Exec("PRAGMA synchronous = NORMAL;");
  if (m_openResult != SQLITE_OK) {
    Close();
    return false;
  }
  return true;
}

bool SQLiteDB::Close() {
  if (!m_db) return true;
  if (sqlite3_close(m_db) != SQLITE_OK) return false;
  m_db = nullptr;
  return true;
}

int SQLiteDB::Prepare(SQLiteStatement& statement, std::string_view sql) {
  statement.Finalize();
  if (!m_db) return kMisuse;
  return sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement.m_stmt, nullptr);
}

int SQLiteDB::Exec(const char* sql) {
  if (!m_db || !sql) return kMisuse;
  return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

int64_t SQLiteDB::LastInsertRowId() const { return m_db ? sqlite3_last_insert_rowid(m_db) : -1; }

bool SQLiteDB::InTransaction() const { return m_db && sqlite3_get_autocommit(m_db) == 0; }

int SQLiteDB::QuickCheck() {
  SQLiteStatement statement;
  int result = Prepare(statement, "PRAGMA quick_check;");
  if (result != SQLITE_OK) return result;
  result = statement.Step();
  if (result != SQLITE_ROW) return result == SQLITE_NOTADB ? SQLITE_CORRUPT : result;
  const unsigned char* text = statement.ColumnText(0);
  return text && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0 ? SQLITE_OK : SQLITE_CORRUPT;
}

SQLiteStatement::~SQLiteStatement() { Finalize(); }

void SQLiteStatement::Finalize() {
  if (m_stmt) {
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
  }
}

int SQLiteStatement::BindInt(int index, int value) {
  return m_stmt ? sqlite3_bind_int(m_stmt, index, value) : kMisuse;
}

int SQLiteStatement::BindText(int index, std::string_view utf8) {
  return m_stmt ? sqlite3_bind_text(m_stmt, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT)
                : kMisuse;
}

int SQLiteStatement::Step() { return m_stmt ? sqlite3_step(m_stmt) : kMisuse; }

int SQLiteStatement::ColumnInt(int index) const { return m_stmt ? sqlite3_column_int(m_stmt, index) : 0; }

const unsigned char* SQLiteStatement::ColumnText(int index) const {
  return m_stmt ? sqlite3_column_text(m_stmt, index) : nullptr;
}

SQLiteAutoTransaction::SQLiteAutoTransaction(SQLiteDB* db) : m_db(db) {
  if (!m_db || !m_db->IsOpen()) return;
  if (m_db->InTransaction()) m_joined = true;
  else m_active = m_db->Exec("BEGIN;") == SQLITE_OK;
}

SQLiteAutoTransaction::~SQLiteAutoTransaction() {
  if (m_active && m_db->IsOpen()) m_db->Exec("ROLLBACK;");
}

bool SQLiteAutoTransaction::End() {
  if (m_joined) return true;
  if (!m_active) return false;
  m_active = false;
  if (m_db->Exec("COMMIT;") == SQLITE_OK) return true;
  m_db->Exec("ROLLBACK;");
  return false;
}

}  // namespace kl

// A thin layer over the SQLite library: a connection, a prepared statement and a transaction
// that ends with its scope. Text crosses this layer as UTF-8. Nothing here throws or takes a
// lock; DataStore serialises its callers.
//
// Result codes are SQLite's own; 21 (SQLITE_MISUSE) stands for "no connection" or "no
// statement".
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kl {

class SQLiteStatement;

class SQLiteDB {
 public:
  SQLiteDB() = default;
  SQLiteDB(const SQLiteDB&) = delete;
  SQLiteDB& operator=(const SQLiteDB&) = delete;
  virtual ~SQLiteDB();

  // Closes any open connection first. `flags` are sqlite3_open_v2 flags. A successful open also
  // switches the file to write-ahead logging with synchronous=NORMAL, so a power loss can lose
  // the last commits but never corrupts the file, and a killed process leaves whole transactions.
  bool Open(const std::string& path, int flags);
  // The SQLite result of the last Open: SQLITE_NOTADB tells a file that is not a database.
  int OpenResult() const { return m_openResult; }
  bool Close();
  bool IsOpen() const { return m_db != nullptr; }

  // Finalises whatever `statement` holds, then prepares `sql` into it.
  int Prepare(SQLiteStatement& statement, std::string_view sql);
  int Exec(const char* sql);
  int64_t LastInsertRowId() const;
  // True while a transaction is open on this connection.
  bool InTransaction() const;
  // Runs "PRAGMA quick_check": SQLITE_OK when SQLite answers "ok", SQLITE_CORRUPT when it
  // reports damage, another code when the check itself could not run (a busy file).
  int QuickCheck();

 private:
  sqlite3* m_db = nullptr;
  int m_openResult = 0;
};

class SQLiteStatement {
 public:
  SQLiteStatement() = default;
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;
  virtual ~SQLiteStatement();

  int BindInt(int index, int value);  // one-based index
  // The text is copied by SQLite, so a temporary buffer may go away before Step.
  int BindText(int index, std::string_view utf8);
  int Step();
  int ColumnInt(int index) const;                     // zero-based; 0 without a statement
  const unsigned char* ColumnText(int index) const;  // null without a statement or for NULL

 private:
  friend class SQLiteDB;
  void Finalize();
  sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN on construction, COMMIT on End. A transaction still open when the object goes away is
// rolled back: a batch that stopped half-way leaves nothing behind. When the connection is
// already inside a transaction the object joins it and leaves the outcome to the outer one.
class SQLiteAutoTransaction {
 public:
  explicit SQLiteAutoTransaction(SQLiteDB* db);
  SQLiteAutoTransaction(const SQLiteAutoTransaction&) = delete;
  SQLiteAutoTransaction& operator=(const SQLiteAutoTransaction&) = delete;
  virtual ~SQLiteAutoTransaction();

  // Commits. False when there is no connection or the commit failed (then it was rolled back).
  bool End();

 private:
  SQLiteDB* m_db;
  bool m_active = false;  // this object began the transaction and has not ended it
  bool m_joined = false;  // an outer transaction was open; commit belongs to it
};

}  // namespace kl

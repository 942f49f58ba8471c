// One prepared SQLite statement, kept for the connection's life and
// finalized with it. Each use resets it on the way out, so that no read
// transaction (and no lock on the file) outlives the command.
#pragma once

#include <sqlite3.h>

#include <string>

class RecordStatement {
 public:
  RecordStatement(sqlite3* connection, const char* sql) {
    if (sqlite3_prepare_v3(connection, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) != SQLITE_OK)
      statement_ = nullptr;
  }
  ~RecordStatement() { sqlite3_finalize(statement_); }
  RecordStatement(const RecordStatement&) = delete;
  RecordStatement& operator=(const RecordStatement&) = delete;

  // Resets the statement and drops its bindings when it goes.
  class Use {
   public:
    explicit Use(RecordStatement& statement) : statement_(statement) {}
    ~Use() { statement_.reset(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    RecordStatement& statement_;
  };

  bool prepared() const { return statement_ != nullptr; }
  bool bind(int index, const std::string& text) {
    return sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
           SQLITE_OK;
  }
  bool bind(int index, int value) { return sqlite3_bind_int(statement_, index, value) == SQLITE_OK; }
  int step() { return sqlite3_step(statement_); }
  void reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  std::string text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (bytes == nullptr) return std::string();
    return std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
  }
  int integer(int column) const { return sqlite3_column_int(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

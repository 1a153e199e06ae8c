// The store's own SQL plumbing, shared by the files that implement StoreDatabase: not for
// anyone else.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/text/unicode_text.h"

namespace store {

// How each kind of item is numbered in the store's tables.
constexpr int kAppointmentKind = 1;
constexpr int kTaskKind = 2;

// One use of a cached prepared statement: reset when the use ends, so that no statement keeps a
// read snapshot open between calls.
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    void Bind(int index, double value) { sqlite3_bind_double(stmt_, index, value); }
    void Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void Bind(int index, const std::u16string& text) {
        sqlite3_bind_text16(stmt_, index, text.data(), static_cast<int>(text.size() * 2),
                            SQLITE_TRANSIENT);
    }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindNull(int index) { sqlite3_bind_null(stmt_, index); }

    int Step() { return sqlite3_step(stmt_); }

    double Real(int column) const { return sqlite3_column_double(stmt_, column); }
    int64_t Integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::u16string Text16(int column) const {
        // The store keeps UTF-8. Well-formed text is converted here, which spares SQLite a
        // conversion and an allocation for each text; the rest, and the noncharacters SQLite
        // reads as U+FFFD, are left to SQLite so that every text reads as it always has.
        const auto* narrow = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        if (narrow == nullptr) {
            return std::u16string();
        }
        const int narrowBytes = sqlite3_column_bytes(stmt_, column);
        auto converted =
            platform::Utf8ToUtf16(std::string_view(narrow, static_cast<size_t>(narrowBytes)));
        if (auto* text = std::get_if<std::u16string>(&converted)) {
            const bool nonCharacter = std::any_of(text->begin(), text->end(), [](char16_t unit) {
                return unit == kNonCharacterFFFE || unit == kNonCharacterFFFF;
            });
            if (!nonCharacter) {
                return std::move(*text);
            }
        }
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
        const int bytes = sqlite3_column_bytes16(stmt_, column);
        return text ? std::u16string(text, static_cast<size_t>(bytes) / 2) : std::u16string();
    }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        const int bytes = sqlite3_column_bytes(stmt_, column);
        return text ? std::string(text, static_cast<size_t>(bytes)) : std::string();
    }

private:
    static constexpr char16_t kNonCharacterFFFE = 0xFFFE;
    static constexpr char16_t kNonCharacterFFFF = 0xFFFF;

    sqlite3_stmt* stmt_ = nullptr;
};

// Rolls back unless committed, so that every early return leaves the store as it was. Inside a
// transaction the connection has open already (a streamed import's, StoreDatabase::BeginWrites),
// it is a savepoint of that one: what it wrote goes, or stays until the outer one ends.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db), nested_(sqlite3_get_autocommit(db) == 0) {
        began_ = sqlite3_exec(db_, nested_ ? "SAVEPOINT nested_write" : "BEGIN IMMEDIATE", nullptr,
                              nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (began_ && !committed_) {
            sqlite3_exec(db_,
                         nested_ ? "ROLLBACK TO nested_write; RELEASE nested_write" : "ROLLBACK",
                         nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool began() const { return began_; }
    bool Commit() {
        committed_ = sqlite3_exec(db_, nested_ ? "RELEASE nested_write" : "COMMIT", nullptr,
                                  nullptr, nullptr) == SQLITE_OK;
        return committed_;
    }

private:
    sqlite3* db_;
    bool nested_ = false;
    bool began_ = false;
    bool committed_ = false;
};

// A read transaction: what is read while it lives is one consistent snapshot of the store, however
// other programs write meanwhile. Ended when it goes.
class ReadSnapshot {
public:
    explicit ReadSnapshot(sqlite3* db) : db_(db), nested_(sqlite3_get_autocommit(db) == 0) {
        // Inside a transaction already open, that one is the snapshot.
        began_ = nested_ || sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~ReadSnapshot() {
        if (began_ && !nested_) {
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        }
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;
    bool began() const { return began_; }

private:
    sqlite3* db_;
    bool nested_ = false;
    bool began_ = false;
};

}  // namespace store

#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace tallyhawk::server
{

// A prepared statement that finalizes itself and remembers how its last step ended.
class Statement
{
public:
    Statement(sqlite3* db, const std::string& sql)
    {
        result_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    // Ready to run again with new values, as preparing it anew would leave it.
    Statement& Reset()
    {
        if (statement_ == nullptr) {
            return *this;
        }
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        result_ = SQLITE_OK;
        return *this;
    }
    // Ready to run again, keeping the values bound: cheaper than Reset for a statement run thousands of
    // times whose every value is bound anew before each step.
    Statement& Rewind()
    {
        if (statement_ != nullptr) {
            sqlite3_reset(statement_);
        }
        result_ = SQLITE_OK;
        return *this;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // Binds the text without copying it: it is read when the statement steps, so it must stay as it is
    // through every step until it is bound anew. (A std::string's data is never null, which SQLite
    // would take for NULL.)
    Statement& BindUncopied(int index, const std::string& text)
    {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    bool Prepared() const { return statement_ != nullptr; }
    // True while a row is there.
    bool Step()
    {
        if (statement_ != nullptr) {
            result_ = sqlite3_step(statement_);
        }
        return statement_ != nullptr && result_ == SQLITE_ROW;
    }
    bool Done()
    {
        Step();
        return Finished();
    }
    // After the rows: true when every row came, false when the database failed on the way.
    bool Finished() const { return statement_ != nullptr && result_ == SQLITE_DONE; }
    std::int64_t Int64(int column) const { return sqlite3_column_int64(statement_, column); }
    std::int32_t Int(int column) const
    {
        return static_cast<std::int32_t>(sqlite3_column_int64(statement_, column));
    }
    std::string Text(int column) const
    {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                    : std::string();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    int result_ = SQLITE_OK;
};

} // namespace tallyhawk::server

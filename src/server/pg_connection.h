#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tallyhawk::server
{

// One value sent with a statement: a number as text, or bytes as they are (never read as text, so a
// title in any encoding comes back byte for byte).
struct PgValue
{
    std::string value;
    bool bytes = false;

    static PgValue Number(std::int64_t number) { return {std::to_string(number), false}; }
    static PgValue Bytes(std::string text) { return {std::move(text), true}; }
};

// The rows a statement returned, in binary form: numbers of 2, 4 or 8 bytes and raw bytes.
class PgRows
{
public:
    explicit PgRows(pg_result* result);
    ~PgRows();
    PgRows(PgRows&& other) noexcept;
    PgRows(const PgRows&) = delete;
    PgRows& operator=(const PgRows&) = delete;
    PgRows& operator=(PgRows&&) = delete;

    // False when the statement failed; `error` says why.
    bool ok() const;
    const std::string& error() const { return error_; }
    int size() const;
    // Rows the statement changed.
    std::int64_t changed() const;
    std::int64_t Int(int row, int column) const;
    std::string Bytes(int row, int column) const;

private:
    pg_result* result_ = nullptr;
    std::string error_;
};

// A connection to the database by a libpq connection URI. Not for use by two threads at once.
class PgConnection
{
public:
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // The connection, or nothing with `error` set.
    static std::unique_ptr<PgConnection> Connect(const std::string& uri, std::string& error);

    PgRows Run(const std::string& sql, const std::vector<PgValue>& values = {});
    // As Run, the statement prepared on the first use and kept by the connection: for the statements
    // every client request runs, which are then parsed and planned once.
    PgRows RunPrepared(const std::string& sql, const std::vector<PgValue>& values);
    // Runs statements without values (several separated by semicolons); an error text or nothing.
    std::optional<std::string> Execute(const std::string& sql);
    // True once the connection to the server was lost: it is not used again (its session, with the
    // locks and prepared statements it held, is gone).
    bool Broken() const;

private:
    explicit PgConnection(pg_conn* connection)
        : connection_(connection)
    { }

    pg_conn* connection_ = nullptr;
    // The statements prepared, by their text; each named by its place.
    std::map<std::string, std::string> prepared_;
};

} // namespace tallyhawk::server

#include "server/pg_connection.h"

#include <libpq-fe.h>

#include <cstdio>
#include <utility>

namespace tallyhawk::server
{

namespace
{

std::string Trimmed(const char* text)
{
    std::string trimmed = text != nullptr ? text : "";
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) {
        trimmed.pop_back();
    }
    return trimmed;
}

} // namespace

PgRows::PgRows(pg_result* result)
    : result_(result)
{
    if (!ok()) {
        error_ = "database error: "
            + (result_ != nullptr ? Trimmed(PQresultErrorMessage(result_)) : std::string("out of memory"));
    }
}

PgRows::~PgRows()
{
    PQclear(result_);
}

PgRows::PgRows(PgRows&& other) noexcept
    : result_(std::exchange(other.result_, nullptr))
    , error_(std::move(other.error_))
{ }

bool PgRows::ok() const
{
    const ExecStatusType status = result_ != nullptr ? PQresultStatus(result_) : PGRES_FATAL_ERROR;
    return status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
}

int PgRows::size() const
{
    return result_ != nullptr ? PQntuples(result_) : 0;
}

std::int64_t PgRows::changed() const
{
    const char* count = result_ != nullptr ? PQcmdTuples(result_) : "";
    return count[0] != '\0' ? std::stoll(count) : 0;
}

std::int64_t PgRows::Int(int row, int column) const
{
    if (PQgetisnull(result_, row, column) != 0) {
        return 0;
    }
    // Binary numbers come most significant byte first.
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row, column));
    const int length = PQgetlength(result_, row, column);
    std::uint64_t value = (length > 0 && (bytes[0] & 0x80) != 0) ? ~std::uint64_t{0} : 0;
    for (int i = 0; i < length; ++i) {
        value = (value << 8) | bytes[i];
    }
    return static_cast<std::int64_t>(value);
}

std::string PgRows::Bytes(int row, int column) const
{
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

PgConnection::~PgConnection()
{
    PQfinish(connection_);
}

std::unique_ptr<PgConnection> PgConnection::Connect(const std::string& uri, std::string& error)
{
    // A database that does not answer must not hold up the deal server for the minutes a connection
    // attempt may otherwise take; a connect_timeout in the URI comes later and has the last word.
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"5", uri.c_str(), nullptr};
    pg_conn* connection = PQconnectdbParams(keywords, values, 1);
    if (connection == nullptr || PQstatus(connection) != CONNECTION_OK) {
        error = "cannot connect to the database: "
            + (connection != nullptr ? Trimmed(PQerrorMessage(connection)) : std::string("out of memory"));
        PQfinish(connection);
        return nullptr;
    }
    // Notices (a table that exists already) are no news to the service's log.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    return std::unique_ptr<PgConnection>(new PgConnection(connection));
}

namespace
{

// The values as libpq takes them; pointing into the values, which outlive the call.
struct Parameters
{
    explicit Parameters(const std::vector<PgValue>& values)
    {
        for (const PgValue& value : values) {
            texts.push_back(value.value.data());
            lengths.push_back(static_cast<int>(value.value.size()));
            formats.push_back(value.bytes ? 1 : 0);
        }
    }
    int count() const { return static_cast<int>(texts.size()); }

    std::vector<const char*> texts;
    std::vector<int> lengths;
    std::vector<int> formats;
};

} // namespace

PgRows PgConnection::Run(const std::string& sql, const std::vector<PgValue>& values)
{
    const Parameters parameters(values);
    return PgRows(PQexecParams(connection_,
                               sql.c_str(),
                               parameters.count(),
                               nullptr,
                               parameters.texts.data(),
                               parameters.lengths.data(),
                               parameters.formats.data(),
                               1));
}

PgRows PgConnection::RunPrepared(const std::string& sql, const std::vector<PgValue>& values)
{
    auto known = prepared_.find(sql);
    if (known == prepared_.end()) {
        char name[32];
        std::snprintf(name, sizeof name, "statement_%zu", prepared_.size());
        PgRows prepared(PQprepare(connection_, name, sql.c_str(), static_cast<int>(values.size()), nullptr));
        if (!prepared.ok()) {
            return prepared;
        }
        known = prepared_.emplace(sql, name).first;
    }
    const Parameters parameters(values);
    return PgRows(PQexecPrepared(connection_,
                                 known->second.c_str(),
                                 parameters.count(),
                                 parameters.texts.data(),
                                 parameters.lengths.data(),
                                 parameters.formats.data(),
                                 1));
}

std::optional<std::string> PgConnection::Execute(const std::string& sql)
{
    PgRows rows(PQexec(connection_, sql.c_str()));
    if (!rows.ok()) {
        return rows.error();
    }
    return std::nullopt;
}

bool PgConnection::Broken() const
{
    return PQstatus(connection_) != CONNECTION_OK;
}

} // namespace tallyhawk::server

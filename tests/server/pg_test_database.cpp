#include "pg_test_database.h"

#include "server/pg_connection.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace tallyhawk::test
{

namespace
{

const char* AdminUri()
{
    const char* uri = std::getenv("TALLYHAWK_TEST_POSTGRES");
    return uri != nullptr && uri[0] != '\0' ? uri : nullptr;
}

// The URI with its database (the path after the host) replaced by `name`.
std::string WithDatabase(const std::string& uri, const std::string& name)
{
    const std::size_t hostStart = uri.find("://") + 3;
    const std::size_t slash = uri.find('/', hostStart);
    const std::size_t query = uri.find('?', hostStart);
    const std::string base = uri.substr(0, slash != std::string::npos ? slash : query);
    const std::string rest = query != std::string::npos ? uri.substr(query) : std::string();
    return base + "/" + name + rest;
}

} // namespace

std::optional<std::string> PgTestDatabase::Missing()
{
    if (AdminUri() == nullptr) {
        return "no PostgreSQL cluster to test with: TALLYHAWK_TEST_POSTGRES is not set (scripts/test starts "
               "one where the postgresql package is installed)";
    }
    return std::nullopt;
}

bool PgTestDatabase::Required()
{
    const char* required = std::getenv("TALLYHAWK_REQUIRE_POSTGRES");
    return required != nullptr && std::string(required) == "1";
}

PgTestDatabase::PgTestDatabase()
{
    if (AdminUri() == nullptr) {
        error_ = *Missing();
        return;
    }
    static std::atomic<int> made{0};
    name_ = "tallyhawk_test_" + std::to_string(::getpid()) + "_" + std::to_string(made++);
    admin_ = server::PgConnection::Connect(AdminUri(), error_);
    if (!admin_) {
        return;
    }
    admin_->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    if (std::optional<std::string> failure = admin_->Execute("CREATE DATABASE " + name_)) {
        error_ = *failure;
        return;
    }
    uri_ = WithDatabase(AdminUri(), name_);
}

PgTestDatabase::~PgTestDatabase()
{
    if (admin_ && !uri_.empty()) {
        admin_->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }
}

} // namespace tallyhawk::test

#pragma once

#include <memory>
#include <optional>
#include <string>

namespace tallyhawk::server
{
class PgConnection;
}

namespace tallyhawk::test
{

// A database of its own on the throw-away PostgreSQL cluster scripts/test starts (its address in
// TALLYHAWK_TEST_POSTGRES), dropped when the test ends.
class PgTestDatabase
{
public:
    // Why the PostgreSQL tests cannot run here, or nothing when they can.
    static std::optional<std::string> Missing();
    // True where a skipped PostgreSQL test is a failure (TALLYHAWK_REQUIRE_POSTGRES=1, as in CI).
    static bool Required();

    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    // The connection URI of the database; empty when it could not be made (`error` says why).
    const std::string& uri() const { return uri_; }
    const std::string& error() const { return error_; }

private:
    std::unique_ptr<server::PgConnection> admin_;
    std::string name_;
    std::string uri_;
    std::string error_;
};

} // namespace tallyhawk::test

// In a test or SetUp: skips the test, with the reason, where no cluster runs; fails it where one must.
#define TALLYHAWK_NEEDS_POSTGRES()                                                                           \
    if (const std::optional<std::string> missing = ::tallyhawk::test::PgTestDatabase::Missing()) {           \
        if (::tallyhawk::test::PgTestDatabase::Required()) {                                                 \
            FAIL() << *missing;                                                                              \
        }                                                                                                    \
        GTEST_SKIP() << *missing;                                                                            \
    }

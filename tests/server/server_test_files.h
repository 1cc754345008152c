#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk::test
{

// Item database files in states the service must cope with.
class ServerTestFiles
{
public:
    // A database of `count` deals (category "Garden") whose item table has a page overwritten with
    // junk past its first pages, as a failing disk leaves it.
    static void WriteDamaged(const std::string& path, int count = 400);
    // Adds a deal whose description is `descriptionBytes` long, as the service stored items before it
    // cut texts on the way in (written past the service's own checks).
    static void AddUncutDeal(const std::string& path, const std::string& title, std::size_t descriptionBytes);
};

} // namespace tallyhawk::test

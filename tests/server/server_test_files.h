#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk::test
{

// Item database files in states the service must cope with.
class ServerTestFiles
{
public:
    // A database of 400 deals (category "Garden") with a page of the item table and one of its index
    // overwritten with junk, as a failing disk leaves it.
    static void WriteDamaged(const std::string& path);
    // Adds a deal whose description is `descriptionBytes` long, as the service stored items before it
    // cut texts on the way in (written past the service's own checks).
    static void AddUncutDeal(const std::string& path, const std::string& title, std::size_t descriptionBytes);
};

} // namespace tallyhawk::test

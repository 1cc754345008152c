#pragma once

#include <cstdint>
#include <string>

namespace tallyhawk::cli
{

// The file of a kind of shopping record: "product.dat" (1) or "purchase.dat" (2).
std::string ShoppingFileName(std::int32_t kind);

// One sentence for a failed shopping database operation on `file`.
std::string ShoppingFailureText(const std::string& file, int status);

} // namespace tallyhawk::cli

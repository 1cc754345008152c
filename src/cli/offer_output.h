#pragma once

#include "core/compare/price_result.h"
#include "core/compare/result_list.h"

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>

namespace tallyhawk::cli
{

// An offer's members under their names, texts shown as UTF-8.
nlohmann::ordered_json OfferJson(const PriceResult& offer);

// {"id": N, "offers": [...]} with the offers in the list's order.
nlohmann::ordered_json ComparisonJson(std::int32_t id, const ResultList& offers);

// Two lines per offer: id, price, site and name; the link.
void PrintOffers(std::ostream& out, const ResultList& offers);

} // namespace tallyhawk::cli

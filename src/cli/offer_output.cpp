#include "cli/offer_output.h"

#include "core/common/display_text.h"

#include <cstdio>
#include <ostream>

namespace tallyhawk::cli
{

nlohmann::ordered_json OfferJson(const PriceResult& offer)
{
    return {
        {"id", offer.id},
        {"name", DisplayText(offer.name)},
        {"text",
         offer.text ? nlohmann::ordered_json(DisplayText(*offer.text)) : nlohmann::ordered_json(nullptr)},
        {"link", DisplayText(offer.link)},
        {"siteName", DisplayText(offer.siteName)},
        {"price", offer.price},
        {"flags", offer.flags},
    };
}

nlohmann::ordered_json ComparisonJson(std::int32_t id, const ResultList& offers)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PriceResult& offer : offers) {
        list.push_back(OfferJson(offer));
    }
    return {{"id", id}, {"offers", std::move(list)}};
}

void PrintOffers(std::ostream& out, const ResultList& offers)
{
    for (const PriceResult& offer : offers) {
        char price[64];
        std::snprintf(price, sizeof price, "%.2f", offer.price);
        out << "  " << offer.id << "\t" << price << "\t" << TerminalText(offer.siteName) << "\t"
            << TerminalText(offer.name) << "\n      " << TerminalText(offer.link) << "\n";
    }
    out << offers.Count() << (offers.Count() == 1 ? " offer\n" : " offers\n");
}

} // namespace tallyhawk::cli

#pragma once

#include "core/compare/price_result.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

namespace tallyhawk
{

// The offers of one search, highest price first; offers of equal price keep the order in which they
// were inserted. Results files hold the offers in this order (see Save for the layout).
class ResultList
{
public:
    using const_iterator = std::list<PriceResult>::const_iterator;

    ResultList() = default;
    ResultList(const ResultList& other);
    ResultList& operator=(const ResultList& other);
    ResultList(ResultList&& other) noexcept;
    ResultList& operator=(ResultList&& other) noexcept;

    // Goes directly before the first offer of a lower price, or at the end.
    void Insert(PriceResult result);
    std::size_t Count() const { return results_.size(); }
    bool empty() const { return results_.empty(); }
    void Clear();
    // Deletes the first offer with this id; nothing happens when there is none. Always 0.
    std::int32_t RemoveById(std::int32_t id);

    // The one iteration cursor: the first offer, then each next one; null past the end. Removing the
    // offer at the cursor does not skip the one after it.
    const PriceResult* First();
    const PriceResult* Next();

    const_iterator begin() const { return results_.begin(); }
    const_iterator end() const { return results_.end(); }

    // Replaces the held offers with a results file's, in price order whatever order the file has.
    // 0; kCannotOpen; kBadMarker for a wrong file marker or a marker that is neither a record nor the
    // end; kBadFormat when the file is cut short (the offers before that stay).
    std::int32_t Load(const std::string& path);
    // Writes the offers as a whole new file in place of the old one: the file marker 80001, per offer
    // the record marker 80002, id (int32), price (IEEE double), flags (uint16) and the strings name,
    // text, link and siteName, each as an int32 byte count followed by the text and its zero byte (an
    // absent text is the count 0 alone), then the end marker 80003; little-endian. 0; kCannotOpen when
    // the file cannot be created; kFailed when a write failed (the old file stays as it was).
    std::int32_t Save(const std::string& path) const;

    // The bytes Save writes.
    std::string Serialize() const;

private:
    std::list<PriceResult> results_;
    std::list<PriceResult>::iterator cursor_ = results_.end();
    bool cursorRemoved_ = false; // the offer at the cursor was removed; cursor_ is the one after it
};

} // namespace tallyhawk

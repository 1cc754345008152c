#include "core/update/highest_ids.h"

#include "core/common/item_kind.h"
#include "core/platform/atomic_file.h"
#include "core/platform/text_file.h"
#include "core/store/item_store.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>

namespace tallyhawk
{

namespace
{

constexpr std::array<std::string_view, 3> kWords = {"coupon", "deal", "topic"};

using Ids = std::array<std::int32_t, 3>;

// A missing or unreadable file remembers nothing; a line it cannot read is skipped.
Ids ReadIds(const std::string& path)
{
    Ids ids{};
    TextFileBytes bytes;
    if (ReadTextFile(path, bytes) != 0) {
        return ids;
    }
    std::istringstream lines{std::string(bytes.view())};
    std::string word;
    std::string number;
    while (lines >> word >> number) {
        auto found = std::find(kWords.begin(), kWords.end(), word);
        std::int32_t value = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (found != kWords.end() && error == std::errc() && end == number.data() + number.size()
            && value > 0) {
            ids[static_cast<std::size_t>(found - kWords.begin())] = value;
        }
    }
    return ids;
}

} // namespace

HighestIds::HighestIds(const std::filesystem::path& folder)
    : path_((folder / kFileName).string())
{ }

std::int32_t HighestIds::Remembered(std::int32_t kind) const
{
    return IsStoredKind(kind) ? ReadIds(path_)[static_cast<std::size_t>(kind - 1)] : 0;
}

std::int32_t HighestIds::AskAfter(std::int32_t kind, const ItemStore& store) const
{
    return std::max(Remembered(kind), store.HighestId(kind));
}

void HighestIds::Remember(std::int32_t kind, const ItemStore& store)
{
    if (!IsStoredKind(kind)) {
        return;
    }
    Ids ids = ReadIds(path_);
    std::int32_t& remembered = ids[static_cast<std::size_t>(kind - 1)];
    if (store.HighestId(kind) <= remembered) {
        return;
    }
    remembered = store.HighestId(kind);
    std::string text;
    for (std::size_t i = 0; i < kWords.size(); ++i) {
        text += std::string(kWords[i]) + " " + std::to_string(ids[i]) + "\n";
    }
    // A failed write only means the next archive may lower the request again.
    AtomicFile::Replace(path_, text);
}

} // namespace tallyhawk

#include "core/compare/result_list.h"

#include "core/common/byte_text.h"
#include "core/common/record_frame.h"
#include "core/common/status.h"
#include "core/platform/atomic_file.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tallyhawk
{
namespace
{

// id, price and flags of an offer, before its strings.
constexpr std::size_t kOfferHeadSize = 4 + 8 + 2;

void AppendLe32(std::string& out, std::uint32_t value)
{
    unsigned char bytes[4];
    StoreLe32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void AppendString(std::string& out, const std::optional<std::string_view>& text)
{
    if (!text) {
        AppendLe32(out, 0);
        return;
    }
    // A text ends at its first zero byte, as the reader will see it.
    const std::string_view kept = text->substr(0, text->find('\0'));
    AppendLe32(out, static_cast<std::uint32_t>(kept.size() + 1));
    out.append(kept);
    out.push_back('\0');
}

std::optional<std::string_view> PresentUnlessEmpty(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<std::string_view>(text);
}

// Reads a results file front to back; every count is checked against the bytes left in the file.
class OfferReader
{
public:
    explicit OfferReader(std::FILE* file, std::uint64_t size)
        : file_(file)
        , left_(size)
    { }

    bool Read(void* data, std::size_t size)
    {
        if (size > left_ || std::fread(data, 1, size, file_) != size) {
            left_ = 0;
            return false;
        }
        left_ -= size;
        return true;
    }

    std::optional<std::uint32_t> Word()
    {
        unsigned char bytes[4];
        if (!Read(bytes, sizeof bytes)) {
            return std::nullopt;
        }
        return LoadLe32(bytes);
    }

    // A counted string; false when the file ends inside it. A count of 0 or less is an absent text.
    bool String(std::optional<std::string>& text)
    {
        text.reset();
        std::optional<std::uint32_t> count = Word();
        if (!count) {
            return false;
        }
        const auto length = static_cast<std::int32_t>(*count);
        if (length <= 0) {
            return true;
        }
        if (static_cast<std::uint64_t>(length) > left_) {
            left_ = 0;
            return false;
        }
        std::string bytes(static_cast<std::size_t>(length), '\0');
        if (!Read(bytes.data(), bytes.size())) {
            return false;
        }
        bytes.resize(std::min(bytes.find('\0'), bytes.size()));
        text = std::move(bytes);
        return true;
    }

private:
    std::FILE* file_;
    std::uint64_t left_;
};

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// One offer after its record marker; false when the file ends inside it.
bool ReadOffer(OfferReader& reader, PriceResult& offer)
{
    unsigned char head[kOfferHeadSize];
    if (!reader.Read(head, sizeof head)) {
        return false;
    }
    offer.id = static_cast<std::int32_t>(LoadLe32(head));
    const std::uint64_t priceBits = static_cast<std::uint64_t>(LoadLe32(head + 4))
        | (static_cast<std::uint64_t>(LoadLe32(head + 8)) << 32);
    offer.price = std::bit_cast<double>(priceBits);
    if (std::isnan(offer.price)) {
        offer.price = 0.0; // only damage gives one; it would leave the offers without an order
    }
    offer.flags = LoadLe16(head + 12);
    std::optional<std::string> name;
    std::optional<std::string> link;
    std::optional<std::string> siteName;
    if (!reader.String(name) || !reader.String(offer.text) || !reader.String(link)
        || !reader.String(siteName)) {
        return false;
    }
    offer.name = name.value_or("");
    offer.link = link.value_or("");
    offer.siteName = siteName.value_or("");
    return true;
}

// The offers after the file marker, in file order, up to the end marker or the first damage.
std::int32_t ReadOffers(OfferReader& reader, std::vector<PriceResult>& offers)
{
    std::optional<std::uint32_t> marker = reader.Word();
    if (!marker) {
        return kBadFormat;
    }
    if (*marker != RecordFrame::kFileMarker) {
        return kBadMarker;
    }
    for (;;) {
        marker = reader.Word();
        if (!marker) {
            return kBadFormat;
        }
        if (*marker == RecordFrame::kEndMarker) {
            return kOk;
        }
        if (*marker != RecordFrame::kRecordMarker) {
            return kBadMarker;
        }
        PriceResult offer;
        if (!ReadOffer(reader, offer)) {
            return kBadFormat;
        }
        offers.push_back(std::move(offer));
    }
}

} // namespace

ResultList::ResultList(const ResultList& other)
    : results_(other.results_)
{ }

ResultList& ResultList::operator=(const ResultList& other)
{
    if (this != &other) {
        results_ = other.results_;
        cursor_ = results_.end();
        cursorRemoved_ = false;
    }
    return *this;
}

ResultList::ResultList(ResultList&& other) noexcept
    : results_(std::move(other.results_))
{
    other.results_.clear();
    other.cursor_ = other.results_.end();
}

ResultList& ResultList::operator=(ResultList&& other) noexcept
{
    if (this != &other) {
        results_ = std::move(other.results_);
        cursor_ = results_.end();
        cursorRemoved_ = false;
        other.results_.clear();
        other.cursor_ = other.results_.end();
    }
    return *this;
}

void ResultList::Insert(PriceResult result)
{
    // The list is ordered, so an offer no dearer than the last one goes at the end: pages listed highest
    // price first then cost one step per offer instead of a walk over the whole list.
    if (results_.empty() || !(results_.back().price < result.price)) {
        results_.push_back(std::move(result));
        return;
    }
    auto before = std::find_if(
        results_.begin(), results_.end(), [&](const PriceResult& held) { return held.price < result.price; });
    results_.insert(before, std::move(result));
}

void ResultList::Clear()
{
    results_.clear();
    cursor_ = results_.end();
    cursorRemoved_ = false;
}

std::int32_t ResultList::RemoveById(std::int32_t id)
{
    auto found = std::find_if(
        results_.begin(), results_.end(), [id](const PriceResult& held) { return held.id == id; });
    if (found != results_.end()) {
        if (cursor_ == found) {
            // Next gives the offer that followed the removed one.
            ++cursor_;
            cursorRemoved_ = true;
        }
        results_.erase(found);
    }
    return kOk;
}

const PriceResult* ResultList::First()
{
    cursorRemoved_ = false;
    cursor_ = results_.begin();
    return cursor_ == results_.end() ? nullptr : &*cursor_;
}

const PriceResult* ResultList::Next()
{
    if (cursorRemoved_) {
        cursorRemoved_ = false;
        return cursor_ == results_.end() ? nullptr : &*cursor_;
    }
    if (cursor_ == results_.end() || ++cursor_ == results_.end()) {
        return nullptr;
    }
    return &*cursor_;
}

std::string ResultList::Serialize() const
{
    std::string bytes;
    AppendLe32(bytes, RecordFrame::kFileMarker);
    for (const PriceResult& offer : results_) {
        AppendLe32(bytes, RecordFrame::kRecordMarker);
        AppendLe32(bytes, static_cast<std::uint32_t>(offer.id));
        const auto priceBits = std::bit_cast<std::uint64_t>(offer.price);
        AppendLe32(bytes, static_cast<std::uint32_t>(priceBits));
        AppendLe32(bytes, static_cast<std::uint32_t>(priceBits >> 32));
        unsigned char flags[2];
        StoreLe16(flags, offer.flags);
        bytes.append(reinterpret_cast<const char*>(flags), sizeof flags);
        AppendString(bytes, PresentUnlessEmpty(offer.name));
        AppendString(bytes, offer.text);
        AppendString(bytes, PresentUnlessEmpty(offer.link));
        AppendString(bytes, PresentUnlessEmpty(offer.siteName));
    }
    AppendLe32(bytes, RecordFrame::kEndMarker);
    return bytes;
}

std::int32_t ResultList::Save(const std::string& path) const
{
    AtomicFile file(path);
    if (!file.Open()) {
        return kCannotOpen;
    }
    if (!file.Write(Serialize()) || !file.Commit()) {
        return kFailed;
    }
    return kOk;
}

std::int32_t ResultList::Load(const std::string& path)
{
    Clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        return kCannotOpen;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        return kBadFormat;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return kBadFormat;
    }
    OfferReader reader(file.get(), static_cast<std::uint64_t>(size));
    std::vector<PriceResult> offers;
    const std::int32_t status = ReadOffers(reader, offers);
    // The order Insert gives one by one (highest price first, equal prices in file order), in
    // n log n for a file of many offers.
    std::stable_sort(offers.begin(), offers.end(), [](const PriceResult& a, const PriceResult& b) {
        return a.price > b.price;
    });
    results_.assign(std::make_move_iterator(offers.begin()), std::make_move_iterator(offers.end()));
    cursor_ = results_.end();
    cursorRemoved_ = false;
    return status;
}

} // namespace tallyhawk

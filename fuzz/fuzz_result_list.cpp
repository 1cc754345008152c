// Any bytes as a results file through ResultList::Load: no crash, no sanitizer report, memory bounded by
// the file's size, offers in price order; a file that loaded whole saves and loads back the same.
#include "core/compare/result_list.h"
#include "fuzz_temp_folder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = tallyhawk::fuzz::InputFile(
        "results.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    tallyhawk::ResultList list;
    const std::int32_t status = list.Load(path);
    // Each offer takes its marker, id, price, flags and four counts at least.
    if (list.Count() > size / 34) {
        std::abort();
    }
    bool first = true;
    double previous = 0.0;
    for (const tallyhawk::PriceResult& offer : list) {
        if (std::isnan(offer.price) || (!first && offer.price > previous)) {
            std::abort();
        }
        previous = offer.price;
        first = false;
    }
    if (status == 0) {
        const std::string saved = list.Serialize();
        tallyhawk::ResultList again;
        if (list.Save(path) != 0 || again.Load(path) != 0 || again.Serialize() != saved) {
            std::abort();
        }
    }
    return 0;
}

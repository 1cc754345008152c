// Any bytes as the comparison index through SearchIndex::Load: no crash, no sanitizer report, never
// more records than the file holds, newest first; after a save into a file that loaded whole, the file
// loads whole again with one more record.
#include "core/compare/search_index.h"
#include "fuzz_temp_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = tallyhawk::fuzz::TempFolder();
    std::filesystem::create_directories(folder + "/WebSearch");
    const std::string path = tallyhawk::fuzz::InputFile(
        "pricecmp.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    tallyhawk::SearchIndex index(path, folder + "/WebSearch");
    const std::int32_t status = index.Load();
    if (index.Count() > size / 72) {
        std::abort();
    }
    for (std::size_t i = 1; i < index.records().size(); ++i) {
        if (index.records()[i].savedAt > index.records()[i - 1].savedAt) {
            std::abort();
        }
    }
    if (status != 0) {
        return 0;
    }
    const std::size_t before = index.Count();
    tallyhawk::ResultList results;
    tallyhawk::PriceResult offer;
    offer.name = "n";
    offer.link = "l";
    offer.price = 1.0;
    results.Insert(offer);
    const std::int32_t id = index.SaveSearch(1, "fuzz", results);
    if (id > 0) {
        std::filesystem::remove(index.ResultsPath(id));
        tallyhawk::SearchIndex reloaded(path, folder + "/WebSearch");
        if (reloaded.Load() != 0 || reloaded.Count() != before + 1) {
            std::abort();
        }
    }
    return 0;
}

#include "deal_file.h"

#include "core/common/byte_text.h"
#include "core/store/item_record.h"

namespace tallyhawk::bench
{

namespace
{

constexpr const char* kWords[] = {"camera",
                                  "lens",
                                  "tripod",
                                  "laptop",
                                  "screen",
                                  "phone",
                                  "cable",
                                  "charger",
                                  "shoes",
                                  "shirt",
                                  "jacket",
                                  "watch",
                                  "kettle",
                                  "blender",
                                  "drill",
                                  "sofa"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

} // namespace

std::string Words(unsigned seed, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += (i ? " " : "");
        text += kWords[(seed >> 16) % kWordCount];
    }
    return text;
}

DealFile::DealFile(int records)
{
    std::string bytes(4, '\0');
    StoreLe32(reinterpret_cast<unsigned char*>(bytes.data()), 80001);
    unsigned char frame[4 + ItemRecord::kSize];
    StoreLe32(frame, 80002);
    for (int i = 1; i <= records; ++i) {
        const std::string title = "Deal " + std::to_string(i) + " " + Words(i, 3);
        const std::string description = "Save on " + Words(i * 7, 12) + " while supplies last";
        const std::string store = "Store " + std::to_string(i % 40);
        ItemValues values;
        values.id = i;
        values.kind = 1 + i % 2;
        values.storeId = i % 40 + 1;
        values.categoryId = i % 25 + 1;
        values.date = 1200000000 + i;
        values.hot = i % 50 == 0;
        values.title = title;
        values.description = description;
        values.extra = "$19.99";
        values.storeName = store;
        values.categoryName = "Category";
        ItemRecord::Make(values, 1100000000 + i).Serialize(frame + 4);
        bytes.append(reinterpret_cast<const char*>(frame), sizeof frame);
    }
    bytes.append("\x83\x38\x01\x00", 4);
    path = folder + "/deal.lst";
    WriteWholeFile(path, bytes);
}

} // namespace tallyhawk::bench

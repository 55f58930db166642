// The record file under language packs, opened read-only as packs are, walked every way the
// store offers: forwards with reads, backwards by the back lengths, Last and GoTo.
#include "Lang/LanguagePack.h"
#include "Lang/Storefile.h"
#include "fuzz/FuzzInput.h"

#include <vector>

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TStorefile store;
    store.Signature = kPackSignature;
    store.Filename = lvfuzz::WriteInput(data, size, ".SPK");
    store.ReadOnly = true;
    if (!store.Open())
        return 0;
    const int count = store.Count();
    if (count < 0 || std::int64_t(count) * 12 > std::int64_t(size))
        lvfuzz::Broken("count beyond what the file can hold");
    std::vector<std::uint8_t> record;
    int walked = 0;
    for (; !store.AtEnd() && walked <= count; ++walked) {
        const int payload = store.PayloadSize();
        store.ReadRecord(record, -1, true);
        if (payload < 0 || record.size() != std::size_t(payload))
            lvfuzz::Broken("payload size and record disagree");
    }
    for (int steps = 0; steps <= walked; ++steps)
        store.Previous();
    store.Last();
    std::string text;
    std::int32_t value = 0;
    store.ReadString(text, false);
    store.ReadInteger(value, false);
    // A few positions chosen by the input, so that every walking direction is taken.
    for (std::size_t i = 0; i < 4 && count > 0; ++i) {
        store.GoTo(int(data[i % size] % count));
        store.ReadRecord(record, 4, false);
        if (store.Index() < 0 || store.Index() > count)
            lvfuzz::Broken("index outside the records");
    }
    store.First();
    return 0;
}

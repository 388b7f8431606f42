// Any bytes as an EDS or DCF file: the reader refuses them with a line
// inside the text, or gives a dictionary in order whose every value has its
// type's size and prints; saved as a DCF with its defaults, it reads again
// with the same entries.
#include "eds/DcfWriter.h"
#include "eds/EdsReader.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace network::eds;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto result = readEds(text, 0x7F);
    if (const auto *error = std::get_if<ReadError>(&result)) {
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        if (error->line < 0 || error->line > lines || error->text().empty())
            std::abort();
        return 0;
    }
    const ObjectDictionary &dictionary = std::get<ObjectDictionary>(result);
    EntryValues values;
    for (const Entry &entry : dictionary.entries)
        if (entry.defaultValue)
            values[{entry.index, entry.subIndex}] = *entry.defaultValue;
    const auto again = readEds(writeDcf(text, dictionary, values, 0x7F), 0x7F);
    if (!std::holds_alternative<ObjectDictionary>(again)
        || std::get<ObjectDictionary>(again).entries.size() != dictionary.entries.size())
        std::abort();
    for (size_t i = 0; i < dictionary.entries.size(); ++i) {
        const Entry &entry = dictionary.entries[i];
        if (i > 0) {
            const Entry &before = dictionary.entries[i - 1];
            if (std::make_pair(before.index, before.subIndex) >= std::make_pair(entry.index, entry.subIndex))
                std::abort();
        }
        if (dictionary.find(entry.index, entry.subIndex) != &entry)
            std::abort();
        for (const auto *value : {&entry.defaultValue, &entry.parameterValue, &entry.lowLimit, &entry.highLimit}) {
            if (!*value)
                continue;
            if (fixedSize(entry.type) != 0 && (*value)->size() != fixedSize(entry.type))
                std::abort();
            (void)formatValue(entry.type, **value);
            (void)checkLimits(entry, **value);
        }
    }
    return 0;
}

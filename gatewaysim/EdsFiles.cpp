#include "EdsFiles.h"

#include "eds/EdsReader.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace gatewaysim {

bool readExtraNodeEds(const Options &options, std::map<uint8_t, network::eds::ObjectDictionary> &dictionaries)
{
    for (const auto &[node, path] : options.extraNodeEds) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tarnwick-gatewaysim: %s: cannot be read\n", path.c_str());
            return false;
        }
        std::ostringstream text;
        text << in.rdbuf();
        auto result = network::eds::readEds(text.str(), node);
        if (const auto *error = std::get_if<network::eds::ReadError>(&result)) {
            std::fprintf(stderr, "tarnwick-gatewaysim: %s: %s\n", path.c_str(), error->text().c_str());
            return false;
        }
        dictionaries.emplace(node, std::get<network::eds::ObjectDictionary>(std::move(result)));
    }
    return true;
}

} // namespace gatewaysim

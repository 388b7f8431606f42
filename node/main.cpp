// tarnwick-node: a node's objects by SDO, NMT and the nodes on the bus,
// through the library, for the engineer's scripts.
#include "NodeAccess.h"
#include "NodeOptions.h"
#include "eds/EdsReader.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The node's EDS, or why not (said on standard error).
bool loadEds(const std::string &path, uint8_t node, std::optional<network::eds::ObjectDictionary> &dictionary,
             std::string &edsText)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tarnwick-node: %s: cannot be read\n", path.c_str());
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    edsText = text.str();
    auto result = network::eds::readEds(edsText, node);
    if (const auto *error = std::get_if<network::eds::ReadError>(&result)) {
        std::fprintf(stderr, "tarnwick-node: %s: %s\n", path.c_str(), error->text().c_str());
        return false;
    }
    dictionary = std::get<network::eds::ObjectDictionary>(std::move(result));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The virtual bus plugin tells who serves the bus on every start; the
    // output is the program's answer, to be read by scripts.
    setenv("QT_LOGGING_RULES", "qt.canbus.plugins.virtualcan.info=false;qt.canbus.plugins.virtualcan.debug=false", 0);
    const node::ParseResult parsed = node::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tarnwick-node: %s\n%s", parsed.error.c_str(), node::usage().c_str());
        return node::EXIT_USAGE;
    }
    const node::Options &options = parsed.options;
    if (options.help) {
        std::fputs(node::usage().c_str(), stdout);
        return node::EXIT_DONE;
    }
    std::optional<network::eds::ObjectDictionary> dictionary;
    std::string edsText;
    if (options.eds && !loadEds(*options.eds, options.node, dictionary, edsText))
        return node::EXIT_USAGE;
    uint32_t handle = 0;
    if (!node::openAdapter(options.adapter, handle))
        return node::EXIT_FAILED;
    const int status = node::runCommand(handle, options, dictionary ? &*dictionary : nullptr, edsText);
    node::closeAdapter(handle);
    return status;
}

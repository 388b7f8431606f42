#include "eds/EdsReader.h"

#include <ini.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <map>

namespace network::eds {

std::string ReadError::text() const
{
    return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
}

namespace {

struct Key {
    std::string value;
    int line = 0;
};

struct Section {
    std::map<std::string, Key> keys;
    int line = 0;
};

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// inih reads through this so that every key knows its line: the handler
// runs while the line just handed out is parsed.
struct Stream {
    std::string_view text;
    size_t position = 0;
    int line = 0;
    int tooLong = 0;
    std::map<std::string, Section> sections;
};

char *readLine(char *buffer, int size, void *opaque)
{
    auto &stream = *static_cast<Stream *>(opaque);
    if (stream.position >= stream.text.size() || stream.tooLong != 0)
        return nullptr;
    ++stream.line;
    const size_t end = stream.text.find('\n', stream.position);
    const size_t lineEnd = end == std::string_view::npos ? stream.text.size() : end + 1;
    size_t length = lineEnd - stream.position;
    if (length > size_t(size - 1)) {
        // Cut at the buffer, the rest would read as a line of its own.
        stream.tooLong = stream.line;
        return nullptr;
    }
    std::memcpy(buffer, stream.text.data() + stream.position, length);
    buffer[length] = '\0';
    // A NUL inside would end the line early for inih and hide the rest.
    std::replace(buffer, buffer + length, '\0', ' ');
    buffer[length] = '\0';
    stream.position = lineEnd;
    return buffer;
}

int onKey(void *opaque, const char *section, const char *name, const char *value)
{
    auto &stream = *static_cast<Stream *>(opaque);
    Section &entry = stream.sections[lowered(section)];
    if (entry.line == 0)
        entry.line = stream.line;
    entry.keys[lowered(name)] = Key{value, stream.line};
    return 1;
}

class Interpreter {
public:
    explicit Interpreter(const std::map<std::string, Section> &sections, uint8_t nodeId)
        : sections_(sections), nodeId_(nodeId) {}

    std::variant<ObjectDictionary, ReadError> run();

private:
    const Section *section(const std::string &name) const
    {
        const auto at = sections_.find(name);
        return at == sections_.end() ? nullptr : &at->second;
    }
    bool number(const Section &from, const char *key, uint64_t limit, uint64_t &out, bool required);
    bool objectList(const char *name, bool required, std::vector<std::pair<uint16_t, int>> &indexes);
    bool object(uint16_t index, int listedAt);
    bool variable(const Section &from, uint16_t index, uint8_t subIndex, std::string name, const Key *values);
    bool value(const Section &from, const char *key, DataType type, std::optional<Bytes> &out);
    bool fail(int line, std::string message)
    {
        error_ = ReadError{line, std::move(message)};
        return false;
    }

    const std::map<std::string, Section> &sections_;
    uint8_t nodeId_;
    ObjectDictionary dictionary_;
    ReadError error_;
};

bool Interpreter::number(const Section &from, const char *key, uint64_t limit, uint64_t &out, bool required)
{
    const auto at = from.keys.find(lowered(key));
    if (at == from.keys.end() || at->second.value.empty()) {
        if (required)
            return fail(from.line, std::string("no ") + key);
        return true;
    }
    const auto parsed = parseValue(DataType::Unsigned64, at->second.value, nodeId_);
    if (!parsed)
        return fail(at->second.line, std::string("bad number in ") + key);
    uint64_t result = 0;
    for (size_t i = parsed->size(); i-- > 0;)
        result = result << 8 | (*parsed)[i];
    if (result > limit)
        return fail(at->second.line, std::string(key) + " out of range");
    out = result;
    return true;
}

bool Interpreter::objectList(const char *name, bool required, std::vector<std::pair<uint16_t, int>> &indexes)
{
    const Section *list = section(name);
    if (list == nullptr)
        return required ? fail(0, std::string("no section [") + name + "]") : true;
    uint64_t count = 0;
    if (!number(*list, "SupportedObjects", 0xFFFF, count, true))
        return false;
    for (uint64_t i = 1; i <= count; ++i) {
        uint64_t index = 0;
        const std::string key = std::to_string(i);
        if (list->keys.count(key) == 0)
            return fail(list->keys.at("supportedobjects").line,
                        "SupportedObjects says " + std::to_string(count) + " but there is no " + key + "=");
        if (!number(*list, key.c_str(), 0xFFFF, index, true))
            return false;
        indexes.emplace_back(uint16_t(index), list->keys.at(key).line);
    }
    return true;
}

bool Interpreter::value(const Section &from, const char *key, DataType type, std::optional<Bytes> &out)
{
    const auto at = from.keys.find(lowered(key));
    if (at == from.keys.end() || (at->second.value.empty() && type != DataType::VisibleString))
        return true;
    out = parseValue(type, at->second.value, nodeId_);
    if (!out)
        return fail(at->second.line, std::string("bad ") + typeName(type) + " value in " + key);
    return true;
}

bool Interpreter::variable(const Section &from, uint16_t index, uint8_t subIndex, std::string name, const Key *values)
{
    Entry entry;
    entry.index = index;
    entry.subIndex = subIndex;
    entry.name = std::move(name);
    uint64_t type = 0;
    if (!number(from, "DataType", 0xFFFF, type, true))
        return false;
    if (!isKnownType(uint16_t(type)))
        return fail(from.keys.at("datatype").line, "DataType is not one of CiA 301's basic types");
    entry.type = DataType(type);
    const auto access = from.keys.find("accesstype");
    if (access == from.keys.end())
        return fail(from.line, "no AccessType");
    const auto parsedAccess = accessFromText(access->second.value);
    if (!parsedAccess)
        return fail(access->second.line, "bad AccessType");
    entry.access = *parsedAccess;
    uint64_t mapping = 0;
    if (!number(from, "PDOMapping", 1, mapping, false))
        return false;
    entry.pdoMapping = mapping != 0;
    if (!value(from, "DefaultValue", entry.type, entry.defaultValue)
        || !value(from, "ParameterValue", entry.type, entry.parameterValue)
        || !value(from, "LowLimit", entry.type, entry.lowLimit)
        || !value(from, "HighLimit", entry.type, entry.highLimit))
        return false;
    if (values != nullptr) {
        entry.parameterValue = parseValue(entry.type, values->value, nodeId_);
        if (!entry.parameterValue)
            return fail(values->line, std::string("bad ") + typeName(entry.type) + " value");
    }
    dictionary_.entries.push_back(std::move(entry));
    return true;
}

char hexDigit(unsigned value) { return "0123456789abcdef"[value & 0xF]; }

std::string indexName(uint16_t index)
{
    return {hexDigit(index >> 12), hexDigit(index >> 8), hexDigit(index >> 4), hexDigit(index)};
}

bool Interpreter::object(uint16_t index, int listedAt)
{
    const std::string name = indexName(index);
    const Section *own = section(name);
    if (own == nullptr)
        return fail(listedAt, "no section [" + name + "]");
    const auto parameterName = own->keys.find("parametername");
    if (parameterName == own->keys.end())
        return fail(own->line, "no ParameterName in [" + name + "]");
    uint64_t objectType = 7;
    if (!number(*own, "ObjectType", 0xFF, objectType, false))
        return false;
    if (objectType != 8 && objectType != 9)
        return variable(*own, index, 0, parameterName->second.value, nullptr);

    uint64_t compact = 0;
    if (!number(*own, "CompactSubObj", 0xFE, compact, false))
        return false;
    if (compact != 0) {
        // Sub-index 0 counts the entries; each takes the object's type and
        // name, and a value from [XXXXValue] when there is one.
        Entry count;
        count.index = index;
        count.name = "Number of entries";
        count.defaultValue = Bytes{uint8_t(compact)};
        dictionary_.entries.push_back(count);
        const Section *values = section(name + "value");
        for (uint64_t sub = 1; sub <= compact; ++sub) {
            const Key *given = nullptr;
            if (values != nullptr) {
                const auto at = values->keys.find(std::to_string(sub));
                given = at == values->keys.end() ? nullptr : &at->second;
            }
            if (!variable(*own, index, uint8_t(sub), parameterName->second.value + std::to_string(sub), given))
                return false;
        }
        return true;
    }
    uint64_t subNumber = 0;
    if (!number(*own, "SubNumber", 0xFF, subNumber, true))
        return false;
    uint64_t found = 0;
    for (unsigned sub = 0; sub <= 0xFF; ++sub) {
        const std::string subName = name + "sub" + std::string(1, hexDigit(sub >> 4)).substr(sub < 16 ? 1 : 0)
            + hexDigit(sub);
        const Section *subSection = section(subName);
        if (subSection == nullptr)
            continue;
        const auto subParameterName = subSection->keys.find("parametername");
        if (subParameterName == subSection->keys.end())
            return fail(subSection->line, "no ParameterName in [" + subName + "]");
        if (!variable(*subSection, index, uint8_t(sub), subParameterName->second.value, nullptr))
            return false;
        ++found;
    }
    if (found != subNumber)
        return fail(own->keys.at("subnumber").line, "SubNumber says " + std::to_string(subNumber) + " but ["
                        + name + "] has " + std::to_string(found) + " sub-index sections");
    return true;
}

std::variant<ObjectDictionary, ReadError> Interpreter::run()
{
    if (const Section *info = section("deviceinfo")) {
        uint64_t vendor = 0, product = 0, revision = 0;
        if (!number(*info, "VendorNumber", 0xFFFFFFFF, vendor, false)
            || !number(*info, "ProductNumber", 0xFFFFFFFF, product, false)
            || !number(*info, "RevisionNumber", 0xFFFFFFFF, revision, false))
            return error_;
        dictionary_.vendorId = uint32_t(vendor);
        dictionary_.productCode = uint32_t(product);
        dictionary_.revision = uint32_t(revision);
        const auto productName = info->keys.find("productname");
        if (productName != info->keys.end())
            dictionary_.productName = productName->second.value;
    } else {
        return ReadError{0, "no section [DeviceInfo]"};
    }
    // CiA 306 spells it "DeviceComissioning"; some tools spell it right.
    for (const char *name : {"devicecomissioning", "devicecommissioning"}) {
        if (const Section *commissioning = section(name)) {
            uint64_t id = 0;
            if (!number(*commissioning, "NodeID", 127, id, false))
                return error_;
            dictionary_.nodeId = uint8_t(id);
        }
    }
    if (nodeId_ == 0)
        nodeId_ = dictionary_.nodeId;

    std::vector<std::pair<uint16_t, int>> indexes;
    if (!objectList("mandatoryobjects", true, indexes) || !objectList("optionalobjects", false, indexes)
        || !objectList("manufacturerobjects", false, indexes))
        return error_;
    std::sort(indexes.begin(), indexes.end());
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i > 0 && indexes[i].first == indexes[i - 1].first)
            return ReadError{indexes[i].second, "object " + indexName(indexes[i].first) + " listed twice"};
        if (!object(indexes[i].first, indexes[i].second))
            return error_;
    }
    return std::move(dictionary_);
}

} // namespace

std::variant<ObjectDictionary, ReadError> readEds(std::string_view text, uint8_t nodeId)
{
    Stream stream;
    stream.text = text;
    const int result = ini_parse_stream(readLine, &stream, onKey, &stream);
    if (stream.tooLong != 0 && (result == 0 || result > stream.tooLong))
        return ReadError{stream.tooLong, "line too long"};
    if (result != 0)
        return ReadError{result > 0 ? result : 0, "not a key=value line or a [section]"};
    return Interpreter(stream.sections, nodeId).run();
}

} // namespace network::eds

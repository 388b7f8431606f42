// EDS and DCF files read into object dictionaries: every CiA 301 data type
// typed from its text, $NODEID resolved, and broken files refused with the
// line at fault. Also the abort texts the same windows and tools print.
#include "eds/DcfWriter.h"
#include "eds/EdsReader.h"
#include "protocol/SdoAbortText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace network::eds;

namespace {

std::string fileText(const std::string &name)
{
    std::ifstream in(std::string(TARNWICK_EDS_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ObjectDictionary readOrFail(const std::string &text, uint8_t nodeId)
{
    auto result = readEds(text, nodeId);
    if (auto *error = std::get_if<ReadError>(&result)) {
        ADD_FAILURE() << error->text();
        return {};
    }
    return std::get<ObjectDictionary>(std::move(result));
}

std::string defaultText(const ObjectDictionary &dictionary, uint16_t index, uint8_t sub)
{
    const Entry *entry = dictionary.find(index, sub);
    if (entry == nullptr || !entry->defaultValue)
        return "<none>";
    return formatValue(entry->type, *entry->defaultValue);
}

// A file that reads, with one line swapped for another by the cases below.
const char SMALL_EDS[] = "[DeviceInfo]\n"        // 1
                         "VendorNumber=0x51A\n"  // 2
                         "[MandatoryObjects]\n"  // 3
                         "SupportedObjects=2\n"  // 4
                         "1=0x1000\n"            // 5
                         "2=0x1018\n"            // 6
                         "[1000]\n"              // 7
                         "ParameterName=Device type\n"
                         "DataType=0x0007\n"     // 9
                         "AccessType=ro\n"       // 10
                         "[1018]\n"              // 11
                         "ParameterName=Identity\n"
                         "ObjectType=0x9\n"      // 13
                         "SubNumber=1\n"         // 14
                         "[1018sub0]\n"          // 15
                         "ParameterName=Count\n" // 16
                         "DataType=0x0005\n"     // 17
                         "AccessType=ro\n"       // 18
                         "DefaultValue=1\n";     // 19

std::string withLine(int line, const std::string &replacement)
{
    std::istringstream in(SMALL_EDS);
    std::string out, text;
    for (int number = 1; std::getline(in, text); ++number)
        out += (number == line ? replacement : text) + "\n";
    return out;
}

} // namespace

TEST(EdsReader, EveryDataTypeReadsItsDefaultByItsType)
{
    const ObjectDictionary dictionary = readOrFail(fileText("all_types.eds"), 12);
    EXPECT_EQ(dictionary.vendorId, 0x51Au);
    EXPECT_EQ(dictionary.productCode, 0x20001u);
    EXPECT_EQ(dictionary.revision, 3u);
    const std::pair<DataType, const char *> expected[] = {
        {DataType::Boolean, "1"},
        {DataType::Integer8, "-128"},
        {DataType::Integer16, "-2"},
        {DataType::Integer32, "-100000"},
        {DataType::Unsigned8, "255"},
        {DataType::Unsigned16, "4660"},
        {DataType::Unsigned32, "4000000000"},
        {DataType::Real32, "1.5"},
        {DataType::VisibleString, "Tarnwick node"},
        {DataType::OctetString, "01 02 AB"},
        {DataType::UnicodeString, "54 00 61 00"},
        {DataType::TimeOfDay, "05 04 03 02 01 00"},
        {DataType::TimeDifference, "07 00 00 00 00 00"},
        {DataType::Domain, "DE AD BE EF"},
        {DataType::Integer24, "-8388608"},
        {DataType::Real64, "-0.25"},
        {DataType::Integer40, "-1"},
        {DataType::Integer48, "140737488355327"},
        {DataType::Integer56, "-36028797018963968"},
        {DataType::Integer64, "-9223372036854775808"},
        {DataType::Unsigned24, "16777215"},
        {DataType::Unsigned40, "15"},
        {DataType::Unsigned48, "281474976710655"},
        {DataType::Unsigned56, "256"},
        {DataType::Unsigned64, "18446744073709551615"},
    };
    for (const auto &[type, text] : expected) {
        const uint16_t index = uint16_t(0x2000 + uint16_t(type));
        const Entry *entry = dictionary.find(index, 0);
        ASSERT_NE(entry, nullptr) << typeName(type);
        EXPECT_EQ(entry->type, type) << typeName(type);
        EXPECT_EQ(defaultText(dictionary, index, 0), text) << typeName(type);
        if (fixedSize(type) != 0) {
            EXPECT_EQ(entry->defaultValue->size(), fixedSize(type)) << typeName(type);
        }
        // What is printed reads back as the same bytes, for the numbers a
        // user types into Write...
        if (fixedSize(type) != 0 && type != DataType::TimeOfDay && type != DataType::TimeDifference) {
            EXPECT_EQ(parseValue(type, text, 0), entry->defaultValue) << typeName(type);
        }
    }
}

TEST(EdsReader, CommunicationObjectsRecordsAndNodeIdDefaults)
{
    const ObjectDictionary dictionary = readOrFail(fileText("all_types.eds"), 12);
    EXPECT_EQ(defaultText(dictionary, 0x1400, 1), std::to_string(0x200 + 12));
    EXPECT_EQ(defaultText(dictionary, 0x1008, 0), "Tarnwick test node");
    EXPECT_EQ(dictionary.find(0x1008, 0)->access, Access::Constant);
    EXPECT_EQ(defaultText(dictionary, 0x1018, 2), std::to_string(0x20001));
    EXPECT_EQ(dictionary.find(0x1018, 2)->name, "Product code");
    EXPECT_TRUE(dictionary.find(0x1001, 0)->pdoMapping);
    EXPECT_EQ(defaultText(dictionary, 0x1001, 0), "<none>");
    EXPECT_EQ(dictionary.find(0x1018, 3), nullptr);
    EXPECT_EQ(dictionary.find(0x1018, 0)->name, "Highest sub-index supported");
    EXPECT_EQ(defaultText(readOrFail(fileText("all_types.eds"), 127), 0x1400, 1), std::to_string(0x200 + 127));
    // The other order, and a DCF's own node ID when the caller has none.
    const std::string dcf = withLine(19, "DefaultValue=0x10+$NODEID") + "[DeviceComissioning]\nNodeID=5\n";
    EXPECT_EQ(defaultText(readOrFail(dcf, 0), 0x1018, 0), "21");
}

TEST(EdsReader, BrokenFilesAreRefusedWithTheLine)
{
    struct Case {
        const char *what;
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"object listed, section missing", withLine(6, "2=0x1019"), 6},
        {"bad number", withLine(9, "DataType=0x00Z7"), 9},
        {"cut section line", withLine(11, "[1018"), 11},
        {"cut key line", withLine(10, "AccessTy"), 10},
        {"type no basic type", withLine(17, "DataType=0x0020"), 17},
        {"default too big for its type", withLine(19, "DefaultValue=256"), 19},
        {"bad access", withLine(18, "AccessType=rx"), 18},
        {"fewer sub-entries than SubNumber", withLine(14, "SubNumber=2"), 14},
        {"count beyond the list", withLine(4, "SupportedObjects=3"), 4},
        {"line past inih's buffer", withLine(16, "ParameterName=" + std::string(300, 'x')), 16},
        {"no DeviceInfo", withLine(1, "[Device]"), 0},
    };
    for (const Case &c : cases) {
        const auto result = readEds(c.text, 1);
        const auto *error = std::get_if<ReadError>(&result);
        ASSERT_NE(error, nullptr) << c.what;
        EXPECT_EQ(error->line, c.line) << c.what << ": " << error->text();
    }
    EXPECT_TRUE(std::holds_alternative<ObjectDictionary>(readEds(SMALL_EDS, 1)));
}

TEST(EdsReader, ValuesOutsideTheirTypeOrLimitsAreRefused)
{
    EXPECT_FALSE(parseValue(DataType::Unsigned8, "-1", 0));
    EXPECT_FALSE(parseValue(DataType::Integer8, "128", 0));
    EXPECT_FALSE(parseValue(DataType::Boolean, "2", 0));
    EXPECT_FALSE(parseValue(DataType::Unsigned64, "18446744073709551616", 0));
    EXPECT_FALSE(parseValue(DataType::Real32, "1.5x", 0));
    EXPECT_FALSE(parseValue(DataType::OctetString, "ABC", 0));
    EXPECT_FALSE(parseValue(DataType::Unsigned16, "$NODEID+", 3));

    const ObjectDictionary dictionary = readOrFail(fileText("all_types.eds"), 1);
    const Entry &heartbeat = *dictionary.find(0x1017, 0);
    EXPECT_FALSE(checkLimits(heartbeat, *parseValue(heartbeat.type, "10000", 0)));
    EXPECT_EQ(checkLimits(heartbeat, *parseValue(heartbeat.type, "10001", 0)).value_or(""),
              "above the high limit 10000");
    EXPECT_TRUE(checkLimits(heartbeat, Bytes{1}));
}

TEST(DcfWriter, ValuesReadBackAsParameterValues)
{
    const std::string eds = fileText("all_types.eds");
    const ObjectDictionary dictionary = readOrFail(eds, 12);
    EntryValues values;
    for (const Entry &entry : dictionary.entries)
        if (entry.defaultValue)
            values[{entry.index, entry.subIndex}] = *entry.defaultValue;
    values[{0x1017, 0}] = *parseValue(DataType::Unsigned16, "250", 0);
    values[{0x1001, 0}] = Bytes{0x11};

    const std::string dcf = writeDcf(eds, dictionary, values, 12);
    const ObjectDictionary read = readOrFail(dcf, 0);
    EXPECT_EQ(read.nodeId, 12);
    ASSERT_EQ(read.entries.size(), dictionary.entries.size());
    for (const Entry &entry : read.entries) {
        const auto value = values.find({entry.index, entry.subIndex});
        if (value == values.end()) {
            EXPECT_FALSE(entry.parameterValue) << entry.index;
            continue;
        }
        EXPECT_EQ(entry.parameterValue, value->second) << std::hex << entry.index << ":" << int(entry.subIndex);
    }
    // Written again, the old values and node ID give way to the new.
    values[{0x1017, 0}] = *parseValue(DataType::Unsigned16, "750", 0);
    const std::string rewritten = writeDcf(dcf, read, values, 13);
    const auto count = [&](const std::string &what) {
        size_t n = 0;
        for (size_t at = rewritten.find(what); at != std::string::npos; at = rewritten.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\nParameterValue="), values.size());
    EXPECT_EQ(count("\nNodeID="), 1u);
    const ObjectDictionary again = readOrFail(rewritten, 0);
    EXPECT_EQ(again.nodeId, 13);
    EXPECT_EQ(formatValue(DataType::Unsigned16, *again.find(0x1017, 0)->parameterValue), "750");
}

TEST(SdoAbortText, CodesReadAsCia301Says)
{
    using qelcopn::cia301::sdo::abortMessage;
    EXPECT_EQ(abortMessage(0x06020000), "0x06020000 Object does not exist in the object dictionary");
    EXPECT_EQ(abortMessage(0x06010002), "0x06010002 Attempt to write a read only object");
    EXPECT_EQ(abortMessage(0x12345678), "0x12345678");
}

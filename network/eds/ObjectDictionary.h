// A node's object dictionary as its EDS or DCF file describes it: every
// entry with its CiA 301 data type, access and values as the bytes an SDO
// transfer carries (little-endian), so that what is read from the node and
// what the file says compare and print alike. No Qt, no I/O: the window,
// tarnwick-node and the simulator share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace network::eds {

using Bytes = std::vector<uint8_t>;

// CiA 301's basic data types, by the number an EDS's DataType gives.
enum class DataType : uint16_t {
    Boolean = 0x01,
    Integer8 = 0x02,
    Integer16 = 0x03,
    Integer32 = 0x04,
    Unsigned8 = 0x05,
    Unsigned16 = 0x06,
    Unsigned32 = 0x07,
    Real32 = 0x08,
    VisibleString = 0x09,
    OctetString = 0x0A,
    UnicodeString = 0x0B,
    TimeOfDay = 0x0C,
    TimeDifference = 0x0D,
    Domain = 0x0F,
    Integer24 = 0x10,
    Real64 = 0x11,
    Integer40 = 0x12,
    Integer48 = 0x13,
    Integer56 = 0x14,
    Integer64 = 0x15,
    Unsigned24 = 0x16,
    Unsigned40 = 0x18,
    Unsigned48 = 0x19,
    Unsigned56 = 0x1A,
    Unsigned64 = 0x1B,
};

// False for a number the EDS may not give as DataType.
bool isKnownType(uint16_t number);
// "UNSIGNED32", as CiA 301 spells it.
const char *typeName(DataType type);
// The type named by typeName() (case-insensitive), for `--type`.
std::optional<DataType> typeFromName(std::string_view name);
// The size of a value in bytes; 0 for the strings and the domain, whose
// length is the value's own.
size_t fixedSize(DataType type);

enum class Access { ReadOnly, WriteOnly, ReadWrite, ReadWriteRead, ReadWriteWrite, Constant };
std::optional<Access> accessFromText(std::string_view text);
// "ro", "wo", "rw", "rwr", "rww", "const", as an EDS writes them.
const char *accessText(Access access);
bool readable(Access access);
bool writable(Access access);

// A value given as text in an EDS (or typed by a user) into its bytes: numbers
// in decimal, 0x hex or 0 octal, with `$NODEID+` or `+$NODEID` resolved
// against nodeId; a visible string as it stands; octet and unicode strings
// and domains as hex digits. nullopt for text the type cannot hold.
std::optional<Bytes> parseValue(DataType type, std::string_view text, uint8_t nodeId);
// The bytes as the type says: integers in decimal, reals as numbers, the
// visible string as text, everything else and a value of the wrong length
// as hex bytes ("01 02 0A").
std::string formatValue(DataType type, const Bytes &value);
// Bytes of unknown type, for a read without an EDS.
std::string hexText(const Bytes &value);
// The text without the white space around it, as the file formats take it.
std::string_view trimmed(std::string_view text);

struct Entry {
    uint16_t index = 0;
    uint8_t subIndex = 0;
    // The object's name, and for a sub-entry of an array or record the
    // sub-entry's own.
    std::string name;
    DataType type = DataType::Unsigned8;
    Access access = Access::ReadOnly;
    bool pdoMapping = false;
    std::optional<Bytes> defaultValue;
    // A DCF's ParameterValue: the node's value when the file was written.
    std::optional<Bytes> parameterValue;
    std::optional<Bytes> lowLimit;
    std::optional<Bytes> highLimit;
};

struct ObjectDictionary {
    uint32_t vendorId = 0;
    uint32_t productCode = 0;
    uint32_t revision = 0;
    std::string productName;
    // A DCF's node ID, 0 in an EDS.
    uint8_t nodeId = 0;
    // By index, then sub-index; arrays and records by their sub-entries only.
    std::vector<Entry> entries;

    const Entry *find(uint16_t index, uint8_t subIndex) const;
};

// Why a value is refused for an entry ("above the high limit 100"), or
// nullopt when it may be written.
std::optional<std::string> checkLimits(const Entry &entry, const Bytes &value);

} // namespace network::eds

// The trace formats without a file: every kind of frame through each
// writer and back, formats told by content, foreign writers' variants, and
// damage read up to where it is, counted. (python-can and asc2log read our
// files in test_trace_formats.py.)
#include "trace/BlfFormat.h"
#include "trace/TraceFile.h"
#include "trace/TraceFormat.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <zlib.h>

#include <cstring>
#include <fstream>

using namespace qelcopn::trace;

namespace {

constexpr int64_t kStart = 1796904758123456;

std::vector<TraceRecord> sample()
{
    std::vector<TraceRecord> records;
    for (int i = 0; i < 40; ++i) {
        TraceRecord r;
        r.wallMicros = kStart + i * 731 + (i > 20 ? 2'000'000 : 0);
        r.sent = i % 5 == 2;
        r.frame.id = uint32_t(0x080 + 41 * i) & 0x7FF;
        r.frame.length = uint8_t(i % 9);
        if (i % 10 == 7) {
            r.frame.remote = true; // its DLC kept, no data
        } else {
            for (int k = 0; k < r.frame.length; ++k)
                r.frame.data[k] = uint8_t(i * 7 + k);
        }
        records.push_back(r);
    }
    return records;
}

std::string encode(TraceFormat format, const std::vector<TraceRecord> &records)
{
    const auto encoder = makeEncoder(format, "can0");
    std::string bytes;
    for (const TraceRecord &r : records)
        encoder->add(r, &bytes);
    encoder->finish(&bytes);
    const std::string head = encoder->finalHead();
    bytes.replace(0, head.size(), head);
    return bytes;
}

std::vector<TraceRecord> decode(TraceFormat format, std::string_view bytes, uint64_t *skipped = nullptr)
{
    const auto decoder = makeDecoder(format);
    std::vector<TraceRecord> records;
    decoder->feed(bytes.data(), bytes.size(), &records);
    decoder->finish(&records);
    if (skipped != nullptr)
        *skipped = decoder->skipped();
    return records;
}

bool same(const TraceRecord &a, const TraceRecord &b)
{
    return a.wallMicros == b.wallMicros && a.sent == b.sent && a.frame.id == b.frame.id
        && a.frame.length == b.frame.length && a.frame.remote == b.frame.remote && a.frame.error == b.frame.error
        && std::memcmp(a.frame.data, b.frame.data, 8) == 0;
}

bool logKeepsRemoteLength()
{
    TraceRecord remote;
    remote.frame.remote = true;
    remote.frame.length = 4;
    return formatLine(remote, "can0").find("#R4") != std::string::npos;
}

TraceRecord errorFrame()
{
    TraceRecord e;
    e.wallMicros = kStart + 50;
    e.frame.error = true;
    e.frame.id = 0x008; // CAN_ERR_PROT
    e.frame.length = 8;
    e.frame.data[2] = 0x04; // stuff error
    e.frame.data[3] = 0x0A;
    e.frame.data[6] = 0x60;
    e.frame.data[7] = 0x7F;
    return e;
}

TEST(TraceFormats, EveryFrameComesBackAsWrittenAndEachFormatIsKnownByItsContent)
{
    const std::vector<TraceRecord> written = sample();
    for (TraceFormat format : kTraceFormats) {
        SCOPED_TRACE(formatName(format));
        const std::string bytes = encode(format, written);
        EXPECT_EQ(detectFormat(bytes), format);
        uint64_t skipped = 1;
        const std::vector<TraceRecord> read = decode(format, bytes, &skipped);
        EXPECT_EQ(skipped, 0u);
        ASSERT_EQ(read.size(), written.size());
        for (size_t i = 0; i < read.size(); ++i) {
            TraceRecord expected = written[i];
            // The candump log keeps a remote frame's length where
            // CandumpLine writes it ("123#R4").
            if (format == TraceFormat::Log && expected.frame.remote && !logKeepsRemoteLength())
                expected.frame.length = 0;
            EXPECT_TRUE(same(read[i], expected)) << "frame " << i;
        }
        // Error frames: what each format can say of them.
        const std::vector<TraceRecord> errors = decode(format, encode(format, {errorFrame()}));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].frame.error);
        EXPECT_EQ(errors[0].wallMicros, kStart + 50);
        if (format == TraceFormat::Asc) {
            EXPECT_EQ(errors[0].frame.id, 0x80u); // a bus error, no more
        } else {
            EXPECT_EQ(errors[0].frame.id, 0x008u);
            EXPECT_EQ(errors[0].frame.data[2], 0x04);
            EXPECT_EQ(errors[0].frame.data[7], 0x7F);
        }
    }
    EXPECT_EQ(detectFormat("shopping list\nmilk\neggs\n"), std::nullopt);
    EXPECT_EQ(detectFormat(std::string("\x89PNG\r\n\x1a\n", 8)), std::nullopt);
    EXPECT_EQ(formatOfPath("/tmp/run.d/Trace.BLF"), TraceFormat::Blf);
    EXPECT_EQ(formatOfPath("/tmp/run.asc/trace"), std::nullopt);
}

TEST(TraceFormats, OtherWritersVariantsAreRead)
{
    // CANoe's decimal base and relative times, a remote frame of an old
    // writer without a length, a 24-hour date, lines this bus does not carry.
    const std::vector<TraceRecord> asc =
        decode(TraceFormat::Asc, "date Thu Dec 10 14:12:38.123 2026\r\nbase dec  timestamps relative\r\n"
                                 "Begin Triggerblock Thu Dec 10 14:12:38.123 2026\r\n"
                                 "   0.001000 1  1159            Rx   d 2 17 255  Length = 0 BitCount = 0\r\n"
                                 "   0.000500 1  291             Tx   r\r\n"
                                 "   0.000500 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\r\n"
                                 "   0.000500 CANFD   1 Rx   123  1 0 8  8 00 00 00 00 00 00 00 00\r\n"
                                 "End TriggerBlock\r\n");
    ASSERT_EQ(asc.size(), 2u);
    EXPECT_EQ(asc[0].frame.id, 1159u);
    EXPECT_EQ(asc[0].frame.data[1], 255);
    EXPECT_EQ(asc[1].wallMicros - asc[0].wallMicros, 500);
    EXPECT_TRUE(asc[1].frame.remote && asc[1].sent);
    EXPECT_EQ(asc[1].frame.length, 0);

    // TRC 1.1, as PCAN-Explorer 5 writes it.
    const std::vector<TraceRecord> trc = decode(TraceFormat::Trc, ";$FILEVERSION=1.1\r\n;$STARTTIME=46366.5\r\n"
                                                                  "     1)      1841.1  Rx         0701  1  05\r\n"
                                                                  "     2)      1842.0  Tx         0123  4  RTR\r\n");
    ASSERT_EQ(trc.size(), 2u);
    EXPECT_EQ(trc[1].wallMicros - trc[0].wallMicros, 900);
    EXPECT_TRUE(trc[1].frame.remote && trc[1].sent);
    EXPECT_EQ(trc[1].frame.length, 4);

    // A BLF whose object runs on into the next container, as python-can
    // cuts them, stored uncompressed.
    const std::string ours = encode(TraceFormat::Blf, sample());
    const auto *p = reinterpret_cast<const unsigned char *>(ours.data());
    const uint32_t containerSize = p[152] | p[153] << 8 | p[154] << 16 | uint32_t(p[155]) << 24;
    const uint32_t inflatedSize = p[168] | p[169] << 8 | p[170] << 16 | uint32_t(p[171]) << 24;
    std::string objects(inflatedSize, '\0');
    ASSERT_EQ(decode(TraceFormat::Blf, ours).size(), 40u);
    uLongf length = inflatedSize;
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef *>(objects.data()), &length, p + 176, containerSize - 32), Z_OK);
    auto container = [](std::string_view inner) {
        std::string c = "LOBJ";
        const uint32_t size = 32 + uint32_t(inner.size());
        c += std::string("\x10\0\x01\0", 4);
        for (uint32_t v : {size, 10u})
            for (int k = 0; k < 4; ++k)
                c += char(v >> (8 * k));
        c += std::string(8, '\0');
        for (int k = 0; k < 4; ++k)
            c += char(inner.size() >> (8 * k));
        c += std::string(4, '\0');
        return c + std::string(inner) + std::string(size % 4, '\0');
    };
    const std::string split = ours.substr(0, 144) + container(std::string_view(objects).substr(0, 1001))
        + container(std::string_view(objects).substr(1001));
    const std::vector<TraceRecord> joined = decode(TraceFormat::Blf, split);
    ASSERT_EQ(joined.size(), 40u);
    EXPECT_TRUE(same(joined[20], sample()[20]));
}

TEST(TraceFormats, DamageIsReadUpToWhereItIsAndCounted)
{
    const std::vector<TraceRecord> written = sample();
    const std::string blf = encode(TraceFormat::Blf, written);
    // Cut anywhere: what comes out is the frames before the cut, no more,
    // and a cut inside the frames is said.
    for (size_t cut = 0; cut < blf.size(); cut += 7) {
        uint64_t skipped = 0;
        const std::vector<TraceRecord> read = decode(TraceFormat::Blf, std::string_view(blf).substr(0, cut), &skipped);
        ASSERT_TRUE(read.empty() || read.size() == written.size()) << cut; // one container
        if (cut + 3 >= blf.size())
            break; // only the padding cut off
        EXPECT_GT(skipped, 0u) << cut;
    }
    // Two containers, the first broken three ways: the second still reads.
    std::vector<TraceRecord> many;
    for (int i = 0; i < 6000; ++i)
        many.push_back(written[size_t(i) % written.size()]);
    const std::string two = encode(TraceFormat::Blf, many);
    const std::vector<TraceRecord> whole = decode(TraceFormat::Blf, two);
    ASSERT_EQ(whole.size(), many.size());
    std::string badLength = two, badZlib = two, garbage = two;
    badLength[154] = '\x7F'; // the first container's size past the file
    badZlib[200] ^= 0x55;
    for (int k = 0; k < 64; ++k)
        garbage[160 + k] = 'Z';
    std::string hugeClaim = two; // a container claiming 4 GiB inflated
    hugeClaim[171] = '\xFF';
    for (const std::string *broken : {&badLength, &badZlib, &garbage, &hugeClaim}) {
        uint64_t skipped = 0;
        const std::vector<TraceRecord> read = decode(TraceFormat::Blf, *broken, &skipped);
        EXPECT_GT(skipped, 0u);
        EXPECT_GT(read.size(), 1000u);
        EXPECT_LT(read.size(), many.size());
        EXPECT_TRUE(same(read.back(), many.back()));
    }

    // Text: garbage lines and a last line cut short.
    std::string trc = encode(TraceFormat::Trc, written);
    trc.insert(trc.find("      3 "), "this is no line of a trace\r\n      x   1.0 DT 1 0123 Rx - 8 00\r\n");
    trc.resize(trc.size() - 5);
    uint64_t skipped = 0;
    EXPECT_EQ(decode(TraceFormat::Trc, trc, &skipped).size(), written.size() - 1);
    EXPECT_EQ(skipped, 3u);
    // A start time of more digits than any clock has.
    EXPECT_EQ(decode(TraceFormat::Trc, ";$STARTTIME=46366123456789012345.5\r\n", &skipped).size(), 0u);
    EXPECT_EQ(skipped, 1u);
}

TEST(TraceFiles, AFileAppearsOnlyWhenCompleteAndAnyFormatReadsBack)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("run.trace")).toStdString();
    std::string message;
    {
        const auto abandoned = TraceFileWriter::create(path, TraceFormat::Blf, "can0", &message);
        ASSERT_NE(abandoned, nullptr);
        abandoned->add(sample()[0]);
    }
    EXPECT_FALSE(std::ifstream(path).good());
    EXPECT_FALSE(std::ifstream(path + ".tmp").good());

    const auto writer = TraceFileWriter::create(path, TraceFormat::Blf, "can0", &message);
    for (const TraceRecord &r : sample())
        ASSERT_TRUE(writer->add(r));
    EXPECT_FALSE(std::ifstream(path).good());
    ASSERT_TRUE(writer->commit(&message)) << message;
    const auto reader = TraceFileReader::open(path, &message);
    ASSERT_NE(reader, nullptr) << message;
    EXPECT_EQ(reader->format(), TraceFormat::Blf);
    TraceRecord r;
    size_t frames = 0;
    while (reader->next(&r))
        EXPECT_TRUE(same(r, sample()[frames++]));
    EXPECT_EQ(frames, 40u);

    EXPECT_EQ(TraceFileWriter::create(dir.filePath(QStringLiteral("none/run.asc")).toStdString(), TraceFormat::Asc,
                                      "can0", &message),
              nullptr);
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;
}

} // namespace

// Vector's binary logging format (BLF), as CANoe, CANalyzer and python-can
// read it: a 144-byte file header ("LOGG": sizes, the number of objects, the
// start and stop as local SYSTEMTIMEs with milliseconds), then LOG_CONTAINER
// objects, each zlib-compressed run of up to 128 KiB of objects: CAN_MESSAGE
// for data and remote frames (the remote frame's DLC kept), CAN_ERROR_EXT for
// error frames (SocketCAN's class in its ID, its eight bytes as data, as
// python-can writes it). Each object's time counts in nanoseconds from the
// header's start, which the writer takes as the first frame's millisecond.
//
// Reading is tolerant: an object may run on into the next container, and
// padding after an object is found whether or not a writer put it there. A
// container that does not inflate, an object with an impossible size or
// bytes that are not an object are skipped up to the next object
// signature, each counted as a damaged part.
#pragma once

#include "trace/TraceCodec.h"

namespace qelcopn::trace {

class BlfEncoder : public TraceEncoder {
public:
    // zlib's level: 1 is fastest; the files are read alike at any level.
    explicit BlfEncoder(int level = 1) : level_(level) {}
    void add(const TraceRecord &record, std::string *out) override;
    void finish(std::string *out) override;
    std::string finalHead() const override;

private:
    void writeContainer(std::string *out);

    const int level_;
    bool started_ = false;
    int64_t startMicros_ = 0;
    int64_t stopMicros_ = 0;
    std::string objects_; // not yet compressed
    std::string compressed_;
    uint64_t fileBytes_ = 0;
    uint64_t uncompressedBytes_ = 0;
    uint32_t objectCount_ = 0;
};

class BlfDecoder : public TraceDecoder {
public:
    // No container or object that needs more is genuine.
    static constexpr uint32_t kMaxObject = 16u << 20;

    void feed(const char *data, size_t size, std::vector<TraceRecord> *out) override;
    void finish(std::vector<TraceRecord> *out) override;
    const char *units() const override { return "damaged parts"; }

    // What the file header says, once it has been read.
    bool headerRead() const { return headerRead_; }
    uint32_t objectCount() const { return objectCount_; }

private:
    // A run of objects in buf from pos on: each whole object is handed to
    // take; returns false when the next object is not yet all there.
    struct Stream {
        std::string buf;
        size_t pos = 0;
        bool damaged = false; // inside a stretch already counted
        void compact();
    };
    template <typename Take>
    void walk(Stream *stream, bool atEnd, Take take);
    void takeTopLevel(const unsigned char *object, uint32_t size, std::vector<TraceRecord> *out);
    void takeObject(const unsigned char *object, uint32_t size, std::vector<TraceRecord> *out);

    Stream file_;
    Stream inner_;
    bool headerRead_ = false;
    int64_t startMicros_ = 0;
    uint32_t objectCount_ = 0;
    std::string inflated_;
};

} // namespace qelcopn::trace

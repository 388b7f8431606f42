// One open interface: its port on the bus (in the I/O thread), what it has
// heard of the nodes, its SDO transfers, PDO and EMCY queues. Exports reach
// it from any thread through a shared pointer, so a concurrent close never
// pulls it from under a caller.
#pragma once

#include "library/FrameTaps.h"
#include "protocol/Cia301.h"
#include "protocol/FrameRing.h"
#include "protocol/NodeMonitor.h"
#include "protocol/SdoClient.h"
#include "QEL_COPN.h"
#include "transport/CanBusPort.h"
#include "transport/IoThread.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QTimer;

namespace qelcopn {
struct SdoJob;

// One registered transmit PDO: its FIFO and the counting event that counts
// the queued entries. The count is raised once for a batch of frames rather
// than once a frame: each raise is a system call and a wake of the reader.
class PdoChannel {
public:
    static constexpr size_t kCapacity = 4096;
    // A long batch is told in steps, so that the reader drains the FIFO
    // while it still fills.
    static constexpr uint32_t kRaiseEvery = 64;
    PdoChannel();
    ~PdoChannel();
    // True for the batch's first entry queued here: the caller must then
    // call endBatch() when the batch ends.
    bool push(const CanFrame &frame, int64_t rxMicros);
    // Adds what was queued since the last raise to the event.
    void endBatch();
    bool take(PdoEntry *entry) { return ring_.take(entry); }
    bool hasRoom(size_t entries) const { return ring_.capacity() - ring_.size() >= entries; }
    int32_t event() const { return event_; }
    uint64_t received() const { return ring_.pushed(); }
    uint64_t dropped() const { return ring_.dropped(); }
    std::atomic<uint16_t> timeoutMs{0};

private:
    FrameRing<PdoEntry> ring_{kCapacity};
    uint32_t sequence_ = 0; // the I/O thread's alone
    void raise();
    uint32_t untold_ = 0;   // the I/O thread's alone, as is listed_
    bool listed_ = false;
    int32_t event_;
};

class Interface : public std::enable_shared_from_this<Interface> {
public:
    static constexpr size_t kEmcyCapacity = 4096;
    // Uploads land in a buffer of the library first; this bounds it.
    static constexpr size_t kMaxUpload = 1 << 20;

    Interface(std::shared_ptr<IoThread> io, uint32_t kind, const QString &accessPoint);
    ~Interface();

    uint32_t kind() const { return kind_; }
    const QString &accessPoint() const { return accessPoint_; }

    // In any thread; each waits for the I/O thread where it needs the bus.
    // A failure puts its reason into error.
    CanBusPort::OpenResult open(QString *error);
    void close();
    bool isOnline() const { return online_.load(std::memory_order_acquire); }
    bool setOnline(bool online, QString *error = nullptr);
    bool setBitrate(uint32_t bitsPerSecond, QString *error = nullptr);
    void setNodeId(uint8_t node) { ownNodeId_.store(node, std::memory_order_relaxed); }
    void setSdoTimeout(uint16_t ms) { sdoTimeoutMs_.store(ms, std::memory_order_relaxed); }
    // For a recording (kind 5): how it plays from the next open on.
    void setReplaySettings(const ReplayPlayer::Settings &settings) { replaySettings_ = settings; }
    bool send(const CanFrame &frame);

    enum class NodeOnline { Failed, Online, Offline };
    NodeOnline nodeOnline(uint8_t node);
    // An NMT reset went out to the node (0: to every node); a node that
    // does not announce itself after one is not there, without a probe.
    void noteReset(uint8_t node);
    uint8_t nodeState(uint8_t node) const { return monitor_.state(node); }
    // Every node's state and emergencies as heard (GetNodeTable, GetEmergencies).
    const NodeMonitor &nodeMonitor() const { return monitor_; }

    // Uploads at most capacity bytes into out; false on any failure, with
    // nothing written to out.
    bool sdoUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t *out, size_t capacity, size_t *length,
                   uint16_t timeoutMs = 0);
    bool sdoDownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t *data, size_t length);
    // The abort code that ended this thread's last transfer, 0 after success.
    static uint32_t lastSdoAbortCode();

    bool addPdo(uint8_t node, uint16_t number, uint16_t timeoutMs);
    PdoChannel *pdo(uint8_t node, uint16_t number) const;
    bool takeEmergency(EmcyEntry *entry) { return emcy_.take(entry); }

    // Recording of every frame both ways. startTrace fails with errno set.
    struct TraceState {
        bool recording = false;
        int lastError = 0;
        uint64_t written = 0, lost = 0, bytes = 0;
        std::string path;
    };
    bool startTrace(const std::string &path);
    bool stopTrace();
    TraceState traceState() const;
    // The black box: resizing drops what it kept. saveRecent fails with
    // errno set.
    bool setBlackBoxMinutes(uint32_t minutes);
    bool saveRecent(const std::string &path, uint32_t seconds) const;
    void busStatistics(BusStatistics *out) const;

    void addNode(uint8_t node) { nodesAdded_[node].store(true, std::memory_order_relaxed); }
    void removeNode(uint8_t node) { nodesAdded_[node].store(false, std::memory_order_relaxed); }

private:
    // I/O thread only.
    CanBusPort::OpenResult openPort(QString *error);
    void closePort(uint32_t reason);
    void onFrame(const CanFrame &frame, int64_t rxMicros);
    void onBatchEnd();
    // Every frame the library puts on the bus goes through here.
    bool write(const CanFrame &frame);
    void onLost();
    void startJob(const std::shared_ptr<SdoJob> &job);
    void handleStep(uint8_t node, const SdoClient::Step &step);
    void armSdoTimer();
    void onSdoTimer();
    void pollBusState();
    bool queuesHaveRoom(size_t frames) const;
    std::shared_ptr<SdoJob> uploadJob(uint8_t node, uint16_t index, uint8_t sub, size_t capacity, uint16_t timeoutMs);
    bool postJob(const std::shared_ptr<SdoJob> &job);
    bool runJob(const std::shared_ptr<SdoJob> &job);
    bool probeDue(uint8_t node, int64_t now) const;
    void probe(uint8_t node);
    void probeTogether(const uint8_t *nodes, size_t count);

    std::shared_ptr<IoThread> io_;
    const uint32_t kind_;
    const QString accessPoint_;
    std::unique_ptr<CanBusPort> port_;   // I/O thread
    std::unique_ptr<QTimer> sdoTimer_;   // I/O thread
    std::unique_ptr<QTimer> busStateTimer_; // I/O thread
    std::array<std::shared_ptr<SdoJob>, 128> sdoJobs_; // I/O thread

    std::atomic<bool> online_{false};
    // 0 until SetBaud: the port opens at the rate the interface has.
    std::atomic<uint32_t> bitrate_{0};
    std::atomic<uint8_t> ownNodeId_{127};
    std::atomic<uint16_t> sdoTimeoutMs_{1000};
    ReplayPlayer::Settings replaySettings_; // set before open
    std::atomic<uint64_t> replayLinesSkipped_{0};
    std::array<std::atomic<bool>, 128> nodesAdded_{};
    std::array<std::atomic<int64_t>, 128> probedAt_{}; // µs, 0 = never
    std::array<std::atomic<int64_t>, 128> resetSentAt_{}; // µs, 0 = never
    std::array<std::mutex, 128> sdoNodeLocks_; // one transfer per node at a time

    trace::SessionInfo sessionInfo() const;

    FrameTaps taps_; // fed in the I/O thread
    mutable std::mutex blackBoxMutex_; // the pointer; the box takes care of itself
    std::shared_ptr<trace::BlackBox> blackBox_;
    mutable std::mutex traceMutex_;
    std::unique_ptr<trace::Recorder> recorder_;  // the one running
    std::unique_ptr<trace::Recorder> lastTrace_; // the one stopped last
    NodeMonitor monitor_;
    FrameRing<EmcyEntry> emcy_{kEmcyCapacity};
    mutable std::mutex pdoMutex_; // creation only; lookups go through pdoByCobId_
    std::array<std::array<std::unique_ptr<PdoChannel>, cia301::TPDO_COUNT>, 128> pdos_;
    std::array<std::atomic<PdoChannel *>, cia301::COB_ID_MAX + 1> pdoByCobId_{};
    std::vector<PdoChannel *> untoldPdos_; // I/O thread: raised at the batch's end
};

} // namespace qelcopn

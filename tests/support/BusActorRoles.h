// The parts the robustness tests put on a private virtual bus besides the
// gateway simulator, free of I/O (frames in, frames and event lines out) so
// that the program around them stays a thin shell:
// - ScriptedGateway: a scripted peer with the gateway's identity whose
//   answers to the monitor's own objects (MTU online, fault bitmap, event
//   timer) are aborts, replies for another object, short frames, garbage,
//   endless uploads or nothing at all;
// - EmcyFlood: emergency messages from every node but one, shaped so that
//   any of them taken for the gateway's would change what the monitor shows;
// - BusTap: counts one node's multiplexed PDOs and keeps the last data of
//   each object, so a test knows what was last sent.
#pragma once

#include "protocol/CanFrame.h"
#include "ScriptedPeer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

using SendFrame = ScriptedPeer::Send;
using NoteLine = ScriptedPeer::Note;

class ScriptedGateway {
public:
    // The emergencies it sends when started: MTU online, and these faults.
    static constexpr uint16_t kFaultsReported[][2] = {{5, 3}, {400, 1}};

    // Requests for the monitored objects take the answers in turn, each
    // object counting its own requests; everything else is served well.
    // The first `quietStarts` starts send no emergencies, so that a test
    // knows the monitor has nothing from it yet.
    ScriptedGateway(uint8_t node, std::vector<BadAnswer> answers, NoteLine note, int quietStarts = 0);

    void handle(const qelcopn::CanFrame &frame, const SendFrame &send);
    qelcopn::CanFrame heartbeat() { return peer_.heartbeat(); }
    qelcopn::CanFrame bootUp() { return peer_.bootUp(); }

private:
    void reportState(const SendFrame &send) const;

    const NoteLine note_;
    ScriptedPeer peer_;
    int quietStarts_;
};

class EmcyFlood {
public:
    explicit EmcyFlood(uint8_t sparedNode);
    // The next message: senders take turns over nodes 1 to 127 but the
    // spared one; the contents cycle through MTU offline, MTU online, fault
    // active and fault cleared, the faults running over 1 to 400.
    qelcopn::CanFrame next();

private:
    const uint8_t spared_;
    uint8_t sender_ = 0;
    uint64_t count_ = 0;
};

class BusTap {
public:
    explicit BusTap(uint8_t node);
    // True once the node reported itself stopped after sending PDOs: all it
    // sent before has come through.
    bool handle(const qelcopn::CanFrame &frame);
    uint64_t pdos() const { return pdos_; }
    // Those after the master wrote the event timer (0x1803:5): a master
    // registers the PDO before it writes that, so it has received at least
    // these.
    uint64_t pdosAfterWrite() const { return pdosAfterWrite_; }
    uint64_t emergencies() const { return emergencies_; }
    // "last 0x4200:2 0x000005dc", one per object, by object.
    std::vector<std::string> lastValues() const;

private:
    const uint8_t node_;
    uint64_t pdos_ = 0;
    uint64_t pdosAfterWrite_ = 0;
    bool written_ = false;
    uint64_t emergencies_ = 0;
    std::map<uint32_t, uint32_t> last_; // index << 8 | sub -> data field
};

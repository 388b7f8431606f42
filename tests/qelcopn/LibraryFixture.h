// A library test on a private virtual bus: a peer thread hosts the bus
// and plays node 7 (a ScriptedPeer); the library opens the interface on it.
#pragma once

#include "PeerThread.h"
#include "QEL_COPN.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

constexpr uint8_t kPeerNode = 7;

// Waits for cond without asserting on time: the limit only ends a broken run.
inline bool eventually(const std::function<bool()> &cond, int limitMs = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline HardwareConfiguration hardwareFor(const QString &accessPoint, uint32_t kind = QELCOPN_KIND_VIRTUALCAN)
{
    HardwareConfiguration hw{};
    hw.InterfaceType = kind;
    const QByteArray bytes = accessPoint.toUtf8();
    std::memcpy(hw.AccessPoint, bytes.constData(), size_t(bytes.size()));
    return hw;
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        url = privateBusUrl(freeLocalPort());
        peer = std::make_unique<PeerThread>();
        ASSERT_TRUE(peer->open(url)); // first: the bus server lives in the peer's thread
        // The node answers; everything the library sends is also queued
        // for the test to inspect.
        peer->setResponder([this](qelcopn::CanBusPort &port, const qelcopn::CanFrame &f) {
            node.handle(f, [&port](const qelcopn::CanFrame &out) { return port.write(out); });
            return true;
        });
        ASSERT_NE(LoadDriver(), 0);
        hw = hardwareFor(url);
        ASSERT_NE(OpenInterface(&h, &hw), 0);
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(serverKnowsTheLibrary());
    }

    // The bus server forwards to the library only once it has read the
    // library's registration, which may come after the peer's next frames.
    // A heartbeat of node 127 (no test uses it) sent until the library has
    // heard one shows that it has.
    bool serverKnowsTheLibrary()
    {
        qelcopn::CanFrame beat;
        beat.id = 0x700 + 127;
        beat.length = 1;
        beat.data[0] = 0x7F;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            peer->send(beat);
            uint8_t state = 0;
            if (eventually([&] { return GetNodeState(h, 127, &state) && state == 0x7F; }, 20))
                return true;
        }
        return false;
    }

    void TearDown() override
    {
        CloseInterface(h);
        UnloadDriver();
        peer.reset();
    }

    void sendFromPeer(uint32_t id, std::initializer_list<uint8_t> bytes)
    {
        qelcopn::CanFrame f;
        f.id = id;
        for (uint8_t b : bytes)
            f.data[f.length++] = b;
        ASSERT_TRUE(peer->send(f));
    }

    QString url;
    std::unique_ptr<PeerThread> peer;
    ScriptedPeer node{kPeerNode};
    HardwareConfiguration hw{};
    uint32_t h = 0;
};

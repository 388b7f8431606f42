// Polls the library's emergency queue and hands each message to the
// monitor's decoder; drains a backlog back to back, then idles 10 ms.
#pragma once

#include "Thread.h"

#include <cstdint>

class TThread_Emergency : public TThread {
public:
    explicit TThread_Emergency(bool createSuspended);
    ~TThread_Emergency() override;

    // Owned by the thread: the message just read.
    uint8_t SenderNodeId = 0;
    uint8_t EmcyMessage[18] = {};

    static constexpr uint32_t IDLE_POLL_MS = 10;

protected:
    void Execute() override;

private:
    bool ReadOne();
};

extern TThread_Emergency *EmergencyThread;

// Carries the gateway's multiplexed PDOs from the library to the monitor's
// decoder: every PDO queued on each wake of the library's counting event.
#pragma once

#include "Platform.h"
#include "Thread.h"

#include <atomic>
#include <cstdint>

class TThread_PdoData : public TThread {
public:
    explicit TThread_PdoData(bool createSuspended);
    ~TThread_PdoData() override;

    // Written by the user-interface thread, also while the thread runs;
    // the next pass uses the new values.
    std::atomic<uint8_t> PdoNodeId{0};
    std::atomic<EVENT_HANDLE> PdoEvent{NO_EVENT};

    // Owned by the thread: what the last successful read delivered.
    uint8_t PdoLength = 0;
    uint8_t PdoBytes[256] = {};
    uint32_t RxTime1 = 0;
    uint32_t RxTime2 = 0;

    static constexpr uint32_t EVENT_WAIT_MS = 500;
    // Pause after a pass that found nothing and could not wait (no valid
    // event), so that an idle thread never spins.
    static constexpr uint32_t FAILED_WAIT_PAUSE_MS = 10;

protected:
    void Execute() override;

private:
    bool ReadOne();
};

extern TThread_PdoData *PdoDataThread;

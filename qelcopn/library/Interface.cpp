#include "library/Interface.h"

#include "library/Configuration.h"
#include "Platform.h"
#include "protocol/NodeProbe.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <utility>
#include <vector>

namespace qelcopn {

using namespace cia301;

namespace {

// Each probe holds its node's transfer lock; this many at once keeps a
// thread's held locks within what ThreadSanitizer can follow (64), and a
// survey of 126 nodes at two time-outs.
constexpr size_t kProbesAtOnce = 63;
constexpr int kBusStatePollMs = 500;

} // namespace

// One SDO transfer handed from a calling thread to the I/O thread. The
// library's own buffer takes the upload: the caller's memory is touched
// only by the caller, after the transfer has ended.
struct SdoJob {
    uint8_t node = 0;
    uint16_t index = 0;
    uint8_t sub = 0;
    bool upload = true;
    std::vector<uint8_t> buffer;
    uint8_t download[4] = {};
    size_t downloadLength = 0;
    int64_t timeoutMicros = 0;
    SdoClient client; // I/O thread

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ok = false;
    size_t length = 0;
    uint32_t abortCode = 0;

    void complete(bool success)
    {
        std::lock_guard lock(mutex);
        done = true;
        ok = success;
        length = success ? client.length() : 0;
        abortCode = success ? 0 : client.abortCode();
        finished.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(mutex);
        finished.wait(lock, [this] { return done; });
    }
};

PdoChannel::PdoChannel()
    : event_(CreateCountingEvent())
{
}

PdoChannel::~PdoChannel()
{
    CloseHandle(event_);
}

bool PdoChannel::push(const CanFrame &frame, int64_t rxMicros)
{
    PdoEntry entry;
    entry.length = std::min<uint8_t>(frame.length, 8);
    std::memcpy(entry.data, frame.data, sizeof entry.data);
    entry.sequence = ++sequence_;
    entry.time = uint32_t(rxMicros);
    // When the oldest entry made room, the count of queued entries stayed
    // the same: nothing is added, so the event always counts what is queued
    // (once raised). An entry is told only after it is queued, so a wake
    // always finds one.
    if (!ring_.push(entry))
        return false;
    if (++untold_ >= kRaiseEvery)
        raise();
    return !std::exchange(listed_, true);
}

void PdoChannel::raise()
{
    ReleaseSemaphore(event_, untold_);
    untold_ = 0;
}

void PdoChannel::endBatch()
{
    raise();
    listed_ = false;
}

Interface::Interface(std::shared_ptr<IoThread> io, uint32_t kind, const QString &accessPoint)
    : io_(std::move(io))
    , kind_(kind)
    , accessPoint_(accessPoint)
    , blackBox_(std::make_shared<trace::BlackBox>(trace::BlackBox::kDefaultMinutes))
{
    taps_.setBlackBox(blackBox_.get());
}

Interface::~Interface() = default;

CanBusPort::OpenResult Interface::open(QString *error)
{
    return io_->call([this, error] { return openPort(error); }, CanBusPort::OpenResult::NoSuchInterface);
}

void Interface::close()
{
    io_->call([this] {
        closePort(sdo::ABORT_GENERAL);
        busStateTimer_.reset();
        port_.reset();
        sdoTimer_.reset();
        return true;
    }, false);
    stopTrace();
}

bool Interface::startTrace(const std::string &path)
{
    std::lock_guard lock(traceMutex_);
    if (recorder_) {
        errno = EBUSY;
        return false;
    }
    std::unique_ptr<trace::Recorder> recorder = trace::Recorder::start(path, sessionInfo());
    if (!recorder)
        return false;
    trace::Recorder *raw = recorder.get();
    if (!io_->call([this, raw] { taps_.setRecorder(raw); return true; }, false)) {
        recorder->stop();
        errno = ENXIO;
        return false;
    }
    recorder_ = std::move(recorder);
    return true;
}

trace::SessionInfo Interface::sessionInfo() const
{
    trace::SessionInfo info;
    info.interfaceKind = kind_;
    char name[256] = {};
    if (configuration::interfaceName(kind_, name))
        info.interfaceName = name;
    info.accessPoint = accessPoint_.toStdString();
    info.bitrate = bitrate_.load();
    info.ownNodeId = ownNodeId_.load();
    return info;
}

bool Interface::setBlackBoxMinutes(uint32_t minutes)
{
    std::lock_guard lock(blackBoxMutex_);
    if (trace::BlackBox::minutesOrDefault(minutes) == blackBox_->minutes())
        return true;
    auto box = std::make_shared<trace::BlackBox>(minutes);
    // Once the I/O thread has let go of the old box, only savers still
    // holding it keep it alive.
    if (!io_->call([this, raw = box.get()] { taps_.setBlackBox(raw); return true; }, false)) {
        errno = ENXIO;
        return false;
    }
    blackBox_ = std::move(box);
    return true;
}

bool Interface::saveRecent(const std::string &path, uint32_t seconds) const
{
    std::shared_ptr<const trace::BlackBox> box;
    {
        std::lock_guard lock(blackBoxMutex_);
        box = blackBox_;
    }
    return box->save(path, seconds, sessionInfo(), MonotonicMicros());
}

bool Interface::stopTrace()
{
    std::lock_guard lock(traceMutex_);
    if (!recorder_)
        return false;
    // Once the I/O thread has let go, nothing adds to the queue any more.
    io_->call([this] { taps_.setRecorder(nullptr); return true; }, false);
    recorder_->stop();
    lastTrace_ = std::move(recorder_);
    return true;
}

Interface::TraceState Interface::traceState() const
{
    std::lock_guard lock(traceMutex_);
    TraceState state;
    const trace::Recorder *recorder = recorder_ ? recorder_.get() : lastTrace_.get();
    if (!recorder)
        return state;
    state.recording = recorder_ != nullptr;
    state.lastError = recorder->lastError();
    state.written = recorder->framesWritten();
    state.lost = recorder->framesLost();
    state.bytes = recorder->bytesWritten();
    state.path = recorder->path();
    return state;
}

bool Interface::setOnline(bool online, QString *error)
{
    return io_->call([this, online, error] {
        if (!port_)
            return false;
        if (!online) {
            closePort(sdo::ABORT_GENERAL);
            return true;
        }
        // After a loss of the bus, or for an adapter that waited for its
        // rate, going online connects.
        if (!port_->isOpen()) {
            const CanBusPort::OpenResult opened = openPort(error);
            if (opened == CanBusPort::OpenResult::AwaitingRate && error != nullptr)
                *error = QStringLiteral("no bit rate set (SetBaud): the adapter joins the bus only at a known rate");
            if (opened != CanBusPort::OpenResult::Ok)
                return false;
        }
        online_.store(true, std::memory_order_release);
        port_->startReceiving();
        return true;
    }, false);
}

bool Interface::setBitrate(uint32_t bitsPerSecond, QString *error)
{
    bitrate_.store(bitsPerSecond, std::memory_order_relaxed);
    return io_->call([this, bitsPerSecond, error] {
        // A closed port takes the rate when it opens.
        return !port_ || !port_->isOpen() || port_->setBitrate(bitsPerSecond, error);
    }, false);
}

bool Interface::send(const CanFrame &frame)
{
    if (!isOnline())
        return false;
    return io_->call([this, frame] { return online_.load() && port_ && write(frame); }, false);
}

Interface::NodeOnline Interface::nodeOnline(uint8_t node)
{
    if (!isOnline() || !isNodeId(node))
        return NodeOnline::Failed;
    if (monitor_.online(node, MonotonicMicros()))
        return NodeOnline::Online;
    if (probeDue(node, MonotonicMicros())) {
        probe(node);
        if (!isOnline())
            return NodeOnline::Failed;
    }
    return monitor_.online(node, MonotonicMicros()) ? NodeOnline::Online : NodeOnline::Offline;
}

bool Interface::probeDue(uint8_t node, int64_t now) const
{
    return nodeprobe::due(monitor_.heardOf(node), probedAt_[node].load(), resetSentAt_[node].load(), now);
}

void Interface::probe(uint8_t node)
{
    // The first probe asks every node never asked before, many at a time: a
    // survey asks them all in turn, and each silent one would cost a time-out.
    const int64_t now = MonotonicMicros();
    const bool batch = probedAt_[node].load() == 0;
    std::vector<uint8_t> nodes;
    for (uint8_t n = NODE_ID_MIN; n <= NODE_ID_MAX; ++n)
        if (n == node || (batch && n != ownNodeId_.load() && probedAt_[n].load() == 0 && probeDue(n, now)))
            nodes.push_back(n);
    for (size_t first = 0; first < nodes.size(); first += kProbesAtOnce)
        probeTogether(&nodes[first], std::min(kProbesAtOnce, nodes.size() - first));
}

void Interface::probeTogether(const uint8_t *nodes, size_t count)
{
    const int64_t now = MonotonicMicros();
    std::vector<std::shared_ptr<SdoJob>> jobs;
    std::vector<std::unique_lock<std::mutex>> locks;
    for (size_t k = 0; k < count; ++k) {
        // A node in a transfer already shows by that transfer whether it is there.
        std::unique_lock lock(sdoNodeLocks_[nodes[k]], std::try_to_lock);
        if (!lock.owns_lock())
            continue;
        probedAt_[nodes[k]].store(now);
        jobs.push_back(uploadJob(nodes[k], 0x1000, 0, 4, 0));
        locks.push_back(std::move(lock));
    }
    const int64_t timeout = nodeprobe::timeoutMicros(bitrate_.load(), sdoTimeoutMs_.load(), jobs.size());
    std::vector<std::shared_ptr<SdoJob>> posted;
    for (std::shared_ptr<SdoJob> &job : jobs) {
        job->timeoutMicros = timeout;
        if (postJob(job))
            posted.push_back(job);
    }
    // Any answer, an abort included, shows that the node is there.
    for (const std::shared_ptr<SdoJob> &job : posted)
        job->wait();
}

void Interface::noteReset(uint8_t node)
{
    const int64_t now = MonotonicMicros();
    if (node != 0) {
        resetSentAt_[node & 0x7F].store(now);
        return;
    }
    for (std::atomic<int64_t> &sentAt : resetSentAt_)
        sentAt.store(now);
}

bool Interface::sdoUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t *out, size_t capacity, size_t *length,
                          uint16_t timeoutMs)
{
    if (!isNodeId(node) || out == nullptr || length == nullptr)
        return false;
    std::lock_guard serial(sdoNodeLocks_[node]);
    const std::shared_ptr<SdoJob> job = uploadJob(node, index, sub, capacity, timeoutMs);
    if (!runJob(job))
        return false;
    std::memcpy(out, job->buffer.data(), job->length);
    *length = job->length;
    return true;
}

bool Interface::sdoDownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t *data, size_t length)
{
    if (!isNodeId(node) || data == nullptr || length < 1 || length > 4)
        return false;
    std::lock_guard serial(sdoNodeLocks_[node]);
    auto job = std::make_shared<SdoJob>();
    job->node = node;
    job->index = index;
    job->sub = sub;
    job->upload = false;
    std::memcpy(job->download, data, length);
    job->downloadLength = length;
    job->timeoutMicros = int64_t(sdoTimeoutMs_.load()) * 1000;
    return runJob(job);
}

std::shared_ptr<SdoJob> Interface::uploadJob(uint8_t node, uint16_t index, uint8_t sub, size_t capacity,
                                             uint16_t timeoutMs)
{
    auto job = std::make_shared<SdoJob>();
    job->node = node;
    job->index = index;
    job->sub = sub;
    job->upload = true;
    job->buffer.resize(std::min(capacity, kMaxUpload));
    job->timeoutMicros = int64_t(timeoutMs != 0 ? timeoutMs : sdoTimeoutMs_.load()) * 1000;
    return job;
}

bool Interface::postJob(const std::shared_ptr<SdoJob> &job)
{
    return isOnline() && io_->post([self = shared_from_this(), job] { self->startJob(job); });
}

namespace {
// Per calling thread, as errno is: two threads' transfers never mix.
thread_local uint32_t lastSdoAbort = 0;
} // namespace

uint32_t Interface::lastSdoAbortCode()
{
    return lastSdoAbort;
}

bool Interface::runJob(const std::shared_ptr<SdoJob> &job)
{
    lastSdoAbort = 0;
    if (!postJob(job))
        return false;
    // The I/O thread always ends the job: answer, abort, time-out, loss of
    // the bus, going offline or closing.
    job->wait();
    lastSdoAbort = job->abortCode;
    return job->ok;
}

void Interface::busStatistics(BusStatistics *out) const
{
    const uint32_t rate = bitrate_.load();
    const BusCounter::Figures f = taps_.bus.figures(MonotonicMicros(), rate);
    *out = BusStatistics{};
    out->State = isOnline() ? uint32_t(f.state) : QELCOPN_BUS_OFFLINE;
    out->FramesPerSecondReceived = f.receivedPerSecond;
    out->FramesPerSecondSent = f.sentPerSecond;
    out->LoadPermille = f.loadPermille;
    out->BitRate = rate;
    out->LastErrorClass = f.lastErrorClass;
    out->SilentMs = f.silentMicros < 0 ? QELCOPN_NEVER_HEARD
                                       : uint32_t(std::min<int64_t>(f.silentMicros / 1000, QELCOPN_NEVER_HEARD - 1));
    out->FramesReceived = f.received;
    out->FramesSent = f.sent;
    out->ErrorFrames = f.errorFrames;
    out->LinesSkipped = uint32_t(std::min<uint64_t>(replayLinesSkipped_.load(), UINT32_MAX));
    {
        std::lock_guard lock(pdoMutex_);
        for (const auto &node : pdos_)
            for (const std::unique_ptr<PdoChannel> &channel : node)
                if (channel)
                    out->PdoFramesLost += channel->dropped();
    }
    out->EmcyFramesLost = emcy_.dropped();
    out->RecordingFramesLost = traceState().lost;
    out->FramesLost = out->PdoFramesLost + out->EmcyFramesLost + out->RecordingFramesLost;
}

bool Interface::addPdo(uint8_t node, uint16_t number, uint16_t timeoutMs)
{
    if (!isNodeId(node) || number >= TPDO_COUNT)
        return false;
    std::lock_guard lock(pdoMutex_);
    std::unique_ptr<PdoChannel> &channel = pdos_[node][number];
    if (!channel) {
        channel = std::make_unique<PdoChannel>();
        if (channel->event() <= 0) {
            channel.reset();
            return false;
        }
    }
    channel->timeoutMs.store(timeoutMs, std::memory_order_relaxed);
    pdoByCobId_[tpdoCobId(number, node)].store(channel.get(), std::memory_order_release);
    return true;
}

PdoChannel *Interface::pdo(uint8_t node, uint16_t number) const
{
    if (!isNodeId(node) || number >= TPDO_COUNT)
        return nullptr;
    return pdoByCobId_[tpdoCobId(number, node)].load(std::memory_order_acquire);
}

// ---- I/O thread ----

CanBusPort::OpenResult Interface::openPort(QString *error)
{
    if (!port_) {
        port_ = std::make_unique<CanBusPort>();
        port_->setFrameHandler([this](const CanFrame &frame, int64_t rx) { onFrame(frame, rx); });
        port_->setLostHandler([this] { onLost(); });
        port_->setBatchEndHandler([this] { onBatchEnd(); });
        sdoTimer_ = std::make_unique<QTimer>();
        sdoTimer_->setSingleShot(true);
        sdoTimer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(sdoTimer_.get(), &QTimer::timeout, [this] { onSdoTimer(); });
        // Devices that tell their bus state are asked now and then; the
        // others tell it through error frames.
        busStateTimer_ = std::make_unique<QTimer>();
        busStateTimer_->start(kBusStatePollMs);
        QObject::connect(busStateTimer_.get(), &QTimer::timeout, [this] { pollBusState(); });
        port_->setErrorFramesWanted(true);
        port_->setReplaySettings(replaySettings_,
                                 {[this](uint64_t lines) { replayLinesSkipped_.store(lines); },
                                  [this] { return queuesHaveRoom(ReplayPlayer::kBatch); }});
    }
    return port_->open(kind_, accessPoint_, bitrate_.load(), error);
}

bool Interface::queuesHaveRoom(size_t frames) const
{
    if (emcy_.capacity() - emcy_.size() < frames)
        return false;
    std::lock_guard lock(pdoMutex_);
    for (const auto &node : pdos_)
        for (const std::unique_ptr<PdoChannel> &channel : node)
            if (channel && !channel->hasRoom(frames))
                return false;
    return true;
}

void Interface::pollBusState()
{
    const int state = port_ ? port_->busState() : -1;
    if (state >= 0)
        taps_.bus.setState(BusCounter::State(state));
}

void Interface::closePort(uint32_t reason)
{
    online_.store(false, std::memory_order_release);
    for (std::shared_ptr<SdoJob> &job : sdoJobs_) {
        if (!job)
            continue;
        job->client.cancel(reason);
        job->complete(false);
        job.reset();
    }
    if (sdoTimer_)
        sdoTimer_->stop();
    if (port_)
        port_->close();
}

void Interface::onLost()
{
    // Calls that need the bus fail from now on; SetOnline(1) reconnects.
    closePort(sdo::ABORT_GENERAL);
}

bool Interface::write(const CanFrame &frame)
{
    if (!port_->write(frame))
        return false;
    taps_.onSent(frame, MonotonicMicros());
    return true;
}

void Interface::onFrame(const CanFrame &frame, int64_t rxMicros)
{
    taps_.onReceived(frame, rxMicros);
    if (frame.error || frame.id > COB_ID_MAX)
        return;
    monitor_.onFrame(frame, rxMicros);
    if (frame.remote)
        return;
    if (PdoChannel *channel = pdoByCobId_[frame.id].load(std::memory_order_acquire)) {
        if (channel->push(frame, rxMicros))
            untoldPdos_.push_back(channel);
        return;
    }
    const uint8_t node = nodeOf(frame.id);
    if (!isNodeId(node))
        return;
    const uint32_t function = functionOf(frame.id);
    if (function == COB_EMCY) {
        EmcyEntry entry;
        entry.node = node;
        std::memcpy(entry.data, frame.data, sizeof entry.data);
        entry.time = uint32_t(rxMicros);
        emcy_.push(entry);
    } else if (function == COB_SDO_TX && sdoJobs_[node]) {
        handleStep(node, sdoJobs_[node]->client.onFrame(frame, rxMicros));
    }
}

void Interface::onBatchEnd()
{
    for (PdoChannel *channel : untoldPdos_)
        channel->endBatch();
    untoldPdos_.clear();
}

void Interface::startJob(const std::shared_ptr<SdoJob> &job)
{
    if (!online_.load() || !port_ || !port_->isOpen() || sdoJobs_[job->node]) {
        job->complete(false);
        return;
    }
    sdoJobs_[job->node] = job;
    const int64_t now = MonotonicMicros();
    const SdoClient::Step step = job->upload
        ? job->client.startUpload(job->node, job->index, job->sub, job->buffer.data(), job->buffer.size(), now,
                                  job->timeoutMicros)
        : job->client.startDownload(job->node, job->index, job->sub, job->download, job->downloadLength, now,
                                    job->timeoutMicros);
    handleStep(job->node, step);
}

void Interface::handleStep(uint8_t node, const SdoClient::Step &step)
{
    std::shared_ptr<SdoJob> job = sdoJobs_[node];
    if (!job)
        return;
    SdoClient::Status status = step.status;
    if (step.send && !write(step.frame) && status == SdoClient::Status::Running) {
        job->client.cancel(sdo::ABORT_GENERAL);
        status = SdoClient::Status::Failed;
    }
    if (status != SdoClient::Status::Running) {
        sdoJobs_[node].reset();
        job->complete(status == SdoClient::Status::Done);
    }
    armSdoTimer();
}

void Interface::armSdoTimer()
{
    int64_t nearest = INT64_MAX;
    for (const std::shared_ptr<SdoJob> &job : sdoJobs_)
        if (job && job->client.running())
            nearest = std::min(nearest, job->client.deadline());
    if (nearest == INT64_MAX) {
        sdoTimer_->stop();
        return;
    }
    const int64_t waitMicros = std::max<int64_t>(0, nearest - MonotonicMicros());
    sdoTimer_->start(int((waitMicros + 999) / 1000));
}

void Interface::onSdoTimer()
{
    const int64_t now = MonotonicMicros();
    for (uint8_t node = NODE_ID_MIN; node <= NODE_ID_MAX; ++node)
        if (sdoJobs_[node])
            handleStep(node, sdoJobs_[node]->client.onTime(now));
    armSdoTimer();
}

} // namespace qelcopn

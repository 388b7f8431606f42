#include "BlackBoxControl.h"

#include "Dialogs.h"
#include "FormSize.h"
#include "HistoryTab.h"
#include "Main.h"
#include "Platform.h"
#include "QEL_COPN_Interface.h"
#include "RecordingSession.h"
#include "RecordingStatus.h"
#include "SaveLastMinutesDialog.h"
#include "TForm_MTU.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <cerrno>
#include <map>

namespace {

const QString AUTOMATIC_KEY = QStringLiteral("BlackBox/Automatic");
const QString MONITOR_LABEL_NAME = QStringLiteral("BlackBoxStatus");
const QString LOG_SUFFIX = QStringLiteral(".log");

// The application's choices live beside its window positions.
QSettings ApplicationSettings()
{
    return QSettings(FORM_INI, QSettings::IniFormat);
}

int KeptMinutes()
{
    // As the library takes them: the default when the configuration names none.
    return int(QELCOPN_BlackBoxMinutesOrDefault(
        CopnInterface != nullptr ? QELCOPN_GetBlackBoxMinutes(&CopnInterface->CANopenConfiguration) : 0));
}

} // namespace

TBlackBoxControl::TBlackBoxControl(TMainForm *form, QMenu *menu, QAction *saveLastMinutes)
    : QObject(form), SaveLastMinutes(saveLastMinutes), form_(form)
{
    AutomaticBlackBox = new QAction(QStringLiteral("Automatic Black Box"), menu);
    AutomaticBlackBox->setCheckable(true);
    AutomaticBlackBox->setChecked(ApplicationSettings().value(AUTOMATIC_KEY, true).toBool());
    AutomaticBlackBox->setStatusTip(
        QStringLiteral("Save the minutes around a fault or the MTU going offline into the black-box folder"));
    // Right after "Save Last Minutes...".
    const QList<QAction *> items = menu->actions();
    const qsizetype after = items.indexOf(saveLastMinutes) + 1;
    menu->insertAction(after > 0 && after < items.size() ? items[after] : nullptr, AutomaticBlackBox);

    const auto guarded = [this](void (TBlackBoxControl::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(SaveLastMinutes, &QAction::triggered, this, guarded(&TBlackBoxControl::SaveLastMinutesClick));
    connect(AutomaticBlackBox, &QAction::triggered, this, guarded(&TBlackBoxControl::AutomaticBlackBoxClick));
    captureEnd_.setSingleShot(true);
    connect(&captureEnd_, &QTimer::timeout, this, guarded(&TBlackBoxControl::SaveCapture));
    statusHide_.setSingleShot(true);
    connect(&statusHide_, &QTimer::timeout, this, [this] { ShowSaved(QString()); });
    mainStatus_ = StatusLabelIn(form->StatusLine, QStringLiteral("BlackBoxStatusLine"));
}

TBlackBoxControl::~TBlackBoxControl()
{
    for (Save &save : saves_)
        save.thread.join();
}

void TBlackBoxControl::WatchMonitor(TForm_MTU *monitor)
{
    if (monitor != nullptr && monitor->TabSheet_History != nullptr)
        connect(monitor->TabSheet_History, &THistoryTab::EventsTaken, this, &TBlackBoxControl::NoteEvents,
                Qt::UniqueConnection);
}

void TBlackBoxControl::SetCaptureSpans(int beforeSeconds, int afterMs)
{
    beforeSeconds_ = beforeSeconds;
    afterMs_ = afterMs;
}

void TBlackBoxControl::UpdateActions(bool networkAccessOn)
{
    SaveLastMinutes->setEnabled(networkAccessOn);
}

void TBlackBoxControl::AutomaticBlackBoxClick()
{
    ApplicationSettings().setValue(AUTOMATIC_KEY, AutomaticBlackBox->isChecked());
}

void TBlackBoxControl::NoteEvents(const std::vector<THistoryEntry> &events)
{
    for (const THistoryEntry &event : events) {
        if (event.Kind == THistoryKind::FaultActive)
            NoteEvent(QStringLiteral("fault-%1").arg(event.FaultCode));
        else if (event.Kind == THistoryKind::MtuOffline)
            NoteEvent(QStringLiteral("mtu-offline"));
    }
}

void TBlackBoxControl::NoteEvent(const QString &what)
{
    if (!AutomaticBlackBox->isChecked() || CopnInterface == nullptr)
        return;
    const qint64 now = MonotonicMicros() / 1000;
    if (!pending_) {
        const QString folder = BlackBoxFolder();
        if (!QDir().mkpath(folder)) {
            ReportFailure(QStringLiteral("Cannot Create Folder"), folder, uint32_t(errno));
            return;
        }
        pending_ = Capture{UnusedCapturePath(folder, what), now - qint64(beforeSeconds_) * 1000};
        // From the first event, not the latest: a fault that keeps coming
        // still gives a capture a minute, and the first one keeps the
        // lead-up before the ring wraps over it.
        captureEnd_.start(afterMs_);
    }
}

QString TBlackBoxControl::UnusedCapturePath(const QString &folder, const QString &what) const
{
    // Captures a span apart may start within one second of the clock: the
    // later one must not overwrite the earlier.
    const QString proposed = folder + QLatin1Char('/') + ProposedRecordingName(QDateTime::currentDateTime(), what);
    const auto taken = [this](const QString &path) {
        return path == lastSaved_ || QFileInfo::exists(path)
            || std::any_of(saves_.begin(), saves_.end(), [&](const Save &save) { return save.path == path; });
    };
    QString path = proposed;
    for (int n = 2; taken(path); ++n)
        path = proposed.chopped(LOG_SUFFIX.size()) + QStringLiteral("-%1").arg(n) + LOG_SUFFIX;
    return path;
}

void TBlackBoxControl::SaveCapture()
{
    if (!pending_)
        return;
    const Capture capture = *pending_;
    pending_.reset();
    captureEnd_.stop();
    const qint64 spanMs = MonotonicMicros() / 1000 - capture.startMs;
    SaveInBackground(capture.path, uint32_t(std::max<qint64>(1, (spanMs + 999) / 1000)), true);
}

void TBlackBoxControl::SaveLastMinutesClick()
{
    if (CopnInterface == nullptr)
        return;
    const QString folder = BlackBoxFolder();
    // The folder is only proposed: a failure to make it matters only if
    // the user keeps it.
    QDir().mkpath(folder);
    const std::optional<TSaveLastMinutesChoice> choice = TSaveLastMinutesDialog::Ask(
        KeptMinutes(), folder + QLatin1Char('/') + ProposedRecordingName(QDateTime::currentDateTime(), QStringLiteral("saved")),
        form_);
    if (!choice)
        return;
    // The session file goes beside NAME.log: the name keeps its suffix.
    const QString path = WithRecordingSuffix(choice->Path);
    // A manual save is reported every time it fails.
    failureReported_ = false;
    SaveInBackground(path, uint32_t(choice->Minutes) * 60, false);
}

void TBlackBoxControl::SaveInBackground(const QString &path, uint32_t seconds, bool automatic)
{
    // The worker touches nothing of the binding but the export itself.
    const auto save = CopnInterface != nullptr ? CopnInterface->pfnTrace_SaveRecent : nullptr;
    const uint32_t handle = CopnInterface != nullptr ? CopnInterface->InterfaceHandle : 0;
    if (save == nullptr) {
        Saved(path, uint32_t(ENOSYS), automatic);
        return;
    }
    Save &entry = saves_.emplace_back();
    entry.path = path;
    entry.automatic = automatic;
    entry.thread = std::thread([this, &entry, save, handle, seconds] {
        entry.error = save(handle, QFile::encodeName(entry.path).constData(), seconds) != 0 ? 0 : GetLastError();
        entry.done.store(true, std::memory_order_release);
        // By name, not with a functor: nothing of ours travels through Qt's
        // queue, whose locking ThreadSanitizer cannot see. The join orders
        // the result for it and for the reader alike.
        QMetaObject::invokeMethod(this, "TakeFinishedSaves", Qt::QueuedConnection);
    });
}

void TBlackBoxControl::TakeFinishedSaves()
{
    // From the front each time: Saved may show a box, whose event loop may
    // take the others meanwhile. Gone already when Finish waited for them.
    for (;;) {
        const auto finished = std::find_if(saves_.begin(), saves_.end(),
                                           [](const Save &save) { return save.done.load(std::memory_order_acquire); });
        if (finished == saves_.end())
            return;
        EndSave(finished);
    }
}

void TBlackBoxControl::EndSave(std::list<Save>::iterator save)
{
    save->thread.join();
    const QString path = save->path;
    const uint32_t error = save->error;
    const bool automatic = save->automatic;
    saves_.erase(save);
    Saved(path, error, automatic);
}

void TBlackBoxControl::Saved(const QString &path, uint32_t error, bool automatic)
{
    if (error != 0) {
        ReportFailure(QString::fromLatin1(automatic ? "Cannot Save Black Box" : "Cannot Save Last Minutes"), path, error);
        emit SaveEnded(QString());
        return;
    }
    failureReported_ = false;
    lastSaved_ = path;
    if (automatic)
        PruneFolder(path);
    ShowSaved(path);
    emit SaveEnded(path);
}

void TBlackBoxControl::Finish()
{
    SaveCapture();
    // Each outcome is told as any save's is: a failure shown, the folder
    // pruned, the end announced.
    while (!saves_.empty())
        EndSave(saves_.begin());
}

void TBlackBoxControl::ReportFailure(const QString &text, const QString &subject, uint32_t code)
{
    // Once until a save succeeds again: a full disk is not news at every fault.
    if (failureReported_)
        return;
    failureReported_ = true;
    ShowFileError(text, subject, code);
}

void TBlackBoxControl::ShowSaved(const QString &path)
{
    const QString text = path.isEmpty() ? QString() : QStringLiteral("Black box: %1").arg(RecordingDisplayName(path));
    ShowStatusText({mainStatus_, Form_MTU != nullptr ? StatusLabelIn(Form_MTU->StatusBar1, MONITOR_LABEL_NAME) : nullptr},
                   text);
    if (!text.isEmpty())
        statusHide_.start(STATUS_SHOWN_MS);
}

void TBlackBoxControl::PruneFolder(const QString &keep) const
{
    // A capture is its .log and .json: they go together, oldest first.
    QDir folder(QFileInfo(keep).absolutePath());
    std::map<QString, std::pair<QDateTime, qint64>> captures;
    for (const QFileInfo &file : folder.entryInfoList({"*.log", "*.json"}, QDir::Files)) {
        auto &[modified, bytes] = captures[file.completeBaseName()];
        modified = std::max(modified, file.lastModified());
        bytes += file.size();
    }
    qint64 total = 0;
    std::vector<std::pair<QDateTime, QString>> byAge;
    for (const auto &[name, figures] : captures) {
        total += figures.second;
        byAge.emplace_back(figures.first, name);
    }
    std::sort(byAge.begin(), byAge.end());
    const QString kept = QFileInfo(keep).completeBaseName();
    for (const auto &[modified, name] : byAge) {
        if (total <= folderCap_)
            break;
        if (name == kept)
            continue;
        total -= captures[name].second;
        folder.remove(name + LOG_SUFFIX);
        folder.remove(name + QStringLiteral(".json"));
    }
}

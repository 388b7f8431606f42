#include "NetworkWindow.h"

#include "CsvFile.h"
#include "OverrideCursor.h"
#include "QEL_COPN_Interface.h"
#include "protocol/Cia301.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace network {

namespace {

constexpr int TICK_MS = 100;
constexpr int CELL_PADDING = 18;
// The widest text each column shows in practice, beside its header.
const char *const NODE_SAMPLES[NodeTableModel::COLUMNS] = {
    "127", "Pre-operational", "65535 ms", "9999.9 s", "0xFFFFFFFF", "4294967295", "65535.65535",
    "4294967295", "MTU Engine Gateway 1101", "99999", "0x8130"};
const char *const EMERGENCY_SAMPLES[EmergencyListModel::COLUMNS] = {
    "2026-12-10 14:15:00.000", "127", "0x8130", "0x91 Generic, Communication, Manufacturer", "00 00 00 00 00",
    "Monitoring: communication: life guard or heartbeat error"};

void sizeView(QTableView *view, const char *const *headers, const char *const *samples, int columns)
{
    const QFontMetrics cells(view->font());
    const QFontMetrics header(view->horizontalHeader()->font());
    for (int c = 0; c < columns; ++c) {
        const int width = std::max(cells.horizontalAdvance(QString::fromLatin1(samples[c])),
                                   header.horizontalAdvance(QString::fromLatin1(headers[c])));
        view->setColumnWidth(c, width + CELL_PADDING);
    }
    // Fixed heights let the view place a row without asking every other one.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(cells.height() + 6);
}

QTableView *newView(QAbstractItemModel *model, const QString &name, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setModel(model);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->setAccessibleName(name);
    return view;
}

} // namespace

const char *NetworkWindow::actionText(NodeAction action)
{
    switch (action) {
    case NodeAction::Objects: return "Objects...";
    case NodeAction::ReadIdentity: return "Read Identity";
    case NodeAction::Start: return "Start";
    case NodeAction::Stop: return "Stop";
    case NodeAction::PreOperational: return "Pre-operational";
    case NodeAction::ResetNode: return "Reset Node";
    case NodeAction::ResetCommunication: return "Reset Communication";
    }
    return "";
}

NetworkWindow::NetworkWindow(Hooks hooks, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , hooks_(std::move(hooks))
{
    records_.resize(QELCOPN_EMERGENCY_LOG_SIZE);
    taken_.reserve(QELCOPN_EMERGENCY_LOG_SIZE);
    createComponents();
    tick_.setInterval(TICK_MS);
    connect(&tick_, &QTimer::timeout, this, &NetworkWindow::refresh);
    tick_.start();
}

NetworkWindow::~NetworkWindow() = default;

void NetworkWindow::createComponents()
{
    setWindowTitle(QStringLiteral("CANopen Network"));
    setObjectName(QStringLiteral("NetworkWindow"));
    nodeView_ = newView(&nodes_, QStringLiteral("Nodes"), this);
    nodeView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(nodeView_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // The keyboard's menu key asks at no particular row: the current one then.
        int row = nodeView_->indexAt(at).row();
        if (row < 0)
            row = nodeView_->currentIndex().row();
        if (row < 0)
            return;
        nodeView_->selectRow(row);
        if (QMenu *menu = menuFor(nodes_.nodeAt(row)))
            menu->popup(nodeView_->viewport()->mapToGlobal(at));
    });
    emergencyCaption_ = new QLabel(QStringLiteral("Emergencies"), this);
    emergencyView_ = newView(&emergencies_, QStringLiteral("Emergencies"), this);
    notice_ = new QLabel(this);
    export_ = new QPushButton(QStringLiteral("Export Emergencies..."), this);
    export_->setAutoDefault(false);
    connect(export_, &QPushButton::clicked, this, &NetworkWindow::exportClick);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(nodeView_, 3);
    layout->addWidget(emergencyCaption_);
    layout->addWidget(emergencyView_, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(notice_, 1);
    buttons->addWidget(export_);
    layout->addLayout(buttons);
    sizeColumns();
    resize(nodeView_->horizontalHeader()->length() + 40, 560);
}

void NetworkWindow::sizeColumns()
{
    sizeView(nodeView_, NodeTableModel::HEADERS, NODE_SAMPLES, NodeTableModel::COLUMNS);
    sizeView(emergencyView_, EmergencyListModel::HEADERS, EMERGENCY_SAMPLES, EmergencyListModel::COLUMNS);
}

void NetworkWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void NetworkWindow::takeEmergencies()
{
    taken_.clear();
    // A new interface numbers its emergencies from 1 again.
    if (CopnInterface->InterfaceHandle != emergencyHandle_) {
        emergencyHandle_ = CopnInterface->InterfaceHandle;
        nextEmergency_ = 0;
    }
    const uint64_t wanted = std::max<uint64_t>(nextEmergency_, 1);
    uint32_t count = 0;
    if (CopnInterface->GetEmergencies(&nextEmergency_, records_.data(), uint32_t(records_.size()), &count) == 0)
        return;
    count = std::min<uint32_t>(count, uint32_t(records_.size()));
    if (count > 0 && records_[0].Sequence > wanted) {
        missed_ += records_[0].Sequence - wanted;
        showNotice();
    }
    wallClock_.Refresh();
    for (uint32_t k = 0; k < count; ++k) {
        const EmergencyRecord &record = records_[k];
        EmergencyRow row;
        row.wallUs = wallClock_.ToWallUs(int64_t(record.RxTime));
        row.node = record.Node;
        row.length = std::min<uint8_t>(record.Length, 8);
        std::copy(record.Data, record.Data + 8, row.data);
        taken_.push_back(row);
    }
}

void NetworkWindow::refresh()
{
    if (CopnInterface == nullptr)
        return;
    takeEmergencies();
    // Without a table (no network access) the rows keep what they last showed.
    if (CopnInterface->GetNodeTable(statuses_) == 0 && taken_.empty())
        return;
    show(statuses_, CopnInterface->NodeTable, taken_);
}

void NetworkWindow::showNotice()
{
    const QLocale locale(QLocale::English);
    notice_->setText(QStringLiteral("%1 missed: the library keeps the last %2.")
                         .arg(locale.toString(qulonglong(missed_)), locale.toString(QELCOPN_EMERGENCY_LOG_SIZE)));
}

QString NetworkWindow::noticeText() const { return notice_->text(); }

void NetworkWindow::show(const NodeStatus *statuses, const NodeIdentity *identities,
                         const std::vector<EmergencyRow> &emergencies)
{
    nodes_.update(statuses, identities);
    emergencies_.Add(emergencies);
}

QMenu *NetworkWindow::menuFor(uint8_t node)
{
    if (!qelcopn::cia301::isNodeId(node))
        return nullptr;
    if (menu_ == nullptr) {
        menu_ = new QMenu(this);
        for (NodeAction action : {NodeAction::Objects, NodeAction::ReadIdentity, NodeAction::Start, NodeAction::Stop,
                                  NodeAction::PreOperational, NodeAction::ResetNode,
                                  NodeAction::ResetCommunication}) {
            QAction *item = menu_->addAction(QString::fromLatin1(actionText(action)));
            item->setData(int(action));
            connect(item, &QAction::triggered, this, [this, action] { act(action, menuNode_); });
            if (action == NodeAction::ReadIdentity)
                menu_->addSeparator();
        }
    }
    menuNode_ = node;
    const bool maySend = hooks_.maySend && hooks_.maySend();
    for (QAction *item : menu_->actions())
        // The object dictionary browser is not here yet.
        item->setEnabled(!item->isSeparator() && NodeAction(item->data().toInt()) != NodeAction::Objects && maySend);
    return menu_;
}

void NetworkWindow::act(NodeAction action, uint8_t node)
{
    // Checked again here: the mode may have changed while the menu was up.
    if (!qelcopn::cia301::isNodeId(node) || !hooks_.maySend || !hooks_.maySend() || CopnInterface == nullptr)
        return;
    if (action == NodeAction::ReadIdentity) {
        int32_t read = 0;
        {
            THourglassCursor hourglass;
            read = CopnInterface->ReadNodeIdentity(node);
        }
        if (read == 0 && hooks_.tell)
            hooks_.tell(QStringLiteral("Node %1 did not give its identity.").arg(node));
        refresh();
        return;
    }
    if (action != NodeAction::Objects)
        sendNmt(action, node);
}

void NetworkWindow::sendNmt(NodeAction action, uint8_t node)
{
    const int row = nodes_.rowOf(node);
    const QString name = row >= 0 ? nodes_.text(row, NodeTableModel::NAME) : QString();
    const QString who = name.isEmpty() ? QStringLiteral("node %1").arg(node)
                                       : QStringLiteral("node %1 (%2)").arg(node).arg(name);
    const QString question = QStringLiteral("Send %1 to %2?").arg(QString::fromLatin1(actionText(action)), who);
    if (!hooks_.confirm || !hooks_.confirm(question))
        return;
    int32_t sent = 0;
    switch (action) {
    case NodeAction::Start: sent = CopnInterface->NMT_StartRemoteNode(node); break;
    case NodeAction::Stop: sent = CopnInterface->NMT_StopRemoteNode(node); break;
    case NodeAction::PreOperational: sent = CopnInterface->NMT_EnterPreOperational(node); break;
    case NodeAction::ResetNode: sent = CopnInterface->NMT_ResetNode(node); break;
    case NodeAction::ResetCommunication: sent = CopnInterface->NMT_ResetCommunication(node); break;
    default: return;
    }
    if (sent == 0 && hooks_.tell)
        hooks_.tell(QStringLiteral("Cannot send %1 to %2.").arg(QString::fromLatin1(actionText(action)), who));
}

void NetworkWindow::exportClick()
{
    ExportCsvAskingPath(this, QStringLiteral("Export Emergencies"), DatedCsvName(QStringLiteral("emergencies")),
                        [this] { return emergencies_.csv(); });
}

} // namespace network

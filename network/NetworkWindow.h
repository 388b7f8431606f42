// The window "CANopen Network": every node heard or found by the survey,
// its NMT state, heartbeat, identity and emergencies, refreshed on the
// 100 ms display tick; below it every node's emergencies, decoded; NMT and
// "Read Identity" for one node from a row's context menu. It reads the
// library through CopnInterface and asks its owner whether it may send.
// The tick runs from the window's making on, shown or not, so the list
// misses no emergency while the window is closed.
#pragma once

#include "EmergencyListModel.h"
#include "NodeTableModel.h"
#include "WallClock.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace network {

class NetworkWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        // Network access is on and the mode is not Listen Only.
        std::function<bool()> maySend;
        // A question through the application's dialog helper: true for Yes.
        std::function<bool(const QString &question)> confirm;
        // A message through the same helper.
        std::function<void(const QString &text)> tell;
    };

    // A row's menu, in its order.
    enum class NodeAction { Objects, ReadIdentity, Start, Stop, PreOperational, ResetNode, ResetCommunication };

    explicit NetworkWindow(Hooks hooks, QWidget *parent = nullptr);
    ~NetworkWindow() override;

    // One display tick: the library's node table and the new emergencies.
    void refresh();
    // The same from given tables (the tick's work, for tests and benchmarks).
    void show(const NodeStatus *statuses, const NodeIdentity *identities, const std::vector<EmergencyRow> &emergencies);
    using QWidget::show;

    // The menu for a node's row, its actions enabled as the mode allows;
    // one menu, its actions kept, aimed at the node of the last call.
    QMenu *menuFor(uint8_t node);
    // What the menu's action does, after its confirmation.
    void act(NodeAction action, uint8_t node);

    const NodeTableModel &nodes() const { return nodes_; }
    const EmergencyListModel &emergencies() const { return emergencies_; }
    QTableView *nodeTable() const { return nodeView_; }
    QTableView *emergencyList() const { return emergencyView_; }
    QPushButton *exportButton() const { return export_; }
    // Emergencies the library no longer held when the window asked for them.
    uint64_t missedEmergencies() const { return missed_; }
    QString noticeText() const;
    void exportClick();

    static const char *actionText(NodeAction action);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createComponents();
    void sizeColumns();
    void sendNmt(NodeAction action, uint8_t node);
    void takeEmergencies();
    void showNotice();

    Hooks hooks_;
    NodeTableModel nodes_;
    EmergencyListModel emergencies_;
    QTableView *nodeView_ = nullptr;
    QTableView *emergencyView_ = nullptr;
    QLabel *emergencyCaption_ = nullptr;
    QPushButton *export_ = nullptr;
    QLabel *notice_ = nullptr;
    uint64_t missed_ = 0;
    QMenu *menu_ = nullptr;
    uint8_t menuNode_ = 0;
    QTimer tick_;
    TWallClockOffset wallClock_;
    // Where the library's emergency log goes on, per interface handle.
    uint64_t nextEmergency_ = 0;
    uint32_t emergencyHandle_ = 0;
    std::vector<EmergencyRecord> records_;
    std::vector<EmergencyRow> taken_;
    NodeStatus statuses_[QELCOPN_NODE_TABLE_SIZE] = {};
};

} // namespace network

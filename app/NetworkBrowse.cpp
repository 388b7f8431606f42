// Network Browse: finding the gateway on the bus, starting it and
// monitoring it.
#include "Dialogs.h"
#include "GatewayObjects.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

// Gives every node time to boot again after the reset before the survey.
constexpr uint32_t RESET_SETTLE_MS = 1000;

const char FIRST_QUESTION[] = "!!!Warning!!!\r\nThis Network Search will cause all nodes to be Reset using the Reset "
                              "Communication command.\r\n Is it safe to issue this command?";
const char SECOND_QUESTION[] = "!!!Warning!!!\r\nDo you want to search using SDO reads??";

bool IsGateway(const NodeIdentity &node)
{
    return node.Online != 0 && node.VendorId == GATEWAY_VENDOR_ID &&
           (node.ProductCode == PRODUCT_CODE_MTU_GATEWAY || node.ProductCode == PRODUCT_CODE_J1939_GATEWAY);
}

QMessageBox::StandardButton Ask(const char *text, const char *caption)
{
    return ShowMessageBox(QString::fromLatin1(text), QString::fromLatin1(caption),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

} // namespace

void TMainForm::Button_NetworkBrowseClick()
{
    if (CopnInterface == nullptr)
        return;
    const QMessageBox::StandardButton first = Ask(FIRST_QUESTION, "WARNING");
    if (first != QMessageBox::Yes && first != QMessageBox::No)
        return;
    NodeFound = 0;
    if (first == QMessageBox::No) {
        if (Ask(SECOND_QUESTION, "ERROR") != QMessageBox::Yes)
            return;
        THourglassCursor hourglass;
        CopnInterface->SurveyNodes();
    } else {
        THourglassCursor hourglass;
        CopnInterface->NMT_ResetCommunication(0);
        Sleep(RESET_SETTLE_MS);
        CopnInterface->SurveyNodes();
    }

    for (int node = 1; node < NODE_TABLE_SIZE; ++node) {
        const NodeIdentity &identity = CopnInterface->NodeTable[node];
        if (IsGateway(identity)) {
            GatewayNodeId = uint8_t(node);
            NodeFound = 1;
            GatewayProductCode = int32_t(identity.ProductCode);
            break;
        }
    }

    if (NodeFound == 1) {
        StaticText_NodeFound->setText(QString::asprintf("%i", GatewayNodeId));
        CopnInterface->NMT_StartRemoteNode(GatewayNodeId);
        StartMonitor();
        Button_OpenMonitorWindow->setEnabled(true);
        GroupBox_Mode->setEnabled(false);
    } else {
        Button_OpenMonitorWindow->setEnabled(false);
        StaticText_NodeFound->setText(QStringLiteral("None"));
    }
}

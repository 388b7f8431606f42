// A node with the gateway's identity that answers the monitor's own objects
// badly: the MTU online state (0x4210), the fault bitmap (0x4203) and the
// event timer (0x1803:5) get aborts, replies for another object, short
// frames, garbage, uploads that never end, or silence. The browse still finds
// and monitors it, the monitor window opens and closes without a hang or a
// message, a failed 0x4210 read leaves the MTU state as it was and a failed
// 0x4203 read changes no fault state.
#include "RobustnessSupport.h"

#include "Main.h"
#include "PeerThread.h"
#include "TForm_MTU.h"
#include "TThread_PdoData.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <csignal>
#include <cstdio>
#include <sstream>

namespace {

// The scripted gateway's reports when it is started (from its second start
// on): MTU online, fault 5 in state 3 and fault 400 in state 1.
bool IsReportedFault(int fault)
{
    return fault == 5 || fault == 400;
}

std::vector<std::string> Split(const std::string &list)
{
    std::vector<std::string> parts;
    std::istringstream in(list);
    for (std::string part; std::getline(in, part, ',');)
        parts.push_back(part);
    return parts;
}

// The gateway's "answered OBJECT KIND" lines for one object, in order.
std::vector<std::string> AnswersFor(SimulatorProcess &gateway, const std::string &object)
{
    gateway.collect();
    std::vector<std::string> answers;
    const std::string prefix = "answered " + object + " ";
    for (const std::string &line : gateway.lines())
        if (line.rfind(prefix, 0) == 0)
            answers.push_back(line.substr(prefix.size()));
    return answers;
}

// Fault rows whose text is not what `expected` says.
std::vector<int> FaultRowsDiffering(const std::function<std::string(int)> &expected)
{
    std::vector<int> rows;
    for (int fault = FAULT_FIRST_ROW; fault <= FAULT_LAST_ROW; ++fault)
        if (FaultCell(fault) != expected(fault))
            rows.push_back(fault);
    return rows;
}

class BadGateway : public ::testing::TestWithParam<const char *> {};

TEST_P(BadGateway, BrowseAndMonitorCarryOnAndFailedReadsChangeNothing)
{
    const std::vector<std::string> answers = Split(GetParam());
    ASSERT_EQ(answers.size(), 2u);
    AppOnBus app;
    const std::string url = privateBusUrl(freeLocalPort()).toStdString();
    std::string error;
    std::unique_ptr<SimulatorProcess> gateway =
        StartBusActor("gateway", url, {"--node", "7", "--answers", GetParam(), "--quiet-starts", "1"}, &error);
    ASSERT_NE(gateway, nullptr) << error;
    ASSERT_EQ(StoreBusConfiguration(url), "");

    app.Run([&] {
        ASSERT_TRUE(FoundGateway(app, MainForm->RadioButton_Cyclic));
        // The event timer's write was answered badly; monitoring runs all the same.
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x1803:5").size() == 1; }));

        // First showing: both reads fail. The MTU state stays as it starts
        // (offline) and no fault appears.
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            EXPECT_EQ(Form_MTU->StatusText(), QStringLiteral("MTU Status: Offline!!!!!!!!!!"));
            EXPECT_EQ(FaultRowsDiffering([](int) { return "0"; }), std::vector<int>{});
        }));
        // The gateway's own account of its answers comes through a pipe and
        // may lag the showing: waited for, like the event timer's.
        const std::vector<std::string> first{answers[0]};
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x4210:0") == first; }));
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x4203:0") == first; }));

        // Browsed again, the gateway is started again and now reports its
        // state; the monitor, watching node 7 since its showing, takes it in.
        app.Browse();
        EXPECT_EQ(MainForm->StaticText_NodeFound->text(), QStringLiteral("7"));
        ASSERT_TRUE(app.Until([] {
            return Form_MTU->MtuOnline.load() == 1 && Form_MTU->FaultState[5].load() == 3 &&
                   Form_MTU->FaultState[400].load() == 1;
        }));

        // Second showing: the reads fail again, in the other way; what the
        // gateway reported stays.
        ASSERT_TRUE(app.WhileMonitorShows([&] {
            EXPECT_EQ(Form_MTU->StatusText(), QStringLiteral("MTU Status: Online"));
            EXPECT_EQ(FaultRowsDiffering([](int fault) { return IsReportedFault(fault) ? "Fault Active" : "0"; }),
                      std::vector<int>{});
        }));
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x4210:0") == answers; }));
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x4203:0") == answers; }));
        EXPECT_TRUE(app.Until([&] { return AnswersFor(*gateway, "0x1803:5") == answers; }));
        EXPECT_NE(PdoDataThread, nullptr);

        app.StopNetworkAccess();
        EXPECT_TRUE(MainForm->Button_NetworkStartAccess->isEnabled());
        // Only the two browses asked their question; nothing was reported.
        ASSERT_EQ(app.boxes.boxes.size(), 1u);
        EXPECT_EQ(app.boxes.boxes.front().caption, QStringLiteral("WARNING"));
    });
    EXPECT_EQ(gateway->stop(SIGTERM), 0) << gateway->errorOutput();
    if (HasFailure())
        for (const std::string &line : gateway->lines())
            std::printf("gateway: %s\n", line.c_str());
}

std::string ScriptName(const ::testing::TestParamInfo<const char *> &info)
{
    std::string name;
    for (const std::string &answer : Split(info.param)) {
        name += name.empty() ? "" : "_then_";
        for (char c : answer)
            name += c == '-' ? '_' : c;
    }
    return name;
}

// Each object gets the first answer at the first request, the second at the next.
INSTANTIATE_TEST_SUITE_P(Answers, BadGateway, ::testing::Values("abort,wrong-index", "short,garbage", "endless,silent"),
                         ScriptName);

} // namespace

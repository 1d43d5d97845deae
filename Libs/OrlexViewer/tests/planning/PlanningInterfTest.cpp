// The planning interface against the planning library stand-in: request texts, job requests,
// library notifications, display-station datagrams on loopback and plan sharing.
// Display datagrams go to 127.0.0.1 port 25135 + 1610 = 26745 (CorvNoMCAST, CorvPortAdd 1610).
#include "PlanningTestSupport.h"

#include "OrlexViewer/PlanningInterf.h"
#include "PlanningLib.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QWebSocket>
#include <QTimer>

using plantest::loggedRequests;

namespace {

constexpr quint16 kDisplayPort = 25135 + 1610;
const QString kLines = QStringLiteral("PAGE_DESCRIPTOR=PLANNING_LINES,ACTION=/planning_");
const QString kJobs = QStringLiteral("PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning");

class PlanningInterfTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform::ensureWindowsEnvironment();
        plantest::startRequestLog();
        plantest::setRuntimeKey(QStringLiteral("CorvNoMCAST"), true);
        plantest::setRuntimeKey(QStringLiteral("CorvPortAdd"), 1610);
        plantest::setRuntimeKey(QStringLiteral("SendIP"), QStringLiteral("127.0.0.1"));
        plantest::writeTokens({plantest::intToken("CORRIDOR_ENABLE", 1), plantest::intToken("CORRIDOR_WIDTH_PORT", 50),
                               plantest::intToken("CORRIDOR_WIDTH_STARB", 75)});
        m_pPrevious = CPrompter::install(&m_prompter);
        m_pInterf = std::make_unique<CPlanningInterf>(0);
        plantest::clearRequestLog();
    }
    void TearDown() override
    {
        m_pInterf.reset();
        CPrompter::install(m_pPrevious);
    }

    plantest::ScriptedPrompter m_prompter;
    CPrompter* m_pPrevious = nullptr;
    std::unique_ptr<CPlanningInterf> m_pInterf;
};

TEST_F(PlanningInterfTest, LineCommandsBecomeRequestsAndSayWhetherToReset)
{
    EXPECT_EQ(m_pInterf->displayPort(), kDisplayPort) << "the port offset of group RUNTIME is used";
    struct Case {
        int nAction;
        const char* szCommand; // null: no request
        bool bReset;
    };
    const Case aCases[] = {
        {1, "__newLine__", false},          {2, "__newPolygon__", false},      {4, "__extendLine__", true},
        {5, "__reverseLine__", true},       {6, "__activateLine__,CORR,50,75", true},
        {7, "__deactivateLine__", true},    {10, "__keepInside__", true},      {11, "__keepOutside__", true},
        {13, "__deleteSelection__", false}, {17, "__deleteSelection__", false}, {18, "__deleteSelection__", false},
        {14, "__resetSelection__", true},   {19, "__selectCrossings__", false}, {8, nullptr, false},
        {9, nullptr, false},                {12, nullptr, false},          {15, nullptr, false},
        {16, nullptr, false},
    };
    for (const Case& c : aCases) {
        plantest::clearRequestLog();
        EXPECT_EQ(m_pInterf->lineCommand(c.nAction, 0), c.bReset) << c.nAction;
        const QStringList expected = c.szCommand ? QStringList{kLines + QLatin1String(c.szCommand)} : QStringList();
        EXPECT_EQ(loggedRequests(), expected) << c.nAction;
    }

    plantest::writeTokens({plantest::intToken("CORRIDOR_ENABLE", 0)});
    plantest::clearRequestLog();
    m_pInterf->lineCommand(6, 0);
    EXPECT_EQ(loggedRequests(), QStringList{kLines + QStringLiteral("__activateLine__")});

    // Action 3 shows the edit dialog for two empty points and sends nothing.
    plantest::clearRequestLog();
    m_prompter.acceptDialog = false;
    EXPECT_FALSE(m_pInterf->lineCommand(3, 0));
    EXPECT_EQ(m_prompter.dialogsShown, 1);
    EXPECT_TRUE(loggedRequests().isEmpty());
}

TEST_F(PlanningInterfTest, NewObjectTextsGoToTheirOwnLibraryCalls)
{
    m_pInterf->sendPlanningCommand(QStringLiteral("$TVGPL_NEW_LINE,0,0,10,10"));
    m_pInterf->sendPlanningCommand(QStringLiteral("$TVGPL_NEW_POLYGON,0,0,10,0,10,10"));
    m_pInterf->sendPlanningCommand(QStringLiteral("__makeParallels__,x=1"));
    EXPECT_EQ(plantest::loggedCalls(QStringLiteral("newLineArrived")).size(), 1);
    EXPECT_EQ(plantest::loggedCalls(QStringLiteral("newPolygonArrived")).size(), 1);
    EXPECT_EQ(loggedRequests(), QStringList{kLines + QStringLiteral("__makeParallels__,x=1")});
    EXPECT_EQ(m_pInterf->getPlanningLib()->isPlanObject(1), 0);
    EXPECT_EQ(m_pInterf->getPlanningLib()->isPlanObject(2), 5);
}

TEST_F(PlanningInterfTest, JobRequests)
{
    const QString strJob = plantest::scratch(QStringLiteral("jobs/survey.asciiplan"));
    const QString strPlans = programDataPath() + QStringLiteral("/plans/");
    struct Case {
        int nAction;
        QString strName;
        QString strDialogAnswer;
        QString strExpected; // empty: nothing sent
        QString strDialog;   // the dialog shown, empty when none
    };
    const Case aCases[] = {
        {20, QString(), QString(), QString(), QStringLiteral("Open Job|") + strPlans},
        {20, QString(), strJob, kJobs + QStringLiteral("__openjob__,JOBNAME=") + strJob,
         QStringLiteral("Open Job|") + strPlans},
        // Saved under the opened file without asking.
        {22, QString(), QString(), kJobs + QStringLiteral("___saveas__,JOBNAME=") + strJob, QString()},
        // "PlanDir" now holds the opened file's folder.
        {23, QString(), QString(), QString(), QStringLiteral("Save Job|") + QFileInfo(strJob).absolutePath()},
        {21, QStringLiteral("  job7.asciiplan \t"), QString(), kJobs + QStringLiteral("__openjob__,JOBNAME=job7.asciiplan"), QString()},
        {21, QStringLiteral("../../etc/job.asciiplan"), QString(), QString(), QString()},
        {21, QStringLiteral("job\n2.asciiplan"), QString(), QString(), QString()},
        {24, QString(), QString(), kJobs + QStringLiteral("___saveas__,JOBNAME=") + strPlans + QStringLiteral("_default.asciiplan"), QString()},
        {25, QString(), QString(), kJobs + QStringLiteral("___saveas__,JOBNAME=") + strPlans + QStringLiteral("_current.asciiplan"), QString()},
        {26, QString(), QString(), kJobs + QStringLiteral("___clearJob__"), QString()},
        {19, QString(), QString(), kJobs, QString()},
        // After the clear there is no current job: save asks, in the plans folder.
        {22, QString(), QString(), QString(), QStringLiteral("Save Job|") + strPlans},
    };
    for (const Case& c : aCases) {
        plantest::clearRequestLog();
        m_prompter.fileDialogs.clear();
        m_prompter.fileAnswer = c.strDialogAnswer;
        m_pInterf->jobRequest(c.nAction, c.strName);
        const QStringList expected = c.strExpected.isEmpty() ? QStringList() : QStringList{c.strExpected};
        EXPECT_EQ(loggedRequests(), expected) << c.nAction << " " << c.strName.toStdString();
        const QStringList dialogs = c.strDialog.isEmpty() ? QStringList() : QStringList{c.strDialog};
        EXPECT_EQ(m_prompter.fileDialogs, dialogs) << c.nAction;
    }
    EXPECT_TRUE(m_pInterf->currentJobFile().isEmpty());
}

TEST_F(PlanningInterfTest, DisplayDatagramsOnLoopback)
{
    plantest::DatagramReceiver receiver;
    ASSERT_TRUE(receiver.bind(kDisplayPort));

    // Before any sendToCorv there is no socket: nothing goes out, though the repetition runs.
    m_pInterf->activateLine(4, false);
    EXPECT_TRUE(receiver.collect(200).isEmpty());

    m_pInterf->sendToCorv(QStringLiteral("$PQQEL,CVN_HIDE_PLAN"));
    EXPECT_EQ(receiver.next(), QByteArray("$PQQEL,CVN_HIDE_PLAN"));
    m_pInterf->sendToCorv(QStringLiteral("$PQQEL,CVN_PROJECTION,+proj=utm\n\r"));
    EXPECT_EQ(receiver.next(), QByteArray("$PQQEL,CVN_PROJECTION,+proj=utm\n\r"));

    plantest::clearRequestLog();
    m_pInterf->activateLine(7, true);
    EXPECT_EQ(receiver.next(), QByteArray("$PQQEL,CVN_ACT_LINE,7,"));
    EXPECT_EQ(loggedRequests(), QStringList{kLines + QStringLiteral("__activateLine__,CORR,50,75")});
    const QList<QTimer*> timers = m_pInterf->findChildren<QTimer*>();
    const auto itRepeat = std::find_if(timers.begin(), timers.end(), [](QTimer* t) { return t->interval() == 20000; });
    ASSERT_NE(itRepeat, timers.end());
    EXPECT_TRUE((*itRepeat)->isActive());
    EXPECT_FALSE((*itRepeat)->isSingleShot());

    plantest::clearRequestLog();
    m_pInterf->activateLine(-1, false);
    m_pInterf->activateLine(-1, false);
    EXPECT_EQ(receiver.collect(300), (QList<QByteArray>{"$PQQEL,CVN_DEACT_LINE", "$PQQEL,CVN_DEACT_LINE"}));
    EXPECT_TRUE(loggedRequests().isEmpty());
    EXPECT_FALSE((*itRepeat)->isActive());
    EXPECT_EQ(m_pInterf->activeLine(), 0);

    m_pInterf->activateLine(-1, true);
    receiver.next();
    EXPECT_EQ(loggedRequests(), QStringList{kLines + QStringLiteral("__deactivateLine__")});
}

// Refusals of the planning service's web socket are counted for the process: the sixth one tells
// the operator, once; other socket errors do not count.
TEST_F(PlanningInterfTest, TheSixthRefusedWebSocketConnectionIsReported)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1").arg(probe.serverPort()));
    probe.close();

    m_pInterf->webSocketError(QAbstractSocket::HostNotFoundError);
    QWebSocket socket;
    const auto errorSignal = QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error);
    QObject::connect(&socket, errorSignal, m_pInterf.get(), &CPlanningInterf::webSocketError);
    QList<int> boxesAfterEach;
    for (int i = 0; i < 7; ++i) {
        QSignalSpy refused(&socket, errorSignal);
        socket.open(url);
        ASSERT_TRUE(corvtest::waitUntil([&] { return !refused.isEmpty(); }));
        ASSERT_EQ(refused.first().first().value<QAbstractSocket::SocketError>(), QAbstractSocket::ConnectionRefusedError);
        boxesAfterEach << m_prompter.boxes.size();
    }
    EXPECT_EQ(boxesAfterEach, (QList<int>{0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(m_prompter.boxes.value(0), QStringLiteral("Connection failed|Failed to connect to Planning module"));
}

TEST_F(PlanningInterfTest, AnAddressFromTheConfigurationBeforeTheFirstSendIsKept)
{
    m_pInterf.reset();
    plantest::setRuntimeKey(QStringLiteral("CorvNoMCAST"), false);
    plantest::setRuntimeKey(QStringLiteral("CorvMcastGrpActive"), QStringLiteral("127.0.0.2"));
    m_pInterf = std::make_unique<CPlanningInterf>(0);
    plantest::DatagramReceiver receiver;
    ASSERT_TRUE(receiver.bind(kDisplayPort));
    m_pInterf->updateCorvAddr(QStringLiteral("127.0.0.1"));
    m_pInterf->sendToCorv(QStringLiteral("$PQQEL,CVN_LOGSTATE,1"));
    EXPECT_EQ(receiver.next(), QByteArray("$PQQEL,CVN_LOGSTATE,1"));
}

TEST_F(PlanningInterfTest, LibraryNotifications)
{
    plantest::DatagramReceiver receiver;
    ASSERT_TRUE(receiver.bind(kDisplayPort));
    m_pInterf->sendToCorv(QStringLiteral("hello"));
    ASSERT_EQ(receiver.next(), QByteArray("hello"));
    QSignalSpy toMain(m_pInterf.get(), &CPlanningInterf::sigPlanToMain);

    struct Case {
        const char* szText;
        const char* szDatagram; // null: none
        const char* szToMain;   // null: none
    };
    const Case aCases[] = {
        {"ACTIVATE:12", "$PQQEL,CVN_ACT_LINE,12,", nullptr},
        {"ACTIVATE:", nullptr, nullptr},
        {"ACTIVATE", nullptr, nullptr},
        {"activate:3", nullptr, nullptr},
        {"LOG_ON:1", nullptr, "LOG_ON:1"},
        {"LOG_OFF:0:x", nullptr, "LOG_OFF:0:x"},
        {"RUNTIME:speed=4", nullptr, "RUNTIME:speed=4"},
        {"log_on:1", nullptr, nullptr},
    };
    for (const Case& c : aCases) {
        plantest::clearRequestLog();
        toMain.clear();
        m_pInterf->slotMsgFromPlanning(QLatin1String(c.szText));
        const QList<QByteArray> datagrams = receiver.collect(150);
        EXPECT_EQ(datagrams, c.szDatagram ? QList<QByteArray>{c.szDatagram} : QList<QByteArray>()) << c.szText;
        EXPECT_TRUE(loggedRequests().isEmpty()) << c.szText << ": nothing goes back to the library";
        ASSERT_EQ(toMain.size(), c.szToMain ? 1 : 0) << c.szText;
        if (c.szToMain)
            EXPECT_EQ(toMain.front().front().toString(), QLatin1String(c.szToMain));
    }
}

TEST_F(PlanningInterfTest, SharingCopiesThePlanForTheStations)
{
    plantest::DatagramReceiver receiver;
    ASSERT_TRUE(receiver.bind(kDisplayPort));
    QStringList handedOver;
    CPlanningInterf::setRemoteSender([&handedOver](const QString& strPath) { handedOver << strPath; });
    QSignalSpy toVessel(m_pInterf.get(), &CPlanningInterf::sigPlanToVessel);
    m_pInterf->sendToCorv(QStringLiteral("hello"));
    receiver.next();
    m_pInterf->getPlanningLib()->newDremmLine({0, 0, 0, 100, 0, 0}, 0);

    // Before sharing is on, an edit only saves the current plan.
    plantest::clearRequestLog();
    m_pInterf->publishPlan(false, true);
    m_pInterf->schedulePlanShare();
    EXPECT_TRUE(receiver.collect(2500).isEmpty());
    const QString strPlans = programDataPath() + QStringLiteral("/plans/");
    EXPECT_EQ(loggedRequests(), QStringList{kJobs + QStringLiteral("___saveas__,JOBNAME=") + strPlans + QStringLiteral("_current.asciiplan")});

    const QString strShare = plantest::scratch(QStringLiteral("share"));
    QDir().mkpath(strShare);
    m_pInterf->setSharePlan(true);
    m_pInterf->m_strShareFolder = strShare;
    m_pInterf->schedulePlanShare();
    const QString strTarget = strShare + QStringLiteral("\\corv.asciiplan");
    EXPECT_EQ(receiver.next(6000), QStringLiteral("$PQQEL,CVN_SHOW_PLAN,%1").arg(strTarget).toLatin1());
    QFile copy(strShare + QStringLiteral("/corv.asciiplan"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile original(platform::toNativePath(strPlans + QStringLiteral("_default.asciiplan")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
    EXPECT_EQ(handedOver, QStringList{programDataPath() + QStringLiteral("plans\\_default.asciiplan")});
    ASSERT_EQ(toVessel.size(), 1);
    EXPECT_EQ(toVessel.front().front().toString(), strTarget);
    CPlanningInterf::setRemoteSender({});
}

} // namespace

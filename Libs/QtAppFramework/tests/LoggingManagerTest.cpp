#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/OutputWindow.h"
#include "QtAppFramework/QtLogger.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QUdpSocket>

#include <memory>
#include <thread>

namespace {

QStringList paneLines(const COutputWindow& oPane)
{
    QStringList lstLines;
    for (QTextBlock oBlock = oPane.textEdit()->document()->begin(); oBlock.isValid(); oBlock = oBlock.next())
        lstLines.append(oBlock.text());
    return lstLines;
}

// Colour of the last paragraph's text: empty for uncoloured text.
QString lastColour(const COutputWindow& oPane)
{
    const QTextBlock oBlock = oPane.textEdit()->document()->lastBlock();
    const QTextCharFormat oFormat = oBlock.begin().fragment().charFormat();
    return oFormat.hasProperty(QTextFormat::ForegroundBrush) ? oFormat.foreground().color().name(QColor::HexRgb).toUpper()
                                                             : QString();
}

// The router as the main window sets it up: the system's senders routed to the Output pane.
class LogRouter : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_poRouter = CLoggingManager::instance();
        m_poRouter->init();
        m_poOutput = std::make_unique<COutputWindow>(QStringLiteral("Output"));
        m_poDebug = std::make_unique<COutputWindow>(QStringLiteral("Debug"));
        for (const auto& oSender : {std::make_pair(1, "MainApp"), std::make_pair(2, "SurDisp"), std::make_pair(4, "SurvMgr"),
                                    std::make_pair(2048, "LineProc"), std::make_pair(64, "MapView"),
                                    std::make_pair(2048, "UlmaExecGui")})
            ASSERT_TRUE(m_poRouter->registerSender(oSender.first, QLatin1String(oSender.second)));
        for (int nSender : {1, 2, 4, 64, 2048})
            m_poRouter->setSenderOutputs(nSender, 1);
        ASSERT_TRUE(m_poRouter->addOutput(1, m_poOutput.get()));
    }
    void TearDown() override { m_poRouter->init(); }

    QString lastLine() const { return paneLines(*m_poOutput).constLast(); }

    CLoggingManager* m_poRouter = nullptr;
    std::unique_ptr<COutputWindow> m_poOutput;
    std::unique_ptr<COutputWindow> m_poDebug;
};

TEST_F(LogRouter, LinesCarryTheSenderNameAndTheColourOfTheirType)
{
    ASSERT_TRUE(m_poRouter->registerSender(8, QStringLiteral("Abc")));
    m_poRouter->setSenderOutputs(8, 1);
    m_poRouter->setSenderOutputs(128, 1);
    m_poRouter->setSenderOutputs(1024, 1);

    struct Case { QString strMsg; uint nType; uint nSender; QString strLine; QString strColour; };
    const Case aCases[] = {
        {QStringLiteral("Logging subsystem initialized..."), 1, 1, QStringLiteral("MainApp: Logging subsystem initialized..."), QString()},
        {QStringLiteral("broken"), 4, 1, QStringLiteral("MainApp: broken"), QStringLiteral("#FF0000")},
        {QStringLiteral("careful"), 2, 4, QStringLiteral("SurvMgr: careful"), QStringLiteral("#FF7F00")},
        {QStringLiteral("odd type"), 3, 2, QStringLiteral("SurDisp: odd type"), QString()},
        {QStringLiteral("runtime"), 1, 2048, QStringLiteral("UlmaExe: runtime"), QString()},
        {QStringLiteral("short  name"), 4, 8, QStringLiteral("Abc    : short  name"), QStringLiteral("#FF0000")},
        {QStringLiteral("who"), 2, 128, QStringLiteral("Unknown: who"), QStringLiteral("#FF7F00")},
        {QStringLiteral("raw sender"), 2, 1024, QStringLiteral("raw sender"), QStringLiteral("#FF7F00")},
        {QStringLiteral("ends with a line end\n"), 1, 64, QStringLiteral("MapView: ends with a line end"), QString()},
        {QStringLiteral("  trailing blanks \n\n  "), 1, 64, QStringLiteral("MapView:   trailing blanks"), QString()},
    };
    int nLines = 0;
    for (const Case& c : aCases) {
        m_poRouter->log(c.strMsg, c.nType, c.nSender);
        ++nLines;
        const QStringList lstLines = paneLines(*m_poOutput);
        ASSERT_EQ(lstLines.size(), nLines) << c.strMsg.toStdString();
        EXPECT_EQ(lstLines.constLast(), c.strLine);
        EXPECT_EQ(lastColour(*m_poOutput), c.strColour) << c.strMsg.toStdString();
    }
    EXPECT_TRUE(m_poDebug->textEdit()->document()->isEmpty());
}

TEST_F(LogRouter, ReceivedMarkupIsShownAsText)
{
    const QString strHostile = QStringLiteral("<b>bold</b> &amp; <img src=\"x\"> <a href=\"y\">link</a>");
    for (uint nType : {1u, 2u, 4u}) {
        m_poRouter->log(strHostile, nType, 1);
        EXPECT_EQ(lastLine(), QStringLiteral("MainApp: ") + strHostile) << nType;
    }
    EXPECT_FALSE(m_poOutput->textEdit()->document()->toHtml().contains(QStringLiteral("<img")));
}

TEST_F(LogRouter, RawLinesContinueAtTheCursor)
{
    m_poRouter->log(QStringLiteral("progress"), 4, 1);
    m_poRouter->log(QStringLiteral("\b ... done  \n"), 4, 1);
    m_poRouter->log(QStringLiteral("\b!"), 1, 1);
    // Trimmed like every line: the leading blank goes too.
    EXPECT_EQ(paneLines(*m_poOutput), QStringList{QStringLiteral("MainApp: progress... done!")});
    m_poRouter->log(QStringLiteral("next"), 1, 1);
    EXPECT_EQ(lastLine(), QStringLiteral("MainApp: next"));
}

TEST_F(LogRouter, LongLinesAreCutAndPanesKeepBoundedHistory)
{
    m_poRouter->log(QString(3000, QLatin1Char('x')), 4, 1);
    EXPECT_EQ(lastLine(), QStringLiteral("MainApp: ") + QString(CLoggingManager::LineBufferSize - 2 - 9, QLatin1Char('x')));

    for (int i = 0; i < COutputWindow::MaxLines + 20; ++i)
        m_poRouter->log(QStringLiteral("line %1").arg(i), 1, 1);
    const QStringList lstLines = paneLines(*m_poOutput);
    ASSERT_EQ(lstLines.size(), COutputWindow::MaxLines);
    EXPECT_EQ(lstLines.constFirst(), QStringLiteral("MainApp: line 20"));
}

TEST_F(LogRouter, RoutingByOutputBitsAndSenderMasks)
{
    COutputWindow oSecond(QStringLiteral("Second"));
    ASSERT_TRUE(m_poRouter->addOutput(2, &oSecond));
    m_poRouter->setSenderOutputs(1, 2); // added to the mask: both panes
    m_poRouter->log(QStringLiteral("both"), 1, 1);
    m_poRouter->setSenderOutputs(2, 0); // cleared
    m_poRouter->log(QStringLiteral("nowhere"), 1, 2);
    m_poRouter->setSenderOutputs(2, 2);
    m_poRouter->log(QStringLiteral("second"), 1, 2);
    m_poRouter->log(QStringLiteral("no routing"), 1, 16);
    m_poRouter->log(QStringLiteral("sender zero"));

    EXPECT_EQ(paneLines(*m_poOutput), QStringList{QStringLiteral("MainApp: both")});
    EXPECT_EQ(paneLines(oSecond), (QStringList{QStringLiteral("MainApp: both"), QStringLiteral("SurDisp: second")}));

    // A pane that is gone is skipped.
    m_poOutput.reset();
    m_poRouter->log(QStringLiteral("after"), 1, 1);
    EXPECT_EQ(paneLines(oSecond).constLast(), QStringLiteral("MainApp: after"));
}

TEST_F(LogRouter, SecondRegistrationsAreRefused)
{
    EXPECT_FALSE(m_poRouter->registerSender(1, QStringLiteral("MainApp")));
    EXPECT_FALSE(m_poRouter->registerSender(32, QStringLiteral("SurDisp")));
    EXPECT_TRUE(m_poRouter->registerSender(0, QStringLiteral("Zero")));
    EXPECT_TRUE(m_poRouter->registerSender(32, QStringLiteral("Zero")));
    m_poRouter->setSenderOutputs(32, 1);
    m_poRouter->log(QStringLiteral("x"), 1, 32);
    EXPECT_EQ(lastLine(), QStringLiteral("Zero   : x"));

    COutputWindow oOther(QStringLiteral("Other"));
    EXPECT_FALSE(m_poRouter->addOutput(2, m_poOutput.get()));
    EXPECT_TRUE(m_poRouter->addOutput(1, &oOther)); // replaces the Output pane under bit 1
    m_poRouter->log(QStringLiteral("y"), 1, 1);
    EXPECT_EQ(paneLines(oOther), QStringList{QStringLiteral("MainApp: y")});
    EXPECT_EQ(lastLine(), QStringLiteral("Zero   : x"));
}

TEST_F(LogRouter, SetHiddenReachesRegisteredPanesOnly)
{
    m_poOutput->show();
    m_poDebug->show();
    m_poRouter->setHidden(true);
    EXPECT_TRUE(m_poOutput->isHidden());
    EXPECT_FALSE(m_poDebug->isHidden());
    m_poRouter->setHidden(false);
    EXPECT_FALSE(m_poOutput->isHidden());
}

TEST_F(LogRouter, LinesFromLoggerThreadsArriveQueued)
{
    CQtLogger oLogger(2);
    ASSERT_TRUE(QObject::connect(&oLogger, SIGNAL(msg(QString, uint, uint)), m_poRouter, SLOT(log(QString, uint, uint))));
    oLogger.setFlags(CLogger::Gui);
    QSignalSpy oChanged(m_poOutput->textEdit()->document(), &QTextDocument::contentsChanged);
    std::thread oThread([&oLogger] { oLogger.log(QStringLiteral("from the runtime thread"), 2u); });
    oThread.join();
    EXPECT_TRUE(paneLines(*m_poOutput).constLast().isEmpty());
    ASSERT_TRUE(oChanged.wait(5000));
    EXPECT_EQ(lastLine(), QStringLiteral("SurDisp: from the runtime thread"));
}

TEST_F(LogRouter, WithoutBackendTheBackendSettingsAreInert)
{
    EXPECT_FALSE(m_poRouter->isEnabled());
    m_poRouter->enable();
    EXPECT_FALSE(m_poRouter->isEnabled());
    m_poRouter->setServerAddress(QStringLiteral("127.0.0.1"));
    m_poRouter->setServerPort(11965);
    EXPECT_TRUE(m_poRouter->serverAddress().isEmpty());
    EXPECT_EQ(m_poRouter->serverPort(), 0);

    m_poRouter->setLogFileName(QString());
    m_poRouter->setLogFileSizeMax(9999);
    EXPECT_TRUE(m_poRouter->logFileName().isEmpty());
    EXPECT_EQ(m_poRouter->logFileSizeMax(), 0);
    m_poRouter->setLogFileName(QStringLiteral("c:/temp/x.log"));
    m_poRouter->setLogFileSizeMax(10000);
    EXPECT_EQ(m_poRouter->logFileName(), QStringLiteral("c:/temp/x.log"));
    EXPECT_EQ(m_poRouter->logFileSizeMax(), 10000);
}

TEST_F(LogRouter, BackendGetsFormattedLinesByTypeMaskAndDevices)
{
    QDir(qEnvironmentVariable("CORV_WINROOT")).mkpath(QStringLiteral("c/temp"));
    const QString strNative = QDir(qEnvironmentVariable("CORV_WINROOT")).filePath(QStringLiteral("c/temp/router.log"));
    QFile::remove(strNative);
    QUdpSocket oReceiver;
    ASSERT_TRUE(oReceiver.bind(QHostAddress(QHostAddress::LocalHost), 0));

    m_poRouter->setBackendLogger(new CQtLogger(0));
    CQtLogger* poBackend = m_poRouter->backendLogger();
    m_poRouter->setLogFileName(QStringLiteral("c:/temp/router.log"));
    m_poRouter->setServerAddress(QStringLiteral("127.0.0.1"));
    m_poRouter->setServerPort(oReceiver.localPort());
    m_poRouter->setOutputDeviceMask(2 | 8 | 16);
    EXPECT_TRUE(poBackend->hasFlags(CLogger::File | CLogger::Udp));
    EXPECT_FALSE(poBackend->hasFlags(CLogger::Gui));
    m_poRouter->setMsgTypeMask(1 | 4);

    m_poRouter->log(QStringLiteral("to file"), 1, 1);
    m_poRouter->log(QStringLiteral("warning stays in the pane"), 2, 1);
    m_poRouter->log(QStringLiteral("\braw"), 4, 64);
    m_poRouter->log(QString(1500, QLatin1Char('y')), 4, 1);
    m_poRouter->disable();
    m_poRouter->log(QStringLiteral("disabled"), 1, 1);

    QFile oFile(strNative);
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    const QByteArray baLong = "MainApp: " + QByteArray(CLoggingManager::LineBufferSize - 2 - 9, 'y') + "\n";
    EXPECT_EQ(oFile.readAll(), QByteArray("MainApp: to file\nraw\n") + baLong);
    ASSERT_TRUE(oReceiver.hasPendingDatagrams() || QSignalSpy(&oReceiver, &QUdpSocket::readyRead).wait(5000));
    EXPECT_EQ(oReceiver.receiveDatagram().data(), QByteArray("MainApp: to file\n"));
    EXPECT_EQ(paneLines(*m_poOutput).size(), 4); // the raw line continues the warning

    // A new port replaces the destination.
    QUdpSocket oOther;
    ASSERT_TRUE(oOther.bind(QHostAddress(QHostAddress::LocalHost), 0));
    m_poRouter->enable();
    m_poRouter->setServerPort(oOther.localPort());
    while (oReceiver.hasPendingDatagrams())
        oReceiver.receiveDatagram();
    m_poRouter->log(QStringLiteral("moved"), 1, 2);
    ASSERT_TRUE(oOther.hasPendingDatagrams() || QSignalSpy(&oOther, &QUdpSocket::readyRead).wait(5000));
    EXPECT_EQ(oOther.receiveDatagram().data(), QByteArray("SurDisp: moved\n"));
    EXPECT_FALSE(oReceiver.hasPendingDatagrams());
}

} // namespace

#include "QtAppFramework/QtLogger.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Each test logs into its own folder "C:/logs/<test name>" below the test's Windows root.
class LoggerFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strFolder = QStringLiteral("C:/logs/%1").arg(QString::fromLatin1(
            ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        QDir oDir(nativeOf(m_strFolder));
        oDir.removeRecursively();
        ASSERT_TRUE(oDir.mkpath(QStringLiteral(".")));
    }

    static QString nativeOf(const QString& strWinPath)
    {
        return QDir(qEnvironmentVariable("CORV_WINROOT")).filePath(QStringLiteral("c") + strWinPath.mid(2));
    }
    std::string winName(const char* szFile) const { return (m_strFolder + QLatin1Char('/') + QLatin1String(szFile)).toStdString(); }
    QByteArray contents(const char* szFile) const
    {
        QFile oFile(nativeOf(m_strFolder + QLatin1Char('/') + QLatin1String(szFile)));
        return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("<missing>");
    }
    void writeFile(const char* szFile, const QByteArray& baBytes) const
    {
        QFile oFile(nativeOf(m_strFolder + QLatin1Char('/') + QLatin1String(szFile)));
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
        oFile.write(baBytes);
    }

    QString m_strFolder;
};

TEST_F(LoggerFiles, OpeningMovesAnExistingFileToOldAndReportsIt)
{
    writeFile("run.log", "former run\n");
    writeFile("run.log.old", "older run\n");
    const std::string strName = winName("run.log");
    CLogger oLogger(strName.c_str(), 1000, nullptr);
    EXPECT_FALSE(oLogger.hasFlags(CLogger::File));

    ::testing::internal::CaptureStderr();
    oLogger.setFlags(CLogger::File);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "\nRenamed existing log file: " + strName + "\n                       to: " + strName + ".old\n");
    EXPECT_TRUE(oLogger.hasFlags(CLogger::File));
    EXPECT_EQ(contents("run.log.old"), QByteArray("former run\n"));
    EXPECT_EQ(contents("run.log"), QByteArray());

    oLogger.log("first\n");
    oLogger.log("second", 2);
    EXPECT_EQ(contents("run.log"), QByteArray("first\nsecond"));
}

TEST_F(LoggerFiles, SizeLimitRotatesAndEveryLineIsKept)
{
    const std::string strName = winName("rot.log");
    CLogger oLogger(strName.c_str(), 100, nullptr);
    oLogger.setFlags(CLogger::File);
    std::vector<QByteArray> aLines;
    for (char c : {'a', 'b', 'c'})
        aLines.push_back(QByteArray(59, c) + '\n');

    oLogger.log(aLines[0].constData());
    EXPECT_EQ(contents("rot.log"), aLines[0]);

    ::testing::internal::CaptureStderr();
    oLogger.log(aLines[1].constData());
    const std::string strReport = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(strReport.rfind("\nMax log file size reached, file will be renamed and a new one opened.\n", 0), 0u) << strReport;
    EXPECT_EQ(contents("rot.log.old"), aLines[0]);
    EXPECT_EQ(contents("rot.log"), aLines[1]);

    // The line in the new file counts, so the file never grows past the limit.
    ::testing::internal::CaptureStderr();
    oLogger.log(aLines[2].constData());
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(contents("rot.log.old"), aLines[1]);
    EXPECT_EQ(contents("rot.log"), aLines[2]);

    // Short lines fill the file up to the limit.
    for (int i = 0; i < 4; ++i)
        oLogger.log("0123456789");
    EXPECT_EQ(contents("rot.log").size(), 100);
}

TEST_F(LoggerFiles, FileErrorsEndFileLoggingButNotTheEcho)
{
    const std::string strName = (QStringLiteral("C:/no such folder/x.log")).toStdString();
    CLogger oLogger(strName.c_str(), 1000, nullptr);
    ::testing::internal::CaptureStderr();
    oLogger.setFlags(CLogger::File | CLogger::StdOut);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "\nWARNING: Not able to open log file " + strName + ". Logging to file aborted\n");
    EXPECT_FALSE(oLogger.hasFlags(CLogger::File));
    EXPECT_TRUE(oLogger.hasFlags(CLogger::StdOut));

    ::testing::internal::CaptureStdout();
    oLogger.log("still echoed\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "still echoed\n");

    // Aborted for good: a usable name does not bring file logging back.
    oLogger.setFileName(winName("later.log"));
    oLogger.setFlags(CLogger::File);
    EXPECT_FALSE(oLogger.hasFlags(CLogger::File));
    EXPECT_EQ(contents("later.log"), QByteArray("<missing>"));
}

TEST_F(LoggerFiles, SettingTheFileBitAgainKeepsTheOpenFile)
{
    CLogger oLogger(winName("twice.log").c_str(), 1000, nullptr);
    oLogger.setFlags(CLogger::File);
    oLogger.log("one\n");
    ::testing::internal::CaptureStderr();
    oLogger.setFlags(CLogger::File);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    oLogger.log("two\n");
    EXPECT_EQ(contents("twice.log"), QByteArray("one\ntwo\n"));
}

TEST_F(LoggerFiles, NewFileNameReopensWhileFileOutputIsOn)
{
    CLogger oLogger(winName("a.log").c_str(), 1000, nullptr);
    oLogger.setFileName(winName("b.log")); // file output off: only the name changes
    EXPECT_EQ(contents("b.log"), QByteArray("<missing>"));
    oLogger.setFlags(CLogger::File);
    oLogger.log("to b\n");
    oLogger.setFileName(winName("c.log"));
    oLogger.log("to c\n");
    EXPECT_EQ(contents("b.log"), QByteArray("to b\n"));
    EXPECT_EQ(contents("c.log"), QByteArray("to c\n"));
    EXPECT_EQ(oLogger.fileName(), winName("c.log"));
}

TEST_F(LoggerFiles, LinesFromManyThreadsStayWhole)
{
    CQtLogger oLogger(winName("threads.log").c_str(), 100000000, 0);
    oLogger.setFlags(CLogger::File);
    std::vector<std::thread> aThreads;
    for (int t = 0; t < 4; ++t)
        aThreads.emplace_back([&oLogger, t] {
            for (int i = 0; i < 200; ++i)
                oLogger.log(QStringLiteral("thread %1 line %2 %3\n").arg(t).arg(i).arg(QString(40, QLatin1Char('x'))), 1u);
        });
    for (std::thread& oThread : aThreads)
        oThread.join();
    const QList<QByteArray> lstLines = contents("threads.log").split('\n');
    ASSERT_EQ(lstLines.size(), 801);
    for (int i = 0; i < 800; ++i)
        EXPECT_TRUE(lstLines.at(i).startsWith("thread ") && lstLines.at(i).endsWith(QByteArray(40, 'x'))) << i;
}

TEST(QtLogger, OutputsFollowEnableTypeAndFlags)
{
    QStringList lstDebug;
    platform::setDebugSink([&lstDebug](const QString& strText) { lstDebug.append(strText); });
    CQtLogger oLogger(7);
    QSignalSpy oMsg(&oLogger, &CQtLogger::msg);
    QSignalSpy oToFile(&oLogger, &CQtLogger::msgToFile);

    oLogger.log(QStringLiteral("hidden"), 1u); // no output bit yet
    oLogger.setFlags(CLogger::DebugString | CLogger::Gui);
    oLogger.log(QStringLiteral("Grüße"), 4u);
    oLogger.log("narrow", 2);
    oLogger.log(QStringLiteral("type zero"), 0u);
    oLogger.disable();
    oLogger.log(QStringLiteral("disabled"));
    oLogger.enable();
    oLogger.clearFlags(CLogger::Gui);
    oLogger.log(QStringLiteral("debug only"));
    platform::setDebugSink({});

    EXPECT_EQ(oToFile.count(), 6);
    EXPECT_EQ(lstDebug, (QStringList{QStringLiteral("Grüße"), QStringLiteral("narrow"), QStringLiteral("debug only")}));
    ASSERT_EQ(oMsg.count(), 2);
    EXPECT_EQ(oMsg.at(0), (QList<QVariant>{QStringLiteral("Grüße"), 4u, 7u}));
    EXPECT_EQ(oMsg.at(1), (QList<QVariant>{QStringLiteral("narrow"), 2u, 7u}));
}

// A receiver on loopback with the port the system gave it.
struct CReceiver {
    CReceiver() { EXPECT_TRUE(oSocket.bind(QHostAddress(QHostAddress::LocalHost), 0)); }
    unsigned short port() const { return oSocket.localPort(); }
    QByteArray next()
    {
        if (!oSocket.hasPendingDatagrams()) {
            QSignalSpy oReady(&oSocket, &QUdpSocket::readyRead);
            if (!oReady.wait(5000))
                return QByteArray("<nothing>");
        }
        return oSocket.receiveDatagram().data();
    }
    QUdpSocket oSocket;
};

TEST(QtLogger, UdpDestinationsGetOneDatagramPerHostAndPort)
{
    CReceiver oFirst;
    CReceiver oSecond;
    CQtLogger oLogger(3);
    oLogger.addUdpDestination(QStringLiteral("127.0.0.1"), oFirst.port());
    oLogger.addUdpDestination(QStringLiteral("127.0.0.1"), oSecond.port());

    oLogger.log("before the bit\n");
    oLogger.setFlags(CLogger::Udp);
    oLogger.log(QStringLiteral("Grüße\n"), 1u);
    EXPECT_EQ(oFirst.next(), QByteArray("Gr\xfc\xdf" "e\n"));
    EXPECT_EQ(oSecond.next(), QByteArray("Gr\xfc\xdf" "e\n"));

    oLogger.removeUdpDestination(QStringLiteral("127.0.0.1"), oSecond.port());
    oLogger.log("only first");
    EXPECT_EQ(oFirst.next(), QByteArray("only first"));
    EXPECT_FALSE(oSecond.oSocket.hasPendingDatagrams());

    // From another thread the datagram is handed to the socket's own thread.
    std::thread oThread([&oLogger] { oLogger.log("from a thread"); });
    oThread.join();
    EXPECT_EQ(oFirst.next(), QByteArray("from a thread"));

    oLogger.clearFlags(CLogger::Udp);
    oLogger.log("after the bit");
    oLogger.setFlags(CLogger::Udp);
    oLogger.log("again");
    EXPECT_EQ(oFirst.next(), QByteArray("again"));
}

TEST(ReadArg, OptionsAndConversions)
{
    std::vector<std::string> aStorage = {"prog", "-logfile", "run.log", "-n", "65", "-12", "3.5", "x", "ff", "7"};
    std::vector<char*> aArgv;
    for (std::string& str : aStorage)
        aArgv.push_back(str.data());
    aArgv.push_back(nullptr);
    const int argc = static_cast<int>(aStorage.size());
    char** argv = aArgv.data();

    char* szFile = nullptr;
    EXPECT_EQ(ReadArg(argc, argv, "-logfile %s", &szFile), 2);
    EXPECT_EQ(szFile, argv[2]);
    EXPECT_EQ(ReadArg(argc, argv, "-LOGFILE %s", &szFile), 1);
    EXPECT_EQ(ReadArg(1, argv, "-logfile %s", &szFile), 1);
    EXPECT_EQ(ReadArg(argc, argv, "-norestart"), 1);

    char c = 0;
    int i = 0;
    long l = 0;
    double d = 0;
    char* s = nullptr;
    int x = 0;
    EXPECT_EQ(ReadArg(argc, argv, "-n %c %i %d %s %x %l", &c, &i, &d, &s, &x, &l), 2);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(i, -12);
    EXPECT_DOUBLE_EQ(d, 3.5);
    EXPECT_STREQ(s, "x");
    EXPECT_EQ(x, 0xff);
    EXPECT_EQ(l, 7);

    // Past the end of the list: %s gets a null pointer, other targets stay as they are.
    s = argv[0];
    i = 42;
    EXPECT_EQ(ReadArg(argc - 1, argv, "-n %c %i %d %s %x %l %s %i", &c, &i, &d, &s, &x, &l, &s, &i), 2);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(i, -12);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ReadArg(argc, argv, "logfile %s", &szFile), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\n\nReadArg: Missing '-' in call argument.\n");
    EXPECT_EQ(ReadArg(argc, argv, ("-" + std::string(256, 'a')).c_str()), 0);

    // An unknown conversion ends the scan: the target after it is not written.
    i = 5;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ReadArg(argc, argv, "-n %q %i", &i), 2);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\n\nReadArg: Unknown argument type.\n");
    EXPECT_EQ(i, 5);
}

} // namespace

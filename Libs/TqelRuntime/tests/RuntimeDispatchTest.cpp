// Control datagrams on the runtime thread: which handler each family reaches and what it asks
// of the GUI side, the synchronisation-unit status and the projection text.
#include "RecordingGuiSink.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TokenFixture.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

#include <memory>

namespace {

const QByteArray s_baProjection = "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n";

QString localPath(const QString& strWindowsPath)
{
    return platform::toNativePath(strWindowsPath);
}

bool writeFile(const QString& strWindowsPath, const QByteArray& baContent)
{
    const QString strPath = localPath(strWindowsPath);
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

class RuntimeDispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        m_poSink = std::make_shared<RecordingGuiSink>();
        // Mode 3 opens no socket: the datagrams are handed in directly.
        m_poRuntime = std::make_unique<CUlmaRuntime>(3, m_poSink);
        m_poRelays = std::make_unique<QSignalSpy>(m_poRuntime.get(), &CUlmaRuntime::relayToMapView);
    }

    void dispatch(const QByteArray& baDatagram, const QString& strSender = QStringLiteral("10.0.0.9"))
    {
        QByteArray baCopy = baDatagram + "\n\r";
        m_poRuntime->processCtrlDatagrams(baCopy, strSender);
    }

    QStringList relays()
    {
        QStringList lstRelays;
        for (const QList<QVariant>& lstArgs : *m_poRelays)
            lstRelays << lstArgs.at(0).toString() + QLatin1Char(':') + lstArgs.at(1).toString();
        m_poRelays->clear();
        return lstRelays;
    }

    void useMercator()
    {
        const QString strFile = programDataPath() + QStringLiteral("merc.txt");
        ASSERT_TRUE(writeFile(strFile, s_baProjection));
        m_poRuntime->setProjFile(strFile.toStdString());
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    std::unique_ptr<QSignalSpy> m_poRelays;
};

TEST_F(RuntimeDispatch, EachFamilyReachesItsHandler)
{
    useMercator();
    ASSERT_TRUE(writeFile(programDataPath() + QStringLiteral("plans/_remote.asciiplan"), "plan"));
    const QString strRemotePlan = programDataPath() + QStringLiteral("/plans/_remote.asciiplan");
    const QByteArray baGga = "$GPGGA,123519,6000.000,N,00500.000,E,1,08,0.9,545.4,M,46.9,M,,";
    QByteArray baBinary("\x02Q", 2);
    baBinary += QByteArray("$GPGGA,GGA,TVQ", 14);

    struct Case {
        QByteArray datagram;
        QStringList calls;
        QStringList relays;
    };
    const Case aCases[] = {
        // Position datagrams and runtime replies go to their own handlers, whatever they hold.
        {baBinary, {}, {}},
        {"$TVQEL,1," + baGga, {}, {QStringLiteral("1000:$GPGGA")}},
        // A GGA sentence moves the vessel.
        {baGga, {QStringLiteral("updateVessel")}, {}},
        // Words inside fields do not route: only the talker does.
        {"$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/GGA/xTVQ",
         {QStringLiteral("surveyLoadGrid(C:/qeldata/grids/GGA/xTVQ|0)")}, {}},
        {"$ACTVESS,GGA,7", {}, {QStringLiteral("499:$ACTVESS,GGA,7\n\r")}},
        {"$QELPLANFILE", {QStringLiteral("openPlanJob(") + strRemotePlan + ")"}, {}},
        {"$PSIMSSB,1,SSB1,A,x,R,x,x,1.0471975512,0.1745329252,12.5",
         {QStringLiteral("addDynamicObject(SSB1|10.000000,60.000000,-12.5)")}, {}},
        {"$PSIMSSB,1,SSB1,A,x,R,x,x,1.0,0.1", {}, {}}, // ten fields
        {"$PSIMSSB,1,SSB1,B,x,R,x,x,1.0,0.1,3", {}, {}},
        {"$UNKNOWN,1,2", {}, {}},
    };
    for (const Case& oCase : aCases) {
        dispatch(oCase.datagram);
        QStringList lstCalls = m_poSink->take();
        // The vessel's projected position is checked elsewhere; here only that it moved.
        for (QString& strCall : lstCalls)
            if (strCall.startsWith(QLatin1String("updateVessel")))
                strCall = QStringLiteral("updateVessel");
        lstCalls.removeAll(QStringLiteral("moveToVessel(0|0|0)"));
        EXPECT_EQ(lstCalls, oCase.calls) << oCase.datagram.constData();
        EXPECT_EQ(relays(), oCase.relays) << oCase.datagram.constData();
    }
}

TEST_F(RuntimeDispatch, GgaSentenceMovesTheVesselThroughTheProjection)
{
    // Without a working projection nothing is drawn (never at 0, 0).
    const QString strBroken = programDataPath() + QStringLiteral("broken.txt");
    ASSERT_TRUE(writeFile(strBroken, "<QEL_Projection>\r\nEPSG:4326\r\n+proj=nonsense\r\n"));
    m_poRuntime->setProjFile(strBroken.toStdString());
    dispatch("$GPGGA,123519,6000.000,N,00500.000,E,1");
    EXPECT_TRUE(m_poSink->take().isEmpty());
    useMercator();
    for (const QByteArray& baBad : {QByteArray("$GPGGA,1,,N,00500.000,E"), QByteArray("$GPGGA,1,6000.000,N,east,E")}) {
        dispatch(baBad);
        EXPECT_TRUE(m_poSink->take().isEmpty()) << baBad.constData();
    }
    dispatch("$GPGGA,123519,6000.000,S,00500.000,W,1");
    const QStringList lstCalls = m_poSink->take();
    ASSERT_EQ(lstCalls.size(), 2);
    // Mercator in centimetres: 5 degrees west is -55,659,745 cm; 60 degrees south far below.
    const QStringList lstArgs = lstCalls.at(0).mid(13).chopped(1).split(QLatin1Char('|'));
    ASSERT_EQ(lstArgs.size(), 4);
    EXPECT_NEAR(lstArgs.at(0).toDouble(), -55659745.0, 2.0);
    EXPECT_LT(lstArgs.at(1).toDouble(), -800000000.0);
    EXPECT_EQ(lstArgs.at(2), QStringLiteral("0"));
    EXPECT_EQ(lstArgs.at(3), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(lstCalls.at(1), QStringLiteral("moveToVessel(0|0|0)"));
}

TEST_F(RuntimeDispatch, QaCommandsAndTheirArguments)
{
    struct Case {
        QByteArray datagram;
        QStringList calls;
    };
    const Case aCases[] = {
        {"$PQQEL,CVN_CLOSE_GRID", {QStringLiteral("closeAllSurveys()")}},
        {"$PQQEL,CVN_ACT_LINE,7,", {QStringLiteral("activatePlanLine(7)")}},
        {"$PQQEL,CVN_ACT_LINE,-1,", {}},
        {"$PQQEL,CVN_ACT_LINE,x,", {}}, // not a number: dropped, the next datagram goes on
        {"$PQQEL,CVN_ACT_LINE,99999999999,", {}},
        {"$PQQEL,CVN_DEACT_LINE", {QStringLiteral("activatePlanLine(-1)")}},
        {"$PQQEL,CVN_LOGSTATE,0", {QStringLiteral("setLoggingState(0)")}},
        {"$PQQEL,CVN_LOGSTATE, 2", {QStringLiteral("setLoggingState(1)")}},
        {"$PQQEL,CVN_HIDE_PLAN", {QStringLiteral("openPlanJob()")}},
        {"$PQQEL,DYN_OBJ,buoy,1.5,2.5,-3,G", {QStringLiteral("addDynamicObject(buoy|1.5,2.5,-3,G)")}},
        {"$PQQEL,DYN_OBJ,buoy,1.5", {QStringLiteral("addDynamicObject(buoy|1.5,,,)")}},
        {"$PQQEL,CORR_WIDTH,12.5", {QStringLiteral("setCorridorWidth(12.5)")}},
        {"$PQQEL,CORR_WIDTH,inf", {}},
        {"$PQQEL,CORR_WIDTH,", {}},
        {"$PQQEL,MAP_ROTATION,45", {}},
        {"$PQQEL,SHOW_GRID", {}},
        {"$PQQEL,TVGPL_TGM,GET_NEW_LINE", {QStringLiteral("addTvgplObject(LINE)")}},
        {"$PQQEL,TVGPL_TGM,GET_NEW_POLYGON", {QStringLiteral("addTvgplObject(POLYGON)")}},
        {"$PQQEL,TVGPL_TGM,GET_SELECTIONS,a", {QStringLiteral("selectTvgplObjects($PQQEL,TVGPL_TGM,GET_SELECTIONS,a\n\r)")}},
        // Grid folders and plans from the network stay below their roots.
        {"$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/V/S", {QStringLiteral("surveyLoadGrid(C:/qeldata/grids/V/S|0)")}},
        {"$PQQEL,CVN_OPEN_GRID,c:\\QELDATA\\grids\\V\\S", {QStringLiteral("surveyLoadGrid(c:/QELDATA/grids/V/S|0)")}},
        {"$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/../../Windows", {}},
        {"$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/", {}},
        {"$PQQEL,CVN_OPEN_GRID,D:/elsewhere/S", {}},
        {"$PQQEL,CVN_OPEN_GRID", {}},
        {"$PQQEL,CVN_SHOW_PLAN,C:/qeldata/grids/V/corv.asciiplan",
         {QStringLiteral("openPlanJob(C:/qeldata/grids/V/corv.asciiplan)")}},
        {"$PQQEL,CVN_SHOW_PLAN,C:\\ProgramData\\Tavrin Nautic\\tqel\\plans\\p.asciiplan",
         {QStringLiteral("openPlanJob(C:/ProgramData/Tavrin Nautic/tqel/plans/p.asciiplan)")}},
        {"$PQQEL,CVN_SHOW_PLAN,C:/Users/x/p.asciiplan", {}},
        // A checksum, when there is one, must be right.
        {"$PQQEL,CVN_CLOSE_GRID*00", {}},
    };
    for (const Case& oCase : aCases) {
        dispatch(oCase.datagram);
        EXPECT_EQ(m_poSink->take(), oCase.calls) << oCase.datagram.constData();
    }
    // The right checksum of "PQQEL,CVN_CLOSE_GRID".
    unsigned char nSum = 0;
    for (const char c : QByteArray("PQQEL,CVN_CLOSE_GRID"))
        nSum ^= static_cast<unsigned char>(c);
    dispatch("$PQQEL,CVN_CLOSE_GRID*" + QByteArray::number(nSum, 16).rightJustified(2, '0').toUpper());
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("closeAllSurveys()")});
}

TEST_F(RuntimeDispatch, DriveOfGridAndPlanFromTheToken)
{
    struct Case {
        const char* token;
        QStringList calls;
    };
    const Case aCases[] = {
        {"E", {QStringLiteral("surveyLoadGrid(E:/qeldata/grids/V/S|0)"), QStringLiteral("openPlanJob(E:/qeldata/grids/V/p.asciiplan)")}},
        {"EF", {QStringLiteral("surveyLoadGrid(C:/qeldata/grids/V/S|0)"), QStringLiteral("openPlanJob(C:/qeldata/grids/V/p.asciiplan)")}},
        {"", {QStringLiteral("surveyLoadGrid(C:/qeldata/grids/V/S|0)"), QStringLiteral("openPlanJob(C:/qeldata/grids/V/p.asciiplan)")}},
    };
    for (const Case& oCase : aCases) {
        corvtest::writeTokens(QJsonArray{corvtest::token("CORV_GRID_PATH", 3, QLatin1String(oCase.token))});
        dispatch("$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/V/S");
        dispatch("$PQQEL,CVN_SHOW_PLAN,C:/qeldata/grids/V/p.asciiplan");
        EXPECT_EQ(m_poSink->take(), oCase.calls) << oCase.token;
    }
}

TEST_F(RuntimeDispatch, PulsorStatusSlots)
{
    QSignalSpy oSpy(m_poRuntime.get(), &CUlmaRuntime::sigUpdatePulsor);
    struct Case {
        QByteArray datagram;
        QStringList names;
        QList<int> status;
    };
    const QString strNot = QStringLiteral("Not in use");
    QByteArray baNine = "$PQTVQ,9";
    for (int i = 0; i < 9; ++i)
        baNine += ",U" + QByteArray::number(i) + "," + QByteArray::number(i * 10);
    const Case aCases[] = {
        {"$PQTVQ,3,A,1,B,2,C,x",
         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), strNot, strNot, strNot, strNot},
         {1, 2, 0, -1, -1, -1, -1}},
        {baNine,
         {QStringLiteral("U0"), QStringLiteral("U1"), QStringLiteral("U2"), QStringLiteral("U3"), QStringLiteral("U4"),
          QStringLiteral("U5"), QStringLiteral("U6")},
         {0, 10, 20, 30, 40, 50, 60}},
        {"$PQTVQ,3,A,1,B,2,C,3,D", {strNot, strNot, strNot, strNot, strNot, strNot, strNot}, {-1, -1, -1, -1, -1, -1, -1}},
        {"$PQTVQ,0", {strNot, strNot, strNot, strNot, strNot, strNot, strNot}, {-1, -1, -1, -1, -1, -1, -1}},
        {"$PQTVQ,1," + QByteArray(300, 'x'), {strNot, strNot, strNot, strNot, strNot, strNot, strNot}, {-1, -1, -1, -1, -1, -1, -1}},
    };
    for (const Case& oCase : aCases) {
        oSpy.clear();
        dispatch(oCase.datagram);
        ASSERT_EQ(oSpy.size(), 1) << oCase.datagram.constData();
        EXPECT_EQ(oSpy.at(0).at(0).toStringList(), oCase.names) << oCase.datagram.constData();
        QList<int> lstStatus;
        for (int i = 0; i < 7; ++i)
            lstStatus << m_poRuntime->pulsorStatus()[i];
        EXPECT_EQ(lstStatus, oCase.status) << oCase.datagram.constData();
    }
}

TEST_F(RuntimeDispatch, ProjectionTextIsAppliedOnceAndNeverEchoed)
{
    const QString strTmp = programDataPath() + QStringLiteral("/tmpProj.txt");
    dispatch("$PQQEL,CVN_PROJECTION," + s_baProjection + "\n\r");
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("updateProj(") + strTmp + ")"});
    QFile oFile(localPath(strTmp));
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(oFile.readAll(), s_baProjection.chopped(2) + "\n");
    EXPECT_TRUE(m_poRuntime->projection()->isValid());

    // Our own projection coming back (as the view sends it on) is not passed on again.
    dispatch("$PQQEL,CVN_PROJECTION," + s_baProjection.chopped(2) + "\n" + "\n\r");
    EXPECT_TRUE(m_poSink->take().isEmpty());
    // A text PROJ rejects leaves the view's projection, the runtime's and "tmpProj.txt" alone.
    dispatch("$PQQEL,CVN_PROJECTION,<QEL_Projection>\r\nEPSG:4326\r\n+proj=nonsense\r\n");
    dispatch("$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/CVN_PROJECTION");
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("surveyLoadGrid(C:/qeldata/grids/CVN_PROJECTION|0)")});
    EXPECT_TRUE(m_poRuntime->projection()->isValid());
    const auto readTmp = [&strTmp] {
        QFile oNow(localPath(strTmp)); // replaced whole, so opened anew
        return oNow.open(QIODevice::ReadOnly) ? oNow.readAll() : QByteArray();
    };
    EXPECT_EQ(readTmp(), s_baProjection.chopped(2) + "\n");

    // Any QA datagram naming the projection carries its text after the first 22 bytes, also
    // under a keyword of its own.
    const QByteArray baUtm = "<QEL_Projection>\nEPSG:4326\n+proj=utm +zone=31 +ellps=WGS84 +units=cm\n";
    dispatch("$PQQEL,NEW_PROJECTION," + baUtm + "CVN_PROJECTION");
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("updateProj(") + strTmp + ")"});
    EXPECT_TRUE(readTmp().startsWith(baUtm));
}

TEST_F(RuntimeDispatch, FirstConfigurationWaitsOnATimerAndKeepsOrder)
{
    GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CorvMcastGrp"), QStringLiteral("239.1.1.1"));
    const QByteArray baFirst = "$GUICONF,default,,AB2200_1,AB2200_1,a,b,c,1,1,1,1,x,y,C:/qeldata/grids/S1";
    const QByteArray baSecond = "$GUICONF,default,,AB2200_1,AB2200_1,a,b,c,1,1,1,2,x,y,C:/qeldata/grids/S2";
    QElapsedTimer oTimer;
    oTimer.start();
    dispatch(baFirst);
    dispatch(baSecond);
    // Other datagrams are not held up meanwhile.
    dispatch("$ACTVESS,1");
    EXPECT_EQ(relays(), QStringList{QStringLiteral("499:$ACTVESS,1\n\r")});
    auto relays457 = [this] {
        QStringList lstOut;
        for (const QList<QVariant>& lstArgs : *m_poRelays)
            if (lstArgs.at(0).toInt() == 457)
                lstOut << lstArgs.at(1).toString();
        return lstOut;
    };
    ASSERT_TRUE(corvtest::waitUntil([&] { return relays457().size() == 2; }, 10000));
    EXPECT_GE(oTimer.elapsed(), 1900);
    EXPECT_EQ(relays457(), (QStringList{QStringLiteral("AB2200_1;0001;1"), QStringLiteral("AB2200_1;0002;1")}));
    EXPECT_EQ(m_poRuntime->getVesselGridPath(QStringLiteral("default")), QStringLiteral("C:/qeldata/grids/S2"));
    m_poRelays->clear();
    // Later ones are applied at once.
    dispatch("$GUICONF,default,,AB2200_1,AB2200_1,a,b,c,1,1,1,3,x,y,C:/qeldata/grids/S3");
    EXPECT_EQ(relays457(), QStringList{QStringLiteral("AB2200_1;0003;1")});
}

} // namespace

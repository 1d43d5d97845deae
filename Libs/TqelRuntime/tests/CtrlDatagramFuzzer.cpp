// libFuzzer entry: arbitrary datagrams through the runtime link's control dispatch (and the
// display-station configuration directly, which the dispatch first holds back on a timer) and
// through the depth and position handlers, with the GUI side recorded instead of posted.
#include "RecordingGuiSink.h"

#include "TqelRuntime/UlmaRuntime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstddef>
#include <filesystem>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

const char* const s_aszSeeds[] = {
    "$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/V/S",
    "$PQQEL,CVN_ACT_LINE,7,",
    "$PQQEL,DYN_OBJ,buoy,1.5,2.5,-3,G",
    "$PQQEL,CORR_WIDTH,12.5",
    "$PQQEL,TVGPL_TGM,GET_SELECTIONS,a",
    "$PQQEL,CVN_PROJECTION,<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n",
    "$GPGGA,123519,6000.000,S,00500.000,W,1",
    "$PQTVQ,3,A,1,B,2,C,3",
    "$PSIMSSB,1,SSB1,A,x,R,x,x,1.0471975512,0.1745329252,12.5",
    "$ACTVESS,alpha",
    "$GUICONF,default,AB770_7,AB2200P_101:AB770_7,AB2200P_101:x,f5,f6,f7,-3,5,7,42,f12,a:b,D:\\grids\\S1,f15,f16",
    "$QELPLANFILE",
    "$TVQEL,0,450,default:S1,A:B,S2:S1",
    "$TVQEL,470,PU1,1700000000000,13,Disk,full",
    "$TVQEL,0,461,default:S1,f4,D:/Surveys/A,f6",
    "$TVQEL,401,x,[{\"id\":\"RUNT_PARAM_PU_ANGLE_PORT_RX1\",\"value\":65}]",
};

CUlmaRuntime* runtime()
{
    static auto s_poSink = std::make_shared<RecordingGuiSink>();
    static CUlmaRuntime s_oRuntime(3, s_poSink);
    s_poSink->take();
    return &s_oRuntime;
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* pnArgc, char*** ppszArgv)
{
    // Files the handlers write (gui.ini on nearly every configuration datagram) stay in a folder
    // of the run, in memory where there is such a file system: a disk write per input was most
    // of the time of an input.
    const QString strTemp = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString strRoot = strTemp + QStringLiteral("/corv-ctrl-fuzz-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(strRoot);
    // The run's folder goes with the run.
    static const std::string s_strRoot = strRoot.toStdString();
    std::atexit([] { std::filesystem::remove_all(s_strRoot); });
    setenv("CORV_WINROOT", strRoot.toLocal8Bit().constData(), 0);
    setenv("ProgramData", "C:\\ProgramData", 0);
    static QCoreApplication s_oApp(*pnArgc, *ppszArgv);
    // A line per input on the console cost more than the input.
    if (!std::getenv("CORV_FUZZ_VERBOSE"))
        qInstallMessageHandler(dropMessage);
    if (const char* szSeedDir = std::getenv("CORV_FUZZ_SEED_DIR")) {
        int nSeed = 0;
        for (const char* szSeed : s_aszSeeds) {
            QFile oFile(QStringLiteral("%1/ctrl-seed-%2").arg(QLatin1String(szSeedDir)).arg(nSeed++));
            if (oFile.open(QIODevice::WriteOnly))
                oFile.write(szSeed);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CUlmaRuntime* poRuntime = runtime();
    QByteArray baDatagram(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    baDatagram.append("\n\r");
    if (baDatagram.startsWith("$GUICONF"))
        poRuntime->processGUISetup(baDatagram);
    poRuntime->processCtrlDatagrams(baDatagram, QStringLiteral("127.0.0.1"));
    // The same bytes as they arrive on the depth and position sockets.
    QByteArray baDepth(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    poRuntime->processRTDepths(baDepth);
    QByteArray baPosition(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    poRuntime->processShipPosition(baPosition, QStringLiteral("127.0.0.1"));
    return 0;
}

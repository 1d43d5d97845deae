// libFuzzer entry: files as a main station sends them to a remote station, through the link's
// record decoding and the storing of tiles, grid files and plans. The input is the record's name,
// folder and bytes, one line each (or, when it starts with the record's own first byte, a whole
// record). Whatever it holds, nothing is written outside the data folder's grid root and plans.
#include "QelRecord/QelData.h"
#include "RecordingGuiSink.h"
#include "TqelRuntime/UlmaRuntime.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cstddef>
#include <filesystem>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

QString s_strRoot;

CUlmaRuntime* runtime()
{
    static auto s_poSink = std::make_shared<RecordingGuiSink>();
    static CUlmaRuntime s_oRuntime(3, s_poSink);
    s_poSink->take();
    return &s_oRuntime;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* pnArgc, char*** ppszArgv)
{
    const QString strTemp = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    s_strRoot = strTemp + QStringLiteral("/corv-received-fuzz-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(s_strRoot);
    // The run's folder goes with the run.
    std::atexit([] { std::filesystem::remove_all(s_strRoot.toStdString()); });
    setenv("CORV_WINROOT", s_strRoot.toLocal8Bit().constData(), 1);
    setenv("ProgramData", "C:\\ProgramData", 0);
    static QCoreApplication s_oApp(*pnArgc, *ppszArgv);
    if (!std::getenv("CORV_FUZZ_VERBOSE"))
        qInstallMessageHandler(dropMessage);
    // Small quotas: the run's disk use stays small, and the quota's edge is reached.
    runtime()->setReceivedTileQuota(256 * 1024, 64);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CUlmaRuntime* poRuntime = runtime();
    const QByteArray baInput(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    QByteArray baRecord;
    if (!baInput.isEmpty() && (static_cast<unsigned char>(baInput.at(0)) & 0xE0) == 0xA0) {
        baRecord = baInput;
    } else {
        const QList<QByteArray> lstParts = baInput.split('\n');
        CQelData oRecord;
        oRecord.MessageType = QString::fromUtf8(lstParts.value(0));
        oRecord.SourcePath = QString::fromUtf8(lstParts.value(1));
        oRecord.VesselID = QStringLiteral("default");
        oRecord.Data = baInput.mid(lstParts.value(0).size() + lstParts.value(1).size() + 2);
        baRecord = oRecord.serialize();
    }
    poRuntime->handlePUDataTCP(new std::string(baRecord.constData(), static_cast<std::size_t>(baRecord.size())));
    // The storing runs on the link's thread, here this one.
    QCoreApplication::sendPostedEvents();

    // Every file of the run stays below the grid root or the plans folder.
    static const QString s_strGrids = QDir(s_strRoot).absoluteFilePath(QStringLiteral("c/qeldata/Grids"));
    static const QString s_strData = QDir(s_strRoot).absoluteFilePath(QStringLiteral("c/ProgramData"));
    QDirIterator oWalk(s_strRoot, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (oWalk.hasNext()) {
        const QString strFile = oWalk.next();
        if (!strFile.startsWith(s_strGrids) && !strFile.startsWith(s_strData))
            __builtin_trap();
    }
    return 0;
}

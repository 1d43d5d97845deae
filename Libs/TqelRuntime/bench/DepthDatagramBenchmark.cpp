// A depth datagram of 1,199 soundings in the position form through the runtime link: read,
// projected in one batch and posted to the GUI thread, once per datagram (update interval 0).
#include "Common/CorvPaths.h"
#include "Projection/QelProjection.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>

namespace {

constexpr int Soundings = 1199;

QByteArray positionForm(quint16 nSequence)
{
    QByteArray baBytes(32 + 40 * Soundings, '\0');
    qToLittleEndian<quint16>(nSequence, baBytes.data() + 24);
    qToLittleEndian<quint16>(Soundings, baBytes.data() + 26);
    for (int i = 0; i < Soundings; ++i) {
        char* pRecord = baBytes.data() + 32 + 40 * i;
        qToLittleEndian<double>(60.0 + i * 1e-6, pRecord);
        qToLittleEndian<double>(5.0 + i * 1e-6, pRecord + 8);
        qToLittleEndian<qint32>(2500 + i, pRecord + 16);
    }
    return baBytes;
}

void DepthDatagramToGuiThread(benchmark::State& oState)
{
    int nArgc = 1;
    char szName[] = "depth_datagram_benchmark";
    char* aszArgv[] = {szName, nullptr};
    static QCoreApplication s_oApp(nArgc, aszArgv);
    QTemporaryDir oRoot;
    qputenv("CORV_WINROOT", oRoot.path().toLocal8Bit());
    qputenv("ProgramData", "C:\\ProgramData");
    platform::ensureWindowsEnvironment();

    // The posting sink queues each hand-over on this (the GUI) thread; no viewer takes it.
    CUlmaRuntime oLink(3, std::make_shared<CPostingGuiSink>());
    const QString strFile = programDataPath() + QStringLiteral("merc.txt");
    QDir().mkpath(platform::toNativePath(programDataPath()));
    QFile oFile(platform::toNativePath(strFile));
    if (!oFile.open(QIODevice::WriteOnly)) {
        oState.SkipWithError("no data folder");
        return;
    }
    oFile.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n");
    oFile.close();
    oLink.setProjFile(strFile.toStdString());
    qint64 nNow = 1700000000000;
    oLink.setClock([&nNow] { return nNow; });

    quint16 nSequence = 0;
    QByteArray baDatagram = positionForm(nSequence);
    for (auto _ : oState) {
        nNow += 1;
        qToLittleEndian<quint16>(nSequence++, baDatagram.data() + 24);
        oLink.processRTDepths(baDatagram);
        oState.PauseTiming();
        QCoreApplication::processEvents();
        oState.ResumeTiming();
    }
    oState.SetItemsProcessed(oState.iterations() * Soundings);
}

BENCHMARK(DepthDatagramToGuiThread)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

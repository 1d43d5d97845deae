// A 51 MB batch of terrain tiles collected and uploaded to a loopback collector: throughput and
// the peak memory the upload adds, as a multiple of the batch.
#include "../tests/HttpPeer.h"
#include "VirelleConnector/EdgeConnector.h"
#include "VirelleConnector/VirelleConnector.h"
#include "test_wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

constexpr int s_nTiles = 51;
constexpr int s_nTileBytes = 1000 * 1000;

qint64 statusKb(const char* field)
{
    std::ifstream oStatus("/proc/self/status");
    std::string strLine;
    const std::string strField = std::string(field) + ":";
    while (std::getline(oStatus, strLine))
        if (strLine.rfind(strField, 0) == 0)
            return std::stoll(strLine.substr(strField.size()));
    return 0;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_UploadBatch(benchmark::State& state)
{
    QTemporaryDir oDir;
    const QString strTerrain = QDir(oDir.path()).filePath("survey/terrain/zMedian");
    QDir().mkpath(strTerrain);
    QByteArray baTile(s_nTileBytes, 'x');
    for (int i = 0; i < s_nTiles; ++i) {
        QFile oFile(QStringLiteral("%1/t%2.tiff").arg(strTerrain).arg(i));
        oFile.open(QIODevice::WriteOnly);
        baTile[0] = char(i);
        oFile.write(baTile);
    }
    baTile.clear();
    const qint64 nBatch = qint64(s_nTiles) * s_nTileBytes;

    double dPeakRatio = 0;
    for (auto _ : state) {
        HttpPeer oPeer;
        oPeer.keepBodies = false;
        CEdgeConnector oClient;
        oClient.setHostPort(oPeer.port());
        CVirelleConnector oUploader;
        oUploader.setEdgeConnector(&oClient);
        oUploader.setTerrainFolder(QFileInfo(strTerrain).path());
        oUploader.setDataKinds({CVirelleConnector::s_nKindTerrain});
        int nFinished = 0;
        QObject::connect(&oClient, &CEdgeConnector::edgeUploadFinished, [&] { ++nFinished; });
        QCoreApplication::processEvents();
        const qint64 nBaseKb = statusKb("VmRSS");
        resetPeak();
        oUploader.transferFileDataInternal();
        if (!corvtest::waitUntil([&] { return nFinished == s_nTiles; }, 120000))
            state.SkipWithError("uploads did not finish");
        const qint64 nPeakKb = statusKb("VmHWM");
        dPeakRatio = double(nPeakKb - nBaseKb) * 1024.0 / double(nBatch);
        benchmark::DoNotOptimize(oPeer.bodyBytes);
    }
    state.SetBytesProcessed(state.iterations() * nBatch);
    state.counters["peak_over_batch"] = dPeakRatio;
}

BENCHMARK(BM_UploadBatch)->Unit(benchmark::kMillisecond)->Iterations(1); // one run: freed heap of an earlier run would hide the peak

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication oApp(argc, argv);
    qputenv("CORV_WINROOT", QDir::temp().filePath("corv-upload-bench").toUtf8());
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Q_UNUSED(previous);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

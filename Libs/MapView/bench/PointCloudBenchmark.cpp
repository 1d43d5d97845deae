// Read-back of a generated point file: 1,000,000 lines read, projected in batches on a worker
// thread and handed over to the thread that shows them. The target is 2 million points a second.
#include "MapView/PointCloudFiles.h"
#include "MapView/PointCloudProjection.h"

#include "Projection/Projection.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr int PointLines = 1000000;

void useFreshRoot()
{
    static QTemporaryDir root;
    qputenv("CORV_WINROOT", QDir(root.path()).filePath(QStringLiteral("root")).toUtf8());
    qputenv("ProgramData", "C:\\ProgramData");
}

// A generator output of one million soundings around 59 N 10 E.
QString pointFile()
{
    static QTemporaryDir folder;
    const QString strPath = QDir(folder.path()).filePath(QStringLiteral("points.csv"));
    if (QFile::exists(strPath))
        return strPath;
    QFile oFile(strPath);
    oFile.open(QIODevice::WriteOnly);
    QByteArray baText;
    baText.reserve(PointLines * 40);
    for (int i = 0; i < PointLines; ++i) {
        baText += QByteArray::number(59.0 + 1e-6 * (i % 100000), 'f', 9) + ',';
        baText += QByteArray::number(10.0 + 1e-6 * (i / 100000), 'f', 9) + ',';
        baText += QByteArray::number(-20.0 - 1e-3 * (i % 997), 'f', 3) + '\n';
    }
    oFile.write(baText);
    return strPath;
}

void readBack(benchmark::State& state, const pointcloud::Projector& fnProject)
{
    const QString strPath = pointFile();
    std::size_t nPoints = 0;
    for (auto _ : state) {
        // Read and projected off the receiving thread, then moved to it.
        std::promise<std::vector<double>> oHandOver;
        std::thread oWorker([&] {
            long long nLines = 0;
            oHandOver.set_value(pointcloud::readPointFile(strPath, nLines, 10000000, fnProject));
        });
        std::vector<double> vShown = oHandOver.get_future().get();
        oWorker.join();
        nPoints = vShown.size() / 3;
        benchmark::DoNotOptimize(vShown.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * PointLines);
    state.counters["points"] = static_cast<double>(nPoints);
}

void BM_PointFileReadBack(benchmark::State& state)
{
    useFreshRoot();
    CProjection* poProjection = CProjection::instance();
    readBack(state, pointcloud::copiedProjection(poProjection->sourceCrs(), poProjection->targetCrs()));
}
BENCHMARK(BM_PointFileReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same without the projection: what reading and parsing cost alone.
void BM_PointFileReadOnly(benchmark::State& state)
{
    readBack(state, [](std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes, double* pdNorths,
                       double* pdEasts) {
        std::copy(pdLatitudes, pdLatitudes + nCount, pdNorths);
        std::copy(pdLongitudes, pdLongitudes + nCount, pdEasts);
        return 0;
    });
}
BENCHMARK(BM_PointFileReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

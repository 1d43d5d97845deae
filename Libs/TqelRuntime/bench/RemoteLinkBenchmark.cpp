// Terrain tiles through the remote-station link over loopback into files: the sender packs each
// tile into a record and writes its frame, the receiver reads the record and stores the tile.
// Reports throughput and how far the receiving process's peak memory grew, in frames.
#include "QelRecord/QelData.h"
#include "cvnsocktcp/client.h"
#include "cvnsocktcp/framing.h"
#include "cvnsocktcp/io_thread.h"
#include "cvnsocktcp/server.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The process's peak resident memory (kB) since the last resetPeakRss().
long peakRssKb()
{
    QFile oStatus(QStringLiteral("/proc/self/status"));
    if (!oStatus.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& baLine : oStatus.readAll().split('\n'))
        if (baLine.startsWith("VmHWM:"))
            return baLine.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void resetPeakRss()
{
    QFile oClear(QStringLiteral("/proc/self/clear_refs"));
    if (oClear.open(QIODevice::WriteOnly))
        oClear.write("5");
}

// The main station in a process of its own, so that the peak memory measured here is the
// receiver's: it sends one tile frame for every byte read from 'nControl'.
[[noreturn]] void runSender(int nControl, int nPortOut, int nTileBytes)
{
    QByteArray baTile(nTileBytes, Qt::Uninitialized);
    for (int n = 0; n < nTileBytes; ++n)
        baTile[n] = static_cast<char>(n * 31 + (n >> 9));
    ua::cvnsocktcp::io_thread oIo;
    auto poServer = ua::cvnsocktcp::make_server(oIo.context());
    poServer->listen("127.0.0.1:0");
    oIo.start();
    while (poServer->local_port() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const unsigned short nPort = poServer->local_port();
    if (::write(nPortOut, &nPort, sizeof nPort) != sizeof nPort)
        std::_Exit(1);
    std::string strFrame;
    char cCommand = 0;
    while (::read(nControl, &cCommand, 1) == 1) {
        const QByteArray baRecord = CQelData::packDefaultVessel(QStringLiteral("/g/S1/Terrain/zMedian/5/3/a.tiff"), baTile);
        ua::cvnsocktcp::make_frame(std::string_view(baRecord.constData(), baRecord.size()), strFrame);
        poServer->write(strFrame);
    }
    std::_Exit(0);
}

void BM_TilesThroughTheLinkIntoFiles(benchmark::State& state)
{
    const int nTileBytes = static_cast<int>(state.range(0));
    int aControl[2];
    int aPort[2];
    if (::pipe(aControl) != 0 || ::pipe(aPort) != 0) {
        state.SkipWithError("no pipes");
        return;
    }
    const pid_t nSender = ::fork();
    if (nSender == 0) {
        ::close(aControl[1]);
        ::close(aPort[0]);
        runSender(aControl[0], aPort[1], nTileBytes);
    }
    ::close(aControl[0]);
    ::close(aPort[1]);
    unsigned short nPort = 0;
    if (::read(aPort[0], &nPort, sizeof nPort) != sizeof nPort) {
        state.SkipWithError("the sender did not start");
        return;
    }
    ::close(aPort[0]);

    QTemporaryDir oFolder;
    resetPeakRss();
    const long nBaselineKb = peakRssKb();
    ua::cvnsocktcp::io_thread oIo;
    std::mutex oMutex;
    std::condition_variable oStored;
    long nStored = 0;
    std::size_t nFrameBytes = 0;
    bool bFailed = false;
    auto poClient = ua::cvnsocktcp::client_handle::make(oIo.context());
    poClient->set_data_callback([&](std::string* pPayload) {
        const std::unique_ptr<std::string> poPayload(pPayload);
        const std::size_t nBytes = poPayload->size() + 4;
        const auto poRecord = CQelData::deserialize(poPayload->data(), poPayload->size());
        QFile oFile(QDir(oFolder.path()).filePath(QString::number(nStored % 8) + QStringLiteral(".tiff")));
        const bool bOk = poRecord && oFile.open(QIODevice::WriteOnly | QIODevice::Truncate)
                         && oFile.write(poRecord->Data) == poRecord->Data.size();
        std::lock_guard<std::mutex> oLock(oMutex);
        bFailed = bFailed || !bOk;
        nFrameBytes = nBytes;
        ++nStored;
        oStored.notify_all();
    });
    poClient->connect("127.0.0.1:" + std::to_string(nPort));
    oIo.start();

    long nSent = 0;
    for (auto _ : state) {
        const char cSend = 's';
        if (::write(aControl[1], &cSend, 1) != 1)
            break;
        ++nSent;
        std::unique_lock<std::mutex> oLock(oMutex);
        oStored.wait(oLock, [&] { return nStored == nSent; });
    }
    ::close(aControl[1]);
    int nStatus = 0;
    ::waitpid(nSender, &nStatus, 0);
    poClient.reset();
    if (bFailed)
        state.SkipWithError("a tile was not stored");
    state.SetBytesProcessed(static_cast<int64_t>(nFrameBytes) * nSent);
    state.counters["frame_MB"] = static_cast<double>(nFrameBytes) / 1e6;
    // The receiver's growth of peak memory over the frame: body buffer, payload and tile.
    state.counters["receiver_peak_in_frames"] =
        static_cast<double>(peakRssKb() - nBaselineKb) * 1024.0 / static_cast<double>(nFrameBytes);
}

} // namespace

// A 7,800,000-byte tile makes a frame of about 10.4 MB, just below the link's limit.
BENCHMARK(BM_TilesThroughTheLinkIntoFiles)->Arg(7800000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();

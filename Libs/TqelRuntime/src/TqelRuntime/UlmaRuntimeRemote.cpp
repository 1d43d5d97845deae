// The runtime link's side of the remote-station link: the server and file senders of a main
// station, the client and file receiver of a remote station.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/CorvPaths.h"
#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QelRecord/FileCollector.h"
#include "QelRecord/QelData.h"
#include "SurveyUtils/Navigation.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "cvnsocktcp/client.h"
#include "cvnsocktcp/framing.h"
#include "cvnsocktcp/io_thread.h"
#include "cvnsocktcp/server.h"
#include "TqelRuntime/PositionFix.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/unique_fd.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QHash>
#include <QNetworkInterface>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <deque>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const s_szListenText = "0.0.0.0:16655";
const char* const s_szServerPort = "16655";
const char* const s_szGridRoot = "C:/qeldata/Grids/";
const char* const s_szConverter = ".\\Converter\\Tavrin.Quennet.Converter.exe";
const char* const s_szConverterFolder = ".\\Converter";
const char* const s_szConverterImage = "/Tavrin.Quennet.Converter.exe";
const char* const s_szVessel = "default";

// Largest record of a frame: tiles fill the 10,485,760-byte frame buffer; projection files,
// grid indexes and plans go through the 102,400-byte buffer.
constexpr int s_nMaxTileRecord = 10485756;
constexpr int s_nMaxFileRecord = 102396;
constexpr int s_nGridInterval = 10000;
// Received frames waiting for the runtime thread to store them; beyond this they are dropped.
constexpr qint64 s_nMaxWaitingBytes = 64 * 1024 * 1024;
// Received tiles kept per survey, and the surveys a run takes tiles for.
constexpr qint64 s_nDefaultTileQuotaBytes = Q_INT64_C(2) * 1024 * 1024 * 1024;
constexpr int s_nDefaultTileQuotaFiles = 100000;
constexpr int s_nMaxReceivedSurveys = 64;
constexpr int s_nMaxNameLength = 255;

// Grid converters: at most this many run at once, this many more wait their turn.
constexpr std::size_t s_nMaxConverters = 2;
constexpr std::size_t s_nMaxWaitingConverters = 32;
constexpr int s_nConverterPollMs = 1000;
// At the end of the link a converter gets this long to end after it was asked to.
constexpr int s_nConverterEndWaitMs = 3000;
// A failed write of a received file shows a box at most this often.
constexpr qint64 s_nStoreWarningIntervalMs = 60000;

log4cplus::Logger runtimeLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
}

void logInfo(const QString& strText)
{
    LOG4CPLUS_INFO(runtimeLogger(), strText.toLocal8Bit().constData());
}

void logError(const QString& strText)
{
    LOG4CPLUS_ERROR(runtimeLogger(), strText.toLocal8Bit().constData());
}

// A folder or file name from a peer that stays where it is put: not empty, not made of dots
// alone, no separator, drive, control character, leading or trailing blank or trailing dot
// (which some file systems drop, making two names one).
bool isPlainName(const QString& strName)
{
    if (strName.isEmpty() || strName.size() > s_nMaxNameLength || strName.trimmed() != strName
        || strName.endsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : strName)
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
            return false;
    return true;
}

// Writes a whole file below a root folder, replacing an older one; a symbolic link in the way
// (the file itself or a folder below the root) is never followed. The error text on failure.
QString writeBelow(const QString& strRootNative, const QString& strNative, const QByteArray& baData)
{
    const QString strRoot = QDir::cleanPath(strRootNative);
    const QString strFile = QDir::cleanPath(strNative);
    if (!strFile.startsWith(strRoot + QLatin1Char('/')))
        return QStringLiteral("outside the data folder");
    const QStringList lstParts = strFile.mid(strRoot.size() + 1).split(QLatin1Char('/'));
    QDir().mkpath(strRoot);
    QString strFolder = strRoot;
    for (int i = 0; i + 1 < lstParts.size(); ++i) {
        strFolder += QLatin1Char('/') + lstParts.at(i);
        const QFileInfo oFolder(strFolder);
        if (oFolder.isSymLink())
            return QStringLiteral("a symbolic link is in the way: ") + strFolder;
        if (!oFolder.exists() && !QDir().mkdir(strFolder))
            return QStringLiteral("cannot create the folder ") + strFolder;
        if (!QFileInfo(strFolder).isDir())
            return QStringLiteral("not a folder: ") + strFolder;
    }
    const platform::UniqueFd oFd(::open(QFile::encodeName(strFile).constData(),
                                        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!oFd)
        return QString::fromLocal8Bit(std::strerror(errno));
    const char* pData = baData.constData();
    qint64 nLeft = baData.size();
    while (nLeft > 0) {
        const ssize_t nWritten = ::write(oFd.get(), pData, static_cast<std::size_t>(nLeft));
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        pData += nWritten;
        nLeft -= nWritten;
    }
    return QString();
}

QString gridRootNative()
{
    return platform::toNativePath(QLatin1String(s_szGridRoot));
}

// Only the first position datagram of the process starts the client.
std::atomic<bool> g_bRemoteClientStarted{false};

// Whether a converter still runs (not ended, not a zombie waiting to be collected, and its
// process id not taken by another program since).
bool processRunning(qint64 nPid)
{
    QFile oStat(QStringLiteral("/proc/%1/stat").arg(nPid));
    QFile oCommand(QStringLiteral("/proc/%1/cmdline").arg(nPid));
    if (nPid <= 0 || !oStat.open(QIODevice::ReadOnly) || !oCommand.open(QIODevice::ReadOnly))
        return false;
    const QByteArray baStat = oStat.read(512);
    const int nEnd = baStat.lastIndexOf(')');
    if (nEnd < 0 || nEnd + 2 >= baStat.size())
        return false;
    const char cState = baStat.at(nEnd + 2);
    const QByteArray baProgram = oCommand.read(4096).split('\0').value(0);
    return cState != 'Z' && cState != 'X' && baProgram.endsWith(s_szConverterImage);
}

QString gridFolderOf(const QString& strVessel, const QString& strSurvey)
{
    return QStringLiteral("%1%2/%3/").arg(QLatin1String(s_szGridRoot), strVessel, strSurvey);
}

} // namespace

// Everything of the remote-station link that one runtime link holds.
class CRemoteLinkState {
public:
    std::unique_ptr<ua::cvnsocktcp::io_thread> poIo; // created on first need, shared by server and client
    std::shared_ptr<ua::cvnsocktcp::server> poServer;
    std::unique_ptr<ua::cvnsocktcp::client_handle> poClient;
    QTimer* poGridTimer = nullptr; // child of the runtime link

    // Sender (runtime thread): what was sent, and the reused frame buffers.
    CFileCollector oSent;
    std::string strTileFrame;
    std::string strFileFrame;
    std::size_t nStations = 0; // I/O thread: stations at the last notification

    // The survey manager's current survey, copied on its thread.
    std::mutex oSurveyMutex;
    QString strCurrentSurvey;

    // Receiver (runtime thread).
    QStringList lstConvertersStarted; // surveys ("vessel-survey") that got their grid index
    QStringList lstConvertersFailed;  // surveys whose converter did not start: not tried again
    QStringList lstConvertersAnnounced; // surveys the main window was told of (relay 494)
    struct Converter {
        QString strKey;
        QString strVessel;
        QString strSurvey;
        qint64 nPid = 0;
    };
    std::vector<Converter> vecConverters;   // running, in the order started
    std::deque<Converter> queWaitingConverters;
    quint64 nConvertersRefused = 0;
    QTimer* poConverterTimer = nullptr; // child of the runtime link
    // Failed writes per folder: when the last box was shown, and the failures since.
    struct StoreWarnings {
        qint64 nLastMs = 0;
        quint64 nHeld = 0;
    };
    QHash<QString, StoreWarnings> mapStoreWarnings;
    // Receiver (runtime thread): the received tiles kept per survey.
    struct SurveyTiles {
        qint64 nBytes = 0;
        int nFiles = 0;
        bool bQuotaReported = false;
    };
    QHash<QString, SurveyTiles> mapSurveyTiles;
    bool bSurveyLimitReported = false;
    qint64 nTileQuotaBytes = s_nDefaultTileQuotaBytes;
    int nTileQuotaFiles = s_nDefaultTileQuotaFiles;
    // Frames handed from the I/O thread and not yet stored; frames dropped for want of room.
    std::shared_ptr<std::atomic<qint64>> pnWaitingBytes = std::make_shared<std::atomic<qint64>>(0);
    std::atomic<quint64> nDroppedFrames{0};

    ua::cvnsocktcp::io_thread& io()
    {
        if (!poIo)
            poIo = std::make_unique<ua::cvnsocktcp::io_thread>();
        return *poIo;
    }

    QString currentSurvey()
    {
        std::lock_guard<std::mutex> oLock(oSurveyMutex);
        return strCurrentSurvey;
    }

    bool hasConverter(const QString& strKey) const
    {
        const auto isKey = [&strKey](const Converter& oRun) { return oRun.strKey == strKey; };
        return std::any_of(vecConverters.begin(), vecConverters.end(), isKey)
               || std::any_of(queWaitingConverters.begin(), queWaitingConverters.end(), isKey);
    }

    // Asks the running converters to end, waits a little for them, then ends the rest; the
    // waiting ones are not started.
    void endConverters()
    {
        queWaitingConverters.clear();
        for (const Converter& oRun : vecConverters)
            if (processRunning(oRun.nPid))
                platform::endProcess(oRun.nPid, true);
        QElapsedTimer oWait;
        oWait.start();
        const auto anyRunning = [this] {
            return std::any_of(vecConverters.begin(), vecConverters.end(),
                               [](const Converter& oRun) { return processRunning(oRun.nPid); });
        };
        while (anyRunning() && oWait.elapsed() < s_nConverterEndWaitMs)
            QThread::msleep(20);
        for (const Converter& oRun : vecConverters)
            if (processRunning(oRun.nPid))
                killProcessById(static_cast<int>(oRun.nPid));
        vecConverters.clear();
    }
};

void CRemoteLinkDeleter::operator()(CRemoteLinkState* poState) const
{
    if (!poState)
        return;
    // With the I/O thread ended no callback is running or can start; the rest goes quietly.
    if (poState->poIo)
        poState->poIo->stop();
    poState->endConverters();
    poState->poClient.reset();
    if (poState->poServer)
        poState->poServer->stop();
    delete poState;
}

void CUlmaRuntime::startRemoteDataServer()
{
    logInfo(QStringLiteral("Start TCP Server for RemCorv..."));
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    CRemoteLinkState* poRemote = m_poRemote.get();
    try {
        // The survey manager's current survey, read here and kept up to date on its own thread.
        if (CQaSurveyManager* poManager = CQaSurveyManager::instance()) {
            {
                std::lock_guard<std::mutex> oLock(poRemote->oSurveyMutex);
                poRemote->strCurrentSurvey = poManager->getCurrentSurvey();
            }
            connect(
                poManager, &CQaSurveyManager::signalCurrentSurveyChanged, this,
                [poRemote](QString strPath) {
                    std::lock_guard<std::mutex> oLock(poRemote->oSurveyMutex);
                    poRemote->strCurrentSurvey = strPath;
                },
                Qt::DirectConnection);
        }
        auto poServer = ua::cvnsocktcp::make_server(poRemote->io().context());
        poServer->set_subscriber_callback([this](std::vector<std::string> lstStations) {
            onSubscribersChanged(std::move(lstStations));
        });
        poServer->set_log_callback(
            [](std::string strText) { qDebug().noquote() << "Corv connection message:" << QString::fromStdString(strText); });
        poServer->listen(s_szListenText);
        poRemote->poServer = poServer;
        poRemote->io().start();
        poRemote->poGridTimer = new QTimer(this);
        connect(poRemote->poGridTimer, &QTimer::timeout, this, &CUlmaRuntime::sendGrids);
        poRemote->poGridTimer->start(s_nGridInterval);
    } catch (const std::exception& oError) {
        std::cerr << oError.what() << std::endl;
    }
}

void CUlmaRuntime::stopRemoteLink()
{
    if (!m_poRemote)
        return;
    delete m_poRemote->poGridTimer;
    delete m_poRemote->poConverterTimer;
    m_poRemote->endConverters();
    // The I/O thread reads m_poRemote: end it before the pointer goes.
    if (m_poRemote->poIo)
        m_poRemote->poIo->stop();
    m_poRemote.reset();
}

void CUlmaRuntime::onSubscribersChanged(std::vector<std::string> lstSubscribers)
{
    if (!m_poRemote)
        return;
    const bool bNewStation = lstSubscribers.size() > m_poRemote->nStations;
    m_poRemote->nStations = lstSubscribers.size();
    if (lstSubscribers.empty()) {
        qDebug() << "No more connections to Corv data";
        return;
    }
    // A station that joins late gets the tiles sent before it came as well.
    if (bNewStation)
        QMetaObject::invokeMethod(
            this, [this]() {
                if (m_poRemote)
                    m_poRemote->oSent.forgetSent();
            },
            Qt::QueuedConnection);
    QString strTrace = QStringLiteral("New subscribers for Corv data: ");
    for (const std::string& strStation : lstSubscribers) {
        const QString strSubscriber = QString::fromStdString(strStation);
        QMetaObject::invokeMethod(
            this, [this, strSubscriber]() { sendProjectionFiles(strSubscriber); }, Qt::QueuedConnection);
        strTrace += strSubscriber + QStringLiteral("  ");
    }
    qDebug().noquote() << strTrace;
}

QMap<QString, QByteArray> CUlmaRuntime::getAllFileData(QString strFolder, QString strNameFilter, bool bOnlyChanged,
                                                       bool bTerrainOnly, unsigned nMinutes)
{
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    CFileCollector& oCollector = m_poRemote->oSent;
    oCollector.info = logInfo;
    return oCollector.collect(strFolder, strNameFilter, bOnlyChanged, bTerrainOnly, nMinutes).files;
}

bool CUlmaRuntime::sendFileFrame(const QString& strPath, const QByteArray& baData, int nMaxRecord,
                                 std::string& strFrame)
{
    if (!m_poRemote || !m_poRemote->poServer)
        return false;
    const QByteArray baRecord = CQelData::packDefaultVessel(strPath, baData);
    if (baRecord.isEmpty())
        return false;
    if (baRecord.size() > nMaxRecord) {
        logInfo(QStringLiteral("Not sending %1: its record of %2 bytes exceeds %3").arg(strPath).arg(baRecord.size()).arg(nMaxRecord));
        return false;
    }
    if (m_poRemote->poServer->connection_count() == 0)
        return false;
    ua::cvnsocktcp::make_frame(std::string_view(baRecord.constData(), static_cast<std::size_t>(baRecord.size())),
                               strFrame);
    m_poRemote->poServer->write(strFrame);
    // Sent when at least one station took the whole frame.
    return m_poRemote->poServer->connection_count() > 0;
}

void CUlmaRuntime::sendGrids()
{
    if (!m_poRemote || !m_poRemote->poServer)
        return;
    const QString strSurvey = m_poRemote->currentSurvey();
    if (strSurvey.isEmpty())
        return;
    // Nothing is collected, and so nothing counts as sent, while no station listens.
    if (m_poRemote->poServer->connection_count() == 0)
        return;
    QString strFolder = platform::toNativePath(strSurvey + QStringLiteral("\\Terrain\\zMedian\\"));
    unsigned nFinest = 0;
    const QStringList lstLevels =
        QDir(strFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden);
    for (const QString& strLevel : lstLevels)
        nFinest = std::max(nFinest, strLevel.toUInt()); // a name that is not a number counts 0
    if (!strFolder.endsWith(QLatin1Char('/')))
        strFolder += QLatin1Char('/');
    strFolder += QString::number(nFinest);
    if (!QFileInfo(strFolder).isDir())
        return;

    CFileCollector& oCollector = m_poRemote->oSent;
    oCollector.info = logInfo;
    const CFileCollector::Collected oFiles = oCollector.collect(strFolder, QStringLiteral("*.tiff"), true, false, 0);
    if (m_poRemote->strTileFrame.capacity() < std::size_t(s_nMaxTileRecord) + 4)
        m_poRemote->strTileFrame.reserve(std::size_t(s_nMaxTileRecord) + 4);
    for (auto it = oFiles.files.cbegin(); it != oFiles.files.cend(); ++it) {
        if (sendFileFrame(it.key(), it.value(), s_nMaxTileRecord, m_poRemote->strTileFrame))
            oCollector.markSent(it.key(), oFiles.modified.value(it.key()));
    }
}

void CUlmaRuntime::sendProjectionFiles(QString strSubscriber)
{
    Q_UNUSED(strSubscriber)
    if (!m_poRemote || !m_poRemote->poServer)
        return;
    const QString strFolder = m_poRemote->currentSurvey();
    if (strFolder.isEmpty())
        return;
    QFile oProjection(platform::toNativePath(strFolder + QStringLiteral("/qel_projv6.txt")));
    if (!oProjection.open(QIODevice::ReadOnly))
        return;
    if (!sendFileFrame(QFileInfo(oProjection).absoluteFilePath(), oProjection.readAll(), s_nMaxFileRecord,
                       m_poRemote->strFileFrame))
        return;
    QFile oIndex(platform::toNativePath(strFolder + QStringLiteral("/GridIndex.properties")));
    if (oIndex.open(QIODevice::ReadOnly))
        sendFileFrame(QFileInfo(oIndex).absoluteFilePath(), oIndex.readAll(), s_nMaxFileRecord, m_poRemote->strFileFrame);
}

void CUlmaRuntime::sendFileToRemoteStations(QString strPath)
{
    if (!m_poRemote || !m_poRemote->poServer)
        return;
    QFile oFile(platform::toNativePath(strPath));
    if (!oFile.open(QIODevice::ReadOnly))
        return;
    sendFileFrame(strPath, oFile.readAll(), s_nMaxFileRecord, m_poRemote->strFileFrame);
}

void CUlmaRuntime::postProjectionFiles()
{
    QMetaObject::invokeMethod(
        this, [this]() { sendProjectionFiles(QStringLiteral("NA")); }, Qt::QueuedConnection);
}

void CUlmaRuntime::postFileToRemoteStations(const QString& strPath)
{
    QMetaObject::invokeMethod(
        this, [this, strPath]() { sendFileToRemoteStations(strPath); }, Qt::QueuedConnection);
}

void CUlmaRuntime::startRemoteDataClient(QString strHost)
{
    if (g_bRemoteClientStarted.exchange(true))
        return;
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    ua::cvnsocktcp::io_thread& oIo = m_poRemote->io();
    m_poRemote->poClient = ua::cvnsocktcp::client_handle::make(oIo.context());
    try {
        m_poRemote->poClient->connect(strHost.toUtf8().toStdString() + ":" + s_szServerPort);
    } catch (const std::exception& oError) {
        // Tried once per process, as the link is started by the first position only.
        logError(QStringLiteral("Remote data client: cannot connect to %1: %2").arg(strHost, QString::fromUtf8(oError.what())));
        m_poRemote->poClient.reset();
        return;
    }
    m_poRemote->poClient->set_data_callback([this](std::string* pPayload) { handlePUDataTCP(pPayload); });
    // Damaged or oversized frames, lost connections: the link's own lines go to the log.
    m_poRemote->poClient->set_log_callback(
        [](std::string strText) { logInfo(QStringLiteral("Remote data client: ") + QString::fromStdString(strText)); });
    oIo.start();
    m_bRemoteClientStarted = true;
}

void CUlmaRuntime::retargetRemoteDataClient(const QString& strHost)
{
    const QString strTarget = position_datagram::remoteClientTarget(strHost, QNetworkInterface::allAddresses());
    if (m_poRemote)
        m_poRemote->poClient.reset();
    g_bRemoteClientStarted = false;
    if (strTarget.isEmpty()) {
        logInfo(QStringLiteral("Remote data client: %1 is this computer, no link").arg(strHost));
        return;
    }
    logInfo(QStringLiteral("Remote data client: following the main station %1").arg(strTarget));
    startRemoteDataClient(strTarget);
}

void CUlmaRuntime::setReceivedTileQuota(qint64 nBytes, int nFiles)
{
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    m_poRemote->nTileQuotaBytes = nBytes;
    m_poRemote->nTileQuotaFiles = nFiles;
}

void CUlmaRuntime::handlePUDataTCP(std::string* pPayload)
{
    const std::unique_ptr<std::string> poPayload(pPayload);
    if (!poPayload || !m_poRemote)
        return;
    const std::shared_ptr<CQelData> poRecord = CQelData::deserialize(poPayload->data(), poPayload->size());
    if (!poRecord || poRecord->MessageType.isEmpty()) {
        logError(QStringLiteral("Remote data: a frame of %1 bytes holds no file record, dropped").arg(poPayload->size()));
        return;
    }
    const QString strName = poRecord->MessageType;
    const QString strFolder = poRecord->SourcePath;
    if (strName.contains(QChar(0)) || strFolder.contains(QChar(0))) {
        logError(QStringLiteral("Remote data: a record whose name holds a NUL character, dropped: %1").arg(strName.section(QChar(0), 0, 0)));
        return;
    }
    const QByteArray baData = poRecord->Data;
    // The runtime thread stores what arrives; a peer faster than the disk meets a bound here.
    const std::shared_ptr<std::atomic<qint64>> pnWaiting = m_poRemote->pnWaitingBytes;
    const qint64 nBytes = baData.size() + strName.size() + strFolder.size();
    if (pnWaiting->fetch_add(nBytes) + nBytes > s_nMaxWaitingBytes) {
        pnWaiting->fetch_sub(nBytes);
        if (m_poRemote->nDroppedFrames++ % 1000 == 0)
            logError(QStringLiteral("Remote data: files arrive faster than they are stored; %1 dropped so far")
                         .arg(m_poRemote->nDroppedFrames.load()));
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, strName, strFolder, baData, pnWaiting, nBytes]() {
            storeReceivedFile(strName, strFolder, baData);
            pnWaiting->fetch_sub(nBytes);
        },
        Qt::QueuedConnection);
}

void CUlmaRuntime::storeReceivedFile(const QString& strName, const QString& strFolder, const QByteArray& baData)
{
    if (!m_poRemote)
        return; // arrived after shut-down
    const QString strPath = QStringLiteral("%1/%2").arg(strFolder, strName);
    const QString strSuffix = strName.section(QLatin1Char('.'), -1);
    const QString strVessel = QLatin1String(s_szVessel);
    if (strSuffix == QLatin1String("tiff")) {
        logInfo(QStringLiteral("Tiff %1 recevied").arg(strPath));
        writeTiffFile(strVessel, strPath, baData);
    } else if (strSuffix == QLatin1String("properties") || strName.contains(QLatin1String("qel_proj"))) {
        qDebug().noquote() << "Received " + strPath;
        storeRemoteGridFile(strVessel, strPath, baData);
    } else if (strSuffix == QLatin1String("asciiplan")) {
        // Plans land in this station's plans folder under their own name, wherever they came from.
        const QString strFile = strName.section(QLatin1Char('/'), -1);
        if (!isPlainName(strFile)) {
            logError(QStringLiteral("Dropped plan with the name %1").arg(strName));
            return;
        }
        const QString strPlan = programDataPath() + QStringLiteral("plans\\") + strFile;
        const QString strNative = platform::toNativePath(strPlan);
        const QString strError = writeBelow(platform::toNativePath(programDataPath()), strNative, baData);
        if (!strError.isEmpty()) {
            logError(QStringLiteral("Failed to create file %1. Error is %2").arg(strPlan, strError));
            return;
        }
        // The 3-D view exists only in a program with widgets.
        QCoreApplication* poApp = QCoreApplication::instance();
        if (poApp && poApp->inherits("QApplication"))
            QMetaObject::invokeMethod(
                poApp,
                [strPlan]() {
                    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
                    if (!poViewer
                        || !QMetaObject::invokeMethod(poViewer, "openPlanJob", Qt::DirectConnection, Q_ARG(QString, strPlan)))
                        qWarning().noquote() << "Plan job could not be opened: " + strPlan;
                },
                Qt::QueuedConnection);
    }
}

bool CUlmaRuntime::writeTiffFile(QString strVessel, QString strPath, QByteArray baData)
{
    // Tiles of the main station end in <survey>/Terrain/zMedian/<level>/<folder>/<file>; the
    // last three parts name the tile's place, so a tile sent again replaces the one stored.
    const QStringList lstParts = strPath.split(QLatin1Char('/'));
    const int nParts = lstParts.size();
    const QString strSurvey = nParts >= 6 ? lstParts.at(nParts - 6) : QString();
    const QString strPlace = nParts >= 6 ? QStringLiteral("%1_%2_%3").arg(lstParts.at(nParts - 3), lstParts.at(nParts - 2), lstParts.at(nParts - 1))
                                         : QString();
    if (!isPlainName(strSurvey) || !isPlainName(strVessel) || !isPlainName(strPlace)
        || !strPlace.endsWith(QLatin1String(".tiff"))) {
        logError(QStringLiteral("Dropped tile %1: no survey folder and tile place in its path").arg(strPath));
        return false;
    }
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    const QString strFolder = gridFolderOf(strVessel, strSurvey) + QStringLiteral("Process/");
    const QString strNativeFolder = platform::toNativePath(strFolder);
    const QString strFile = strFolder + strPlace;
    const QString strNativeFile = platform::toNativePath(strFile);

    // The survey's tiles as stored (counted from the folder the first time in this run).
    auto itSurvey = m_poRemote->mapSurveyTiles.find(strSurvey);
    if (itSurvey == m_poRemote->mapSurveyTiles.end()) {
        if (m_poRemote->mapSurveyTiles.size() >= s_nMaxReceivedSurveys) {
            if (!m_poRemote->bSurveyLimitReported) {
                m_poRemote->bSurveyLimitReported = true;
                logError(QStringLiteral("Dropped tiles of survey %1: tiles of %2 surveys were received in this run already")
                             .arg(strSurvey)
                             .arg(s_nMaxReceivedSurveys));
            }
            return false;
        }
        CRemoteLinkState::SurveyTiles oTiles;
        const QFileInfoList lstStored = QDir(strNativeFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo& oStored : lstStored) {
            oTiles.nBytes += oStored.size();
            ++oTiles.nFiles;
        }
        itSurvey = m_poRemote->mapSurveyTiles.insert(strSurvey, oTiles);
    }
    CRemoteLinkState::SurveyTiles& oTiles = itSurvey.value();
    const QFileInfo oOld(strNativeFile);
    const bool bReplaces = oOld.exists() && !oOld.isSymLink();
    const qint64 nBytesAfter = oTiles.nBytes - (bReplaces ? oOld.size() : 0) + baData.size();
    const int nFilesAfter = oTiles.nFiles + (bReplaces ? 0 : 1);
    if (nBytesAfter > m_poRemote->nTileQuotaBytes || nFilesAfter > m_poRemote->nTileQuotaFiles) {
        if (!oTiles.bQuotaReported) {
            oTiles.bQuotaReported = true;
            const QString strText = QStringLiteral("The received tiles of survey %1 reached their quota (%2 MB, %3 tiles): "
                                                   "further tiles of this survey are not stored.")
                                        .arg(strSurvey)
                                        .arg(m_poRemote->nTileQuotaBytes / (1024 * 1024))
                                        .arg(m_poRemote->nTileQuotaFiles);
            qWarning().noquote() << strText;
            logError(strText);
            m_poGuiSink->showWarning(QStringLiteral("QEL Proxy warning"), strText);
        }
        return false;
    }
    const QString strError = writeBelow(gridRootNative(), strNativeFile, baData);
    if (!strError.isEmpty()) {
        warnStoreFailed(strFile, strError);
        return false;
    }
    oTiles.nBytes = nBytesAfter;
    oTiles.nFiles = nFilesAfter;
    logInfo(QStringLiteral("Tiff %1 stored").arg(strFile));
    // A survey whose converter has ended gets it again for the new tile.
    const QString strKey = strVessel + QLatin1Char('-') + strSurvey;
    if (m_poRemote->lstConvertersStarted.contains(strKey))
        queueConverter(strVessel, strSurvey);
    return true;
}

void CUlmaRuntime::warnStoreFailed(const QString& strFile, const QString& strError)
{
    const QString strText = QStringLiteral("Failed to create file %1. Error is %2").arg(strFile, strError);
    qWarning().noquote() << strText;
    logError(strText);
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    // A full disk fails every tile: one box a minute for a folder, the others are counted in the log.
    QHash<QString, CRemoteLinkState::StoreWarnings>& mapWarnings = m_poRemote->mapStoreWarnings;
    const QString strFolder = QFileInfo(strFile).path();
    if (!mapWarnings.contains(strFolder) && mapWarnings.size() >= 256)
        mapWarnings.clear();
    CRemoteLinkState::StoreWarnings& oWarnings = mapWarnings[strFolder];
    const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
    if (oWarnings.nLastMs != 0 && nNow - oWarnings.nLastMs < s_nStoreWarningIntervalMs) {
        ++oWarnings.nHeld;
        return;
    }
    if (oWarnings.nHeld)
        logError(QStringLiteral("%1 more received files in %2 could not be written").arg(oWarnings.nHeld).arg(strFolder));
    oWarnings.nHeld = 0;
    oWarnings.nLastMs = nNow;
    m_poGuiSink->showWarning(QStringLiteral("QEL Proxy warning"), strText);
}

bool CUlmaRuntime::storeRemoteGridFile(QString strVessel, QString strPath, QByteArray baData)
{
    const QStringList lstParts = strPath.split(QLatin1Char('/'));
    const QString strFile = lstParts.last();
    const QString strSurvey = lstParts.size() >= 2 ? lstParts.at(lstParts.size() - 2) : QString();
    if (strSurvey.isEmpty())
        return false;
    if (!isPlainName(strSurvey) || !isPlainName(strFile) || !isPlainName(strVessel)) {
        logError(QStringLiteral("Dropped grid file %1: not a plain survey and file name").arg(strPath));
        return false;
    }
    const QString strGridFolder = gridFolderOf(strVessel, strSurvey);
    const QString strError = writeBelow(gridRootNative(), platform::toNativePath(strGridFolder + strFile), baData);
    if (!strError.isEmpty()) {
        warnStoreFailed(strGridFolder + strFile, strError);
        return false;
    }
    if (!m_poRemote)
        m_poRemote.reset(new CRemoteLinkState);
    const QString strKey = strVessel + QLatin1Char('-') + strSurvey;
    if (!strPath.contains(QLatin1String("GridIndex")) || m_poRemote->lstConvertersStarted.contains(strKey))
        return false;
    m_poRemote->lstConvertersStarted << strKey;
    return queueConverter(strVessel, strSurvey);
}

bool CUlmaRuntime::queueConverter(const QString& strVessel, const QString& strSurvey)
{
    const QString strKey = strVessel + QLatin1Char('-') + strSurvey;
    if (m_poRemote->lstConvertersFailed.contains(strKey) || m_poRemote->hasConverter(strKey))
        return false;
    if (m_poRemote->queWaitingConverters.size() >= s_nMaxWaitingConverters) {
        // Said once per run of refusals; the survey's next tile asks again.
        if (m_poRemote->nConvertersRefused++ == 0)
            logError(QStringLiteral("Too many grids waiting for the converter: %1 not converted for now").arg(strSurvey));
        return false;
    }
    m_poRemote->nConvertersRefused = 0;
    m_poRemote->queWaitingConverters.push_back({strKey, strVessel, strSurvey, 0});
    startWaitingConverters();
    return true;
}

void CUlmaRuntime::startWaitingConverters()
{
    CRemoteLinkState& oRemote = *m_poRemote;
    while (oRemote.vecConverters.size() < s_nMaxConverters && !oRemote.queWaitingConverters.empty()) {
        CRemoteLinkState::Converter oRun = oRemote.queWaitingConverters.front();
        oRemote.queWaitingConverters.pop_front();
        const QString strGridFolder = gridFolderOf(oRun.strVessel, oRun.strSurvey);
        platform::StartOptions oStart;
        // Relative to this program's working folder, as the converter's own working folder is.
        oStart.program = QFileInfo(platform::toNativePath(QLatin1String(s_szConverter))).absoluteFilePath();
        oStart.arguments = QStringList{strGridFolder,
                                       strGridFolder + QStringLiteral("/Terrain"),
                                       QStringLiteral("--autostart"),
                                       QStringLiteral("--hidden"),
                                       QStringLiteral("--notifyicon"),
                                       QStringLiteral("--remote")};
        oStart.workingDirectory = QFileInfo(platform::toNativePath(QLatin1String(s_szConverterFolder))).absoluteFilePath();
        const std::optional<qint64> nPid = platform::startDetached(oStart);
        if (!nPid) {
            // Not tried again for this survey.
            oRemote.lstConvertersFailed << oRun.strKey;
            logError(QStringLiteral("Could not start the grid converter %1 for %2").arg(oStart.program, strGridFolder));
            continue;
        }
        oRun.nPid = *nPid;
        oRemote.vecConverters.push_back(oRun);
        // The first run of a survey tells the main window, which then polls for its terrain.
        if (!oRemote.lstConvertersAnnounced.contains(oRun.strKey)) {
            oRemote.lstConvertersAnnounced << oRun.strKey;
            setVesselGridPath(oRun.strVessel, strGridFolder);
            emit relayToMapView(494, QStringLiteral("%1;%2;%3;%4").arg(oRun.strVessel, QStringLiteral("CORV"), oRun.strSurvey).arg(1));
        }
    }
    if (oRemote.vecConverters.empty())
        return;
    if (!oRemote.poConverterTimer) {
        oRemote.poConverterTimer = new QTimer(this);
        connect(oRemote.poConverterTimer, &QTimer::timeout, this, &CUlmaRuntime::onConverterTimer);
    }
    if (!oRemote.poConverterTimer->isActive())
        oRemote.poConverterTimer->start(s_nConverterPollMs);
}

void CUlmaRuntime::onConverterTimer()
{
    if (!m_poRemote)
        return;
    std::vector<CRemoteLinkState::Converter>& vecRunning = m_poRemote->vecConverters;
    vecRunning.erase(std::remove_if(vecRunning.begin(), vecRunning.end(),
                                    [](const CRemoteLinkState::Converter& oRun) { return !processRunning(oRun.nPid); }),
                     vecRunning.end());
    startWaitingConverters();
    if (vecRunning.empty() && m_poRemote->poConverterTimer)
        m_poRemote->poConverterTimer->stop();
}

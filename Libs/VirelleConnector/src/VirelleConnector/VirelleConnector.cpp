#include "VirelleConnector/VirelleConnector.h"

#include "Common/GuiIni.h"
#include "VirelleConnector/EdgeConnector.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

namespace {

struct SnapshotEntry {
    QString path;
    qint64 size = 0;
    qint64 seenMs = 0;
};

// Folder path -> its matching entries as last seen; shared by every uploader of the process.
QHash<QString, QList<SnapshotEntry>>& folderSnapshots()
{
    static QHash<QString, QList<SnapshotEntry>> s_hashSnapshots;
    return s_hashSnapshots;
}

log4cplus::Logger uploaderLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CVirelleConnector"));
}

} // namespace

CVirelleConnector::CVirelleConnector(QObject* parent)
    : QObject(parent)
{
    m_oCollector.quarantineSeconds = [this] { return qint64(getSendfileQuarantine()); };
    m_oCollector.info = [](const QString& text) { LOG4CPLUS_INFO(uploaderLogger(), text.toStdString()); };
    m_oCollector.strTooMuchWarning =
        QStringLiteral("CVirelleConnector::getAllFileData - WARNING - collected too much data from files:");
    m_oSettleTimer.setSingleShot(true);
    m_oSettleTimer.setInterval(2000);
    connect(&m_oSettleTimer, &QTimer::timeout, this, &CVirelleConnector::onSettled);
    connect(&m_oBatchTimer, &QTimer::timeout, this, [this] { sendBatch(m_nBatchTotal); });
}

void CVirelleConnector::setEdgeConnector(CEdgeConnector* connector)
{
    if (m_poEdge)
        disconnect(m_poEdge, nullptr, this, nullptr);
    m_poEdge = connector;
    if (!connector)
        return;
    connect(connector, &CEdgeConnector::edgeFileTransfered, this,
            [this](const QString& name, qlonglong) { m_strLastPosted = name; });
    connect(connector, &CEdgeConnector::edgeUploadFailed, this, &CVirelleConnector::onUploadFailed);
    connect(connector, &CEdgeConnector::edgeUploadFinished, this, &CVirelleConnector::onUploadFinished);
}

TYPE_GRIDENGINE CVirelleConnector::getGEType()
{
    return GuiIni::readGridEngine();
}

int CVirelleConnector::getSendfileQuarantine()
{
    const QString strKey = QStringLiteral("SENDFILE_QUARANTINE_SEC");
    const QVariant oStored = GuiIni::value(QLatin1String(GuiIni::GroupRemoteSettings), strKey, QVariant());
    if (!oStored.isValid()) {
        GuiIni::setValue(QLatin1String(GuiIni::GroupRemoteSettings), strKey, 30);
        return 30;
    }
    return oStored.toInt();
}

void CVirelleConnector::pathChanged(QString path)
{
    QString strFilter = QStringLiteral("*.asvp");
    if (path.contains(QLatin1String("XYZ"), Qt::CaseInsensitive))
        strFilter = QStringLiteral("*.7z");
    else if (path.endsWith(QLatin1String("tracks"), Qt::CaseInsensitive))
        strFilter = QStringLiteral("*.shipstrack");

    QList<SnapshotEntry> lstNew;
    const qint64 nNow = QDateTime::currentMSecsSinceEpoch();
    const QFileInfoList lstInfo = QDir(path).entryInfoList(
        QStringList{strFilter}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& oInfo : lstInfo)
        lstNew.append({oInfo.absoluteFilePath(), oInfo.size(), nNow});

    const QList<SnapshotEntry> lstOld = folderSnapshots().value(path);
    folderSnapshots().insert(path, lstNew);
    for (const SnapshotEntry& oEntry : lstNew) {
        const bool bKnown = std::any_of(lstOld.cbegin(), lstOld.cend(), [&](const SnapshotEntry& o) {
            return o.path == oEntry.path && o.size == oEntry.size;
        });
        if (bKnown || oEntry.path.contains(QLatin1String("_sent.7z")))
            continue;
        LOG4CPLUS_DEBUG(uploaderLogger(), QStringLiteral("New file: %1").arg(oEntry.path).toStdString());
        // Uploaded once its size has held still for the settle interval, not at every change
        // while it is still being written.
        m_mapPending[oEntry.path].size = oEntry.size;
    }
    if (!m_mapPending.isEmpty())
        m_oSettleTimer.start();
}

void CVirelleConnector::onSettled()
{
    const QMap<QString, Pending> mapPending = m_mapPending;
    for (auto it = mapPending.cbegin(); it != mapPending.cend(); ++it) {
        const QString& strPath = it.key();
        const QFileInfo oInfo(strPath);
        if (!oInfo.exists()) {
            m_mapPending.remove(strPath);
            continue;
        }
        if (oInfo.size() != it.value().size) {
            m_mapPending[strPath].size = oInfo.size(); // still growing
            continue;
        }
        if (!m_poEdge)
            continue; // kept until a client is set
        QFile oFile(strPath);
        if (!oFile.open(QIODevice::ReadOnly)) {
            qDebug().noquote() << "CVirelleConnector::pathChanged - WARNING - could not open" << strPath
                               << oFile.errorString();
            m_mapPending.remove(strPath);
            continue;
        }
        const QByteArray baData = oFile.readAll();
        oFile.close();
        InFlight oFlight;
        oFlight.path = strPath;
        oFlight.watched = true;
        oFlight.size = baData.size();
        if (upload(strPath, 0, baData, oFlight))
            m_mapPending.remove(strPath);
    }
    if (!m_mapPending.isEmpty())
        m_oSettleTimer.start();
}

bool CVirelleConnector::upload(const QString& path, int numFiles, const QByteArray& data, InFlight inFlight)
{
    if (!m_poEdge)
        return false;
    m_strLastPosted.clear();
    if (!m_poEdge->sendDataToVirelle(path, numFiles, m_strVesselId, data))
        return false;
    if (!m_strLastPosted.isEmpty())
        m_hashInFlight.insert(m_strLastPosted, inFlight);
    else if (inFlight.watched)
        markSent7z(path); // traffic switched off: counts as sent
    return true;
}

void CVirelleConnector::onUploadFinished(const QString& name)
{
    const auto it = m_hashInFlight.find(name);
    if (it == m_hashInFlight.end())
        return;
    const InFlight oFlight = it.value();
    m_hashInFlight.erase(it);
    if (oFlight.watched)
        markSent7z(oFlight.path);
}

void CVirelleConnector::onUploadFailed(const QString& name)
{
    const auto it = m_hashInFlight.find(name);
    if (it == m_hashInFlight.end())
        return;
    const InFlight oFlight = it.value();
    m_hashInFlight.erase(it);
    LOG4CPLUS_WARN(uploaderLogger(), QStringLiteral("Upload of %1 failed, retrying").arg(oFlight.path).toStdString());
    if (oFlight.watched) {
        m_mapPending[oFlight.path].size = oFlight.size;
        m_oSettleTimer.start();
    } else {
        m_oCollector.markSent(oFlight.path, oFlight.prevSent); // collected again next time
    }
}

void CVirelleConnector::markSent7z(const QString& path)
{
    const QFileInfo oInfo(path);
    if (oInfo.suffix() != QLatin1String("7z"))
        return;
    const QString strTarget = oInfo.dir().filePath(oInfo.baseName() + QStringLiteral("_sent.7z"));
    if (!QFile::rename(path, strTarget))
        qDebug().noquote() << "CVirelleConnector::pathChanged - WARNING - could not rename" << path << "to" << strTarget;
}

QMap<QString, QByteArray> CVirelleConnector::getAllFileData(const QString& folder, const QString& filter,
                                                            bool checkSent, bool terrainOnly, unsigned int minutes)
{
    const CFileCollector::Collected oCollected = m_oCollector.collect(folder, filter, checkSent, terrainOnly, minutes);
    m_hashPrevSent.clear();
    for (auto it = oCollected.modified.cbegin(); it != oCollected.modified.cend(); ++it)
        m_hashPrevSent.insert(it.key(), m_oCollector.sentTime(it.key()));
    m_oCollector.markAllSent(oCollected);
    QMap<QString, QByteArray> mapFiles = oCollected.files;
    qint64 nTotal = 0;
    for (const QByteArray& baData : mapFiles)
        nTotal += baData.size();
    if (nTotal > CFileCollector::s_nMaxTotalBytes || minutes != 0 || !filter.contains(QLatin1String(".tiff")))
        return mapFiles;
    // The grid index and the projection file sit beside the terrain folder.
    const QDir oParent = QFileInfo(QDir::cleanPath(folder)).dir();
    for (const char* szName : {"GridIndex.properties", "qel_projv6.txt"}) {
        QFile oFile(oParent.filePath(QLatin1String(szName)));
        if (!oFile.open(QIODevice::ReadOnly))
            continue;
        mapFiles.insert(QFileInfo(oFile).absoluteFilePath(), oFile.readAll());
        LOG4CPLUS_INFO(uploaderLogger(), QStringLiteral("Sending %1").arg(oFile.fileName()).toStdString());
    }
    return mapFiles;
}

void CVirelleConnector::transferFileDataInternal()
{
    if (!m_poEdge)
        return;
    // Both kinds are sent when both are asked for: each collection marks its files as sent, so
    // a result dropped here would never be sent.
    QMap<QString, QByteArray> mapFiles;
    QHash<QString, qint64> hashPrevSent;
    const auto collect = [&](const QString& folder, const QString& filter) {
        const QMap<QString, QByteArray> mapGot = getAllFileData(folder, filter, true, false, 0);
        for (auto it = mapGot.cbegin(); it != mapGot.cend(); ++it)
            mapFiles.insert(it.key(), it.value());
        for (auto it = m_hashPrevSent.cbegin(); it != m_hashPrevSent.cend(); ++it)
            hashPrevSent.insert(it.key(), it.value());
    };
    if (m_setKinds.contains(s_nKindTerrain))
        collect(m_strTerrainFolder, QStringLiteral("*.tiff"));
    if (m_setKinds.contains(s_nKindSecondFolder))
        collect(m_strSecondFolder, QStringLiteral("*.*"));
    // Each file's bytes are let go once its upload is posted, to keep the peak low.
    while (!mapFiles.isEmpty()) {
        const auto it = mapFiles.begin();
        InFlight oFlight;
        oFlight.path = it.key();
        oFlight.prevSent = hashPrevSent.value(it.key(), 0);
        const QByteArray baData = std::move(it.value());
        mapFiles.erase(it);
        if (!upload(oFlight.path, 0, baData, oFlight))
            m_oCollector.markSent(oFlight.path, oFlight.prevSent); // refused: taken again next time
    }
}

void CVirelleConnector::startBatch(const QMap<QString, QByteArray>& files, int intervalMs)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        m_mapBatch.insert(it.key(), it.value());
    m_nBatchTotal = m_mapBatch.size();
    m_oBatchTimer.start(intervalMs);
}

void CVirelleConnector::sendBatch(int num)
{
    if (!m_mapBatch.isEmpty()) {
        const auto it = m_mapBatch.begin();
        const QString strPath = it.key();
        const QByteArray baData = it.value();
        m_mapBatch.erase(it);
        if (m_poEdge)
            m_poEdge->sendDataToVirelle(strPath, num, m_strVesselId, baData);
    }
    if (m_mapBatch.isEmpty())
        m_oBatchTimer.stop();
}

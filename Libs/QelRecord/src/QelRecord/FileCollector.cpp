#include "QelRecord/FileCollector.h"

#include <QDateTime>
#include <QDebug>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

CFileCollector::Collected CFileCollector::collect(const QString& folder, const QString& filter, bool onlyChanged,
                                                  bool terrainOnly, unsigned minutes) const
{
    Collected oResult;
    if (folder.isEmpty())
        return oResult;
    const bool bTiffFilter = filter.contains(QLatin1String(".tiff"));
    if (info)
        info(QStringLiteral("Get all terrain files"));
    const QDateTime oCutOff = QDateTime::currentDateTime().addSecs(-qint64(minutes) * 60);
    qDebug().noquote() << "Getting files newer than " + oCutOff.toString();

    qint64 nTotal = 0;
    QDirIterator oWalk(folder, QStringList{filter}, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (oWalk.hasNext()) {
        const QString strPath = QFileInfo(oWalk.next()).absoluteFilePath();
        if (terrainOnly && bTiffFilter && strPath.contains(QLatin1String("/terrain/"), Qt::CaseInsensitive)
            && !strPath.contains(QLatin1String("/zMedian/")))
            continue;
        const qint64 nModified = QFileInfo(strPath).lastModified().toSecsSinceEpoch();
        if (minutes != 0 && nModified < oCutOff.toSecsSinceEpoch())
            continue;
        if (onlyChanged && !(nModified - sentTime(strPath) > quarantineSeconds()))
            continue;
        QFile oFile(strPath);
        if (!oFile.open(QIODevice::ReadOnly)) {
            qDebug().noquote() << QStringLiteral("CVirelleConnector::getAllFileData(): Could not open file: %1 (%2)")
                                      .arg(oFile.fileName(), oFile.errorString());
            continue;
        }
        // The size decides before anything is read: a file above the limit alone never fits a
        // collection, and a file that grows meanwhile is read only up to the size seen here.
        const qint64 nSize = oFile.size();
        if (nSize > s_nMaxTotalBytes) {
            qWarning().noquote() << QStringLiteral("getAllFileData - WARNING - file too large to send (%1 kB): %2")
                                        .arg(nSize / 1000)
                                        .arg(strPath);
            continue;
        }
        const QByteArray baData = oFile.read(nSize);
        nTotal += baData.size();
        oResult.files.insert(strPath, baData);
        oResult.modified.insert(strPath, nModified);
        if (info)
            info(QStringLiteral("Getting %1").arg(strPath));
        if (nTotal > s_nMaxTotalBytes) {
            qWarning().noquote() << strTooMuchWarning << nTotal / 1000 << "kB";
            return oResult;
        }
    }
    if (info)
        info(QString::asprintf("Sending %d terrain files", int(oResult.files.size())));
    return oResult;
}

void CFileCollector::markAllSent(const Collected& collected)
{
    for (auto it = collected.modified.cbegin(); it != collected.modified.cend(); ++it)
        m_hashSent.insert(it.key(), it.value());
}

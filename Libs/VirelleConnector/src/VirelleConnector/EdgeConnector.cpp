#include "VirelleConnector/EdgeConnector.h"

#include "QelRecord/QelData.h"
#include "VirelleConnector/EdgeFileNames.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QNetworkRequest>
#include <QUrl>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

namespace {

// Shared by every client: the position in the current batch, the next tile number and the text
// of the latest error.
quint16 s_nBatchCounter = 0;
qint32 s_nTileCounter = 0;
QString s_strLastError;

log4cplus::Logger edgeLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CEdgeConnector"));
}

QString namedTopic(const char* name)
{
    qDebug().noquote() << QStringLiteral("/QELBinary/") + QLatin1String(name);
    return QStringLiteral("/QELBinary/") + QLatin1String(name);
}

QString commandTopic(const QString& vesselId, const char* command)
{
    return vesselId.isEmpty() ? QStringLiteral("/QELBinary/%1").arg(QLatin1String(command))
                              : QStringLiteral("/%1/QELBinary/%2").arg(vesselId, QLatin1String(command));
}

QByteArray jsonString(const QString& text)
{
    QByteArray baOut;
    baOut.append('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            baOut.append('\\').append(char(c.unicode()));
        } else if (c.unicode() < 0x20) {
            baOut.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1());
        } else {
            baOut.append(QString(c).toUtf8());
        }
    }
    baOut.append('"');
    return baOut;
}

} // namespace

CEdgeConnector::CEdgeConnector(QObject* parent)
    : QObject(parent)
    , m_oResetTimer(this)
{
    m_hashEdgeAttributes.insert(QStringLiteral("MissionId"), QStringLiteral("111"));
    connect(&m_oManager, &QNetworkAccessManager::finished, this, &CEdgeConnector::managerFinished,
            Qt::QueuedConnection);
    connect(&m_oResetTimer, &QTimer::timeout, this, &CEdgeConnector::resetHasError);
    m_oResetTimer.start(10000);
}

QByteArray CEdgeConnector::makeQelData(const QString& name, const QString& vesselId, const QByteArray& data)
{
    return CQelData::packForEdge(name, vesselId, data);
}

QByteArray CEdgeConnector::makeQelDataDefaultVessel(const QString& path, const QByteArray& data)
{
    return CQelData::packDefaultVessel(path, data);
}

QString CEdgeConnector::topicForFile(const QString& fileName, const QString& vesselId)
{
    QString strName = fileName;
    const int nSeparator = std::max(strName.lastIndexOf(QLatin1Char('/')), strName.lastIndexOf(QLatin1Char('\\')));
    if (nSeparator >= 0)
        strName = strName.mid(nSeparator + 1);
    QString strSounder;
    int nId = edgeFileIdFromName(strName, strSounder);
    if (nId == 0) {
        const QStringList lstPieces = strName.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        if (lstPieces.size() >= 2) {
            const QString& strExt = lstPieces.at(1);
            if (strExt == QLatin1String("shipstrack"))
                nId = 20;
            else if (strExt == QLatin1String("7z"))
                nId = 19;
            else if (strExt == QLatin1String("asvp"))
                nId = 18;
            else if (strExt == QLatin1String("asciiplan"))
                nId = 17;
            else if (strName == QLatin1String("qel_projv6.txt"))
                nId = 16;
            else if (strExt == QLatin1String("properties"))
                nId = 15;
            else if (strExt == QLatin1String("tiff"))
                nId = 14;
        }
    }
    switch (nId) {
    case 1: return namedTopic("NUM_DISP_D");
    case 2: return namedTopic("NUM_DISP_H");
    case 3: return namedTopic("QEL_Status");
    case 5: return namedTopic("GuiConfig");
    case 7: return namedTopic("Position");
    case 9:
    case 10:
    case 11: return namedTopic("PING_DISP");
    case 12:
    case 17: return commandTopic(vesselId, "QEL_REMOTE_CMD");
    case 13: return namedTopic("RT_Depth");
    case 14: return namedTopic("Terrain");
    case 15: return namedTopic("Terrain_Prop");
    case 16: return namedTopic("Terrain_Proj");
    case 18: return namedTopic("asvp");
    case 19: return namedTopic("XYZ7z");
    case 20: return namedTopic("shiptrack");
    case 21: return commandTopic(vesselId, "TVCON_REMOTE_CMD");
    case 23: return namedTopic("PU_Bcast");
    case 24: return namedTopic("PU_Status");
    case 25: return namedTopic("PU_Full");
    case 26: return namedTopic("PU_UpdXML");
    default: return QString();
    }
}

QByteArray CEdgeConnector::makeJsonBody(const QByteArray& record, const QString& topic)
{
    const QByteArray baData = record.toBase64();
    const QByteArray baTopic = jsonString(topic);
    QByteArray baBody;
    baBody.reserve(baData.size() + baTopic.size() + 64);
    baBody.append("{\n    \"data\": \"").append(baData).append("\",\n");
    baBody.append("    \"properties\": {\n        \"Topic\": ").append(baTopic).append("\n    }\n}\n");
    return baBody;
}

bool CEdgeConnector::sendDataToVirelle(QString fileName, int numFiles, QString vesselId, QByteArray data,
                                       qlonglong iSeek)
{
    if (m_bHasError)
        return false;
    if (m_bKillNetworkTraffic)
        return true;

    const QUrl oUrl(QStringLiteral("HTTP://%1:%2/%3")
                        .arg(m_oHostAddress.toString(), QString::number(m_nHostPort), m_strUploadPath));
    QNetworkRequest oRequest(oUrl);
    oRequest.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    // A stalled transfer either way fails the upload.
    oRequest.setTransferTimeout(m_nReplyTimeoutMs);

    const bool bTile = fileName.contains(QLatin1String(".tiff"));
    if (bTile)
        fileName = fileName.left(fileName.lastIndexOf(QLatin1Char('.'))) + QLatin1Char('_')
                   + QString::number(s_nTileCounter) + QStringLiteral(".tiff");

    QString strRecordName = fileName;
    if (numFiles < 1) {
        s_nBatchCounter = 0;
        LOG4CPLUS_DEBUG(edgeLogger(), QStringLiteral("Sending %1").arg(strRecordName).toStdString());
    } else {
        ++s_nBatchCounter;
        strRecordName += QStringLiteral("@%1:%2").arg(s_nBatchCounter).arg(numFiles);
        LOG4CPLUS_INFO(edgeLogger(), QStringLiteral("Sending %1").arg(strRecordName).toStdString());
        if (s_nBatchCounter == numFiles)
            s_nBatchCounter = 0;
    }

    const qlonglong nProgress = iSeek + data.size();
    QByteArray baRecord = makeQelData(strRecordName, vesselId, data);
    data.clear(); // the record holds its own copy; keep the peak low for big files

    QString strTopic = topicForFile(fileName, vesselId);
    if (bTile) {
        strTopic += QStringLiteral("/p") + QString::number(s_nTileCounter);
        if (++s_nTileCounter >= 512)
            s_nTileCounter = 0;
    }

    QByteArray baBody = makeJsonBody(baRecord, strTopic);
    baRecord.clear();
    QNetworkReply* poReply = m_oManager.post(oRequest, baBody);
    poReply->setObjectName(fileName);
    // The reply is held to a small size and must be complete in time after the upload.
    poReply->setReadBufferSize(m_nMaxReplyBytes + 1);
    auto* poDeadline = new QTimer(poReply);
    poDeadline->setSingleShot(true);
    poDeadline->setInterval(m_nReplyTimeoutMs);
    connect(poDeadline, &QTimer::timeout, poReply, [poReply, nMs = m_nReplyTimeoutMs] {
        qDebug().noquote() << "CEdgeConnector - WARNING - no complete answer" << nMs << "ms after the upload of"
                           << poReply->objectName() << ": aborted";
        poReply->abort();
    });
    connect(poReply, &QNetworkReply::uploadProgress, poDeadline, [poDeadline](qlonglong nSent, qlonglong nTotal) {
        if (nSent == nTotal && !poDeadline->isActive())
            poDeadline->start();
    });
    connect(poReply, &QNetworkReply::uploadProgress, this, &CEdgeConnector::uploadProgress);
    connect(poReply, &QNetworkReply::downloadProgress, this, &CEdgeConnector::downloadProgress);
    connect(poReply, &QNetworkReply::errorOccurred, this, &CEdgeConnector::networkError);

    emit edgeFileTransfered(fileName, nProgress);
    return true;
}

bool CEdgeConnector::sendFileToVirelle(QString filePath, QString vesselId, QByteArray /*data*/, qlonglong iSeek)
{
    if (m_bHasError)
        return false;
    if (m_bKillNetworkTraffic)
        return true;
    QFile oFile(filePath);
    if (iSeek >= QFileInfo(filePath).size() && QFileInfo::exists(filePath))
        return false;
    if (!oFile.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "CEdgeConnector::sendFileToVirelle - WARNING - unable to open file" << oFile.errorString();
        return false;
    }
    if (iSeek != 0 && !oFile.seek(iSeek)) {
        qDebug().noquote() << "CEdgeConnector::sendFileToVirelle - WARNING - could not seek in" << filePath << iSeek
                           << oFile.errorString();
        return false;
    }
    QByteArray baData = oFile.readAll();
    if (oFile.error() != QFileDevice::NoError) {
        qDebug().noquote() << "CEdgeConnector::sendFileToVirelle - WARNING - unable to open file" << oFile.errorString();
        return false;
    }
    oFile.close();
    return sendDataToVirelle(filePath, 0, vesselId, std::move(baData), 0);
}

void CEdgeConnector::updateStatus(bool success, const QString& text)
{
    int nCounter = m_nErrorCounter + (success ? -1 : 1);
    m_nErrorCounter = qint16(qBound(0, nCounter, 10));
    if (!text.isEmpty())
        s_strLastError = text;
    if (m_nErrorCounter == 0) {
        emit edgeConnectorStatus(tr("Connected and sending data to Virelle Connector."), 1);
        return;
    }
    emit edgeConnectorStatus(tr("Virelle Connector are experiencing some errors.\nLatest error.\n%1").arg(s_strLastError),
                             m_nErrorCounter <= 4 ? 2 : 3);
}

void CEdgeConnector::networkError(QNetworkReply::NetworkError code)
{
    auto* poReply = qobject_cast<QNetworkReply*>(sender());
    if (!poReply)
        return;
    m_bHasError = true;
    qDebug().noquote() << "::networkError" << QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code)
                       << poReply->errorString();
    updateStatus(false, poReply->errorString());
}

void CEdgeConnector::uploadProgress(qlonglong bytesSent, qlonglong bytesTotal)
{
    auto* poReply = qobject_cast<QNetworkReply*>(sender());
    if (bytesTotal == 0 || !poReply)
        return;
    emit edgeTransferProgress(bytesSent, bytesTotal, poReply->objectName());
    qDebug().noquote() << "CEdgeConnector::uploadProgress - INFO - file:" << poReply->objectName()
                       << "sent:" << bytesSent << "of total:" << bytesTotal << "P:" << bytesSent * 100 / bytesTotal
                       << "%";
}

void CEdgeConnector::downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    auto* poReply = qobject_cast<QNetworkReply*>(sender());
    if (!poReply || (bytesReceived < m_nMaxReplyBytes && bytesTotal < m_nMaxReplyBytes))
        return;
    qDebug().noquote() << "CEdgeConnector - WARNING - the answer to" << poReply->objectName() << "is longer than"
                       << m_nMaxReplyBytes << "bytes: aborted";
    poReply->abort();
}

void CEdgeConnector::managerFinished(QNetworkReply* reply)
{
    // An upload counts as done only when the collector answered without error, not when the
    // last byte left.
    if (reply->error() == QNetworkReply::NoError)
        updateStatus(true, QString());
    else
        emit edgeUploadFailed(reply->objectName());
    emit edgeUploadFinished(reply->objectName());
    reply->deleteLater();
}

// Uploads files to the edge collector as HTTP POSTs of packed records, with an error gate and a
// status level for the user interface.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QTimer>

class CEdgeConnector : public QObject {
    Q_OBJECT
public:
    explicit CEdgeConnector(QObject* parent = nullptr);

    // Record packers (no state of the client is used).
    static QByteArray makeQelData(const QString& name, const QString& vesselId, const QByteArray& data);
    static QByteArray makeQelDataDefaultVessel(const QString& path, const QByteArray& data);

    static QString topicForFile(const QString& fileName, const QString& vesselId);
    static QByteArray makeJsonBody(const QByteArray& record, const QString& topic);

    QString uploadPath() const { return m_strUploadPath; }

    // A collector's reply is read up to this many bytes and must come within this time of the
    // upload's last byte (or of the last byte moved either way); otherwise the upload failed.
    static constexpr qint64 kMaxReplyBytes = 64 * 1024;
    static constexpr int kReplyTimeoutMs = 30000;
    void setReplyLimits(qint64 nMaxBytes, int nTimeoutMs)
    {
        m_nMaxReplyBytes = nMaxBytes;
        m_nReplyTimeoutMs = nTimeoutMs;
    }

public slots:
    bool sendDataToVirelle(QString fileName, int numFiles, QString vesselId, QByteArray data, qlonglong iSeek = 0);
    bool sendFileToVirelle(QString filePath, QString vesselId, QByteArray data, qlonglong iSeek = 0);
    void setHost(QHostAddress address) { m_oHostAddress = address; }
    void setHostPort(int port) { m_nHostPort = port; }
    void setEdgePath(QString path) { m_strEdgePath = path; }
    void setEdgeAttribute(QString id, QString value) { m_hashEdgeAttributes.insert(id, value); }
    void clearEdgeAttributes() { m_hashEdgeAttributes.clear(); }
    void setKillNetworkTraffic(bool kill) { m_bKillNetworkTraffic = kill; }
    bool getKillNetworkTraffic() const { return m_bKillNetworkTraffic; }

    void managerFinished(QNetworkReply* reply);
    void uploadProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void networkError(QNetworkReply::NetworkError code);
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void resetHasError() { m_bHasError = false; }

signals:
    void edgeTransferProgress(qlonglong sent, qlonglong total, QString fileName);
    void edgeFileTransfered(QString fileName, qlonglong iProgress);
    void edgeUploadFinished(QString fileName);
    // An accepted upload that the collector did not confirm (error reply or lost connection).
    void edgeUploadFailed(QString fileName);
    void edgeConnectorStatus(QString strStatus, int level);

protected:
    void updateStatus(bool success, const QString& text);

private:
    QHostAddress m_oHostAddress{QHostAddress::LocalHost};
    int m_nHostPort = 1337;
    QString m_strUploadPath = QStringLiteral("api/Collector/Binary");
    QString m_strUploadWithReferencePath = QStringLiteral("api/UploadWithReference");
    QString m_strEdgePath;
    QNetworkAccessManager m_oManager;
    QHash<QString, QString> m_hashEdgeAttributes;
    qint16 m_nErrorCounter = 0;
    bool m_bKillNetworkTraffic = false;
    bool m_bHasError = false;
    QTimer m_oResetTimer;
    qint64 m_nMaxReplyBytes = kMaxReplyBytes;
    int m_nReplyTimeoutMs = kReplyTimeoutMs;
};

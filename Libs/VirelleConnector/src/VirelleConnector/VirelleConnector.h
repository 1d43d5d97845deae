// Feeds the edge upload client from folders on disk: new files of watched folders, and the
// files of the terrain and second folders not uploaded since they last changed.
#pragma once

#include "QelRecord/FileCollector.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

class CEdgeConnector;

using TYPE_GRIDENGINE = int;

class CVirelleConnector : public QObject {
    Q_OBJECT
public:
    // Data kinds of transferFileDataInternal.
    static constexpr int s_nKindTerrain = 3;      // the tiles of the terrain folder
    static constexpr int s_nKindSecondFolder = 4; // every file of the second folder

    explicit CVirelleConnector(QObject* parent = nullptr);

    void setEdgeConnector(CEdgeConnector* connector);
    CEdgeConnector* edgeConnector() const { return m_poEdge; }
    void setVesselId(const QString& id) { m_strVesselId = id; }
    QString vesselId() const { return m_strVesselId; }
    void setDataKinds(const QSet<int>& kinds) { m_setKinds = kinds; }
    void setTerrainFolder(const QString& folder) { m_strTerrainFolder = folder; }
    void setSecondFolder(const QString& folder) { m_strSecondFolder = folder; }
    // How long a changed file of a watched folder must keep its size before it is uploaded.
    void setSettleInterval(int ms) { m_oSettleTimer.setInterval(ms); }
    // Queues files for sendBatch, one per tick of the batch timer, numbered as one batch.
    void startBatch(const QMap<QString, QByteArray>& files, int intervalMs);

    QMap<QString, QByteArray> getAllFileData(const QString& folder, const QString& filter, bool checkSent,
                                             bool terrainOnly, unsigned int minutes);
    const CFileCollector& collector() const { return m_oCollector; }

public slots:
    void pathChanged(QString path);
    void transferFileDataInternal();
    void sendBatch(int num);
    TYPE_GRIDENGINE getGEType();
    int getSendfileQuarantine();

signals:
    void relayedEdgeConnectorStatus(QString strStatus, int level);

private:
    struct Pending {
        qint64 size = -1;
    };
    // An upload handed to the client whose answer is still to come.
    struct InFlight {
        QString path;
        bool watched = false;  // from a watched folder (retried through the pending list)
        qint64 prevSent = 0;   // from a collection: the sent time to restore when it fails
        qint64 size = 0;
    };

    void onSettled();
    bool upload(const QString& path, int numFiles, const QByteArray& data, InFlight inFlight);
    void onUploadFinished(const QString& name);
    void onUploadFailed(const QString& name);
    static void markSent7z(const QString& path);

    QPointer<CEdgeConnector> m_poEdge;
    QString m_strVesselId;
    QSet<int> m_setKinds;
    CFileCollector m_oCollector;
    QString m_strTerrainFolder;
    QString m_strSecondFolder;
    QMap<QString, QByteArray> m_mapBatch;
    int m_nBatchTotal = 0;
    QTimer m_oBatchTimer;
    QTimer m_oSettleTimer;
    QMap<QString, Pending> m_mapPending;
    QHash<QString, InFlight> m_hashInFlight;
    QString m_strLastPosted;
    QHash<QString, qint64> m_hashPrevSent; // sent times before the latest collection
};

// Turns an area selected in the view into the raw soundings of the current survey: finds the raw
// files with coverage there, hands them to the point-cloud generator and reads its points back.
#pragma once

#include <QMetaType>
#include <QObject>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(std::vector<double>)

class QProcess;
class QTimer;

class CPointCloudHandOff : public QObject {
    Q_OBJECT
public:
    explicit CPointCloudHandOff(QObject* poParent = nullptr);
    ~CPointCloudHandOff() override;

    // The selection's bounding rectangle in metres (x east, y north). A hand-off still running
    // is given up for the new one.
    void start(const QRectF& oSelection);
    bool isRunning() const { return m_nStage != Stage::Idle; }

    // How long the coverage index tool and the generator may run, and how often the generator is
    // looked for (3000 ms).
    void setIndexToolTimeLimit(int nMs) { m_nIndexToolLimitMs = nMs; }
    void setGeneratorTimeLimit(int nMs) { m_nGeneratorLimitMs = nMs; }
    void setPollInterval(int nMs) { m_nPollMs = nMs; }

    // The raw folder used when the survey's own cannot be found: the one last chosen.
    QString rememberedRawFolder() const { return s_strRememberedRawFolder; }

signals:
    void statusText(QString strText, int nDelayMs);
    // The points of one generated file (east, north in metres, height); bNewBuffer for the first
    // file of a hand-off.
    void pointsReady(std::vector<double> vPoints, bool bNewBuffer);
    // The hand-off ended, with points or without.
    void finished();

private:
    enum class Stage { Idle, Indexing, Generating, Reading };

    QString rawFolder();
    void runIndexTool();
    void afterIndexTool();
    void startGenerator();
    // Looks for the generator every poll interval; reads the points back once it has ended.
    void gePointData();
    void readBack();
    void stopWorker();
    // Ends the hand-off: the wait cursor goes, finished is emitted.
    void finish();

    Stage m_nStage = Stage::Idle;
    // Counts the hand-offs, so that what arrives for an earlier one is dropped.
    int m_nRun = 0;
    QRectF m_oSelection;
    QString m_strRawFolder;
    bool m_bWaitCursor = false;
    std::unique_ptr<QProcess> m_poIndexTool;
    QTimer* m_poIndexTimer = nullptr;
    QTimer* m_poPollTimer = nullptr;
    qint64 m_nGeneratorPid = 0;
    qint64 m_nGeneratorStartMs = 0;
    int m_nIndexToolLimitMs = 120000;
    int m_nGeneratorLimitMs = 30 * 60 * 1000;
    int m_nPollMs = 3000;
    std::thread m_oWorker;
    std::atomic<bool> m_bCancel{false};

    static QString s_strRememberedRawFolder;
};

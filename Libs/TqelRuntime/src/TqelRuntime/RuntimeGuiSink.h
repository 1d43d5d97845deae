// What the runtime link does to objects of the GUI thread (3-D view controller, ship model, 2-D
// map view, survey manager, message boxes). The runtime thread calls it; the posting sink hands
// every call, with copies of its arguments and in call order, to the GUI thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class CRuntimeGuiSink {
public:
    virtual ~CRuntimeGuiSink();

    virtual void showWarning(const QString& strTitle, const QString& strText) = 0;

    // The 3-D view controller and its ship model.
    virtual void updateVessel(int nEast, int nNorth, int nHeading, const QString& strName) = 0;
    virtual void openPlanJob(const QString& strFile) = 0;
    virtual void activatePlanLine(int nLine) = 0;
    virtual void setLoggingState(bool bOn) = 0;
    virtual void addDynamicObject(const QString& strName, const QString& strCsv) = 0;
    virtual void setCorridorWidth(float fWidth) = 0;
    virtual void updateProj(const QString& strPath) = 0;
    virtual void updateCorvAddr(const QString& strGroup) = 0;

    // The 2-D map view.
    virtual void moveToVessel(bool bFollow, int nX, int nY) = 0;
    virtual void addTvgplObject(const QString& strKind) = 0;
    virtual void selectTvgplObjects(const QString& strDatagram) = 0;

    // The survey manager.
    virtual void surveyLoadGrid(const QString& strFolder, bool bRealTime) = 0;
    virtual void closeAllSurveys() = 0;

    // The live survey: the ship model's depth tail (x, y, z per point, metres) and position
    // history (a whole position datagram).
    virtual void pushDepthTail(std::vector<double>&& adPoints, const QString& strTailName) = 0;
    virtual void addPositionDatagram(const QByteArray& baDatagram) = 0;
    // A started survey's projection file: open surveys of another projection are closed, the
    // file is checked and becomes the data folder's projection; fnUse then gets the file.
    virtual void applySurveyProjection(const QString& strProjFile, const QString& strSurveyFolder,
                                       std::function<void(const QString&)> fnUse) = 0;
};

// Posts each call to the thread of the application object; the ship model's vessel moves,
// position history and soundings of existing depth tails are handed to it on the calling thread
// (it is thread-safe), so that they reach the viewer without waiting for the GUI thread.
class CPostingGuiSink : public CRuntimeGuiSink {
public:
    CPostingGuiSink();
    void showWarning(const QString& strTitle, const QString& strText) override;
    void updateVessel(int nEast, int nNorth, int nHeading, const QString& strName) override;
    void openPlanJob(const QString& strFile) override;
    void activatePlanLine(int nLine) override;
    void setLoggingState(bool bOn) override;
    void addDynamicObject(const QString& strName, const QString& strCsv) override;
    void setCorridorWidth(float fWidth) override;
    void updateProj(const QString& strPath) override;
    void updateCorvAddr(const QString& strGroup) override;
    void moveToVessel(bool bFollow, int nX, int nY) override;
    void addTvgplObject(const QString& strKind) override;
    void selectTvgplObjects(const QString& strDatagram) override;
    void surveyLoadGrid(const QString& strFolder, bool bRealTime) override;
    void closeAllSurveys() override;
    void pushDepthTail(std::vector<double>&& adPoints, const QString& strTailName) override;
    void addPositionDatagram(const QByteArray& baDatagram) override;
    void applySurveyProjection(const QString& strProjFile, const QString& strSurveyFolder,
                               std::function<void(const QString&)> fnUse) override;

    // Jobs fed from the network that may wait for the GUI thread at once; more are dropped.
    static constexpr int kMaxWaitingJobs = 4096;
    // Dynamic objects waiting for the GUI thread, the newest state per name.
    static constexpr int kMaxWaitingDynamicObjects = 1024;

private:
    // Ship-model jobs posted to the GUI thread and not yet run: while there are any, later ones
    // are posted behind them, so that the viewer gets the ship model's messages in call order.
    std::shared_ptr<std::atomic<int>> m_pnShipJobsWaiting;
    template <typename F>
    void postShipJob(F&& fnJob);
    // Counts a job in unless kMaxWaitingJobs are waiting already; else counts it dropped.
    bool admitJob(std::atomic<int>& nWaiting, const char* szWhat);
    // Posts a job unless kMaxWaitingJobs are waiting already (the job is then dropped, counted).
    template <typename F>
    void postBounded(const char* szWhat, F&& fnJob);
    std::shared_ptr<std::atomic<int>> m_pnJobsWaiting;
    std::shared_ptr<std::atomic<quint64>> m_pnJobsDropped;
    struct WaitingDynamicObjects {
        std::mutex oMutex;
        std::vector<std::pair<QString, QString>> lstObjects; // name, text; in order of arrival
        bool bPosted = false;
        quint64 nDropped = 0;
    };
    std::shared_ptr<WaitingDynamicObjects> m_poDynamic;
};

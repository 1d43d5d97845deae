// A GUI sink that records every call of the runtime link as one text line, thread-safely.
#pragma once

#include "TqelRuntime/RuntimeGuiSink.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class RecordingGuiSink : public CRuntimeGuiSink {
public:
    QStringList calls() const
    {
        QMutexLocker oLock(&m_oMutex);
        return m_lstCalls;
    }
    QStringList take()
    {
        QMutexLocker oLock(&m_oMutex);
        QStringList lstCalls = m_lstCalls;
        m_lstCalls.clear();
        return lstCalls;
    }

    void showWarning(const QString& strTitle, const QString& strText) override { add("showWarning", {strTitle, strText}); }
    void updateVessel(int nEast, int nNorth, int nHeading, const QString& strName) override
    {
        add("updateVessel", {QString::number(nEast), QString::number(nNorth), QString::number(nHeading), strName});
    }
    void openPlanJob(const QString& strFile) override { add("openPlanJob", {strFile}); }
    void activatePlanLine(int nLine) override { add("activatePlanLine", {QString::number(nLine)}); }
    void setLoggingState(bool bOn) override { add("setLoggingState", {QString::number(bOn)}); }
    void addDynamicObject(const QString& strName, const QString& strCsv) override { add("addDynamicObject", {strName, strCsv}); }
    void setCorridorWidth(float fWidth) override { add("setCorridorWidth", {QString::number(static_cast<double>(fWidth))}); }
    void updateProj(const QString& strPath) override { add("updateProj", {strPath}); }
    void updateCorvAddr(const QString& strGroup) override { add("updateCorvAddr", {strGroup}); }
    void moveToVessel(bool bFollow, int nX, int nY) override
    {
        add("moveToVessel", {QString::number(bFollow), QString::number(nX), QString::number(nY)});
    }
    void addTvgplObject(const QString& strKind) override { add("addTvgplObject", {strKind}); }
    void selectTvgplObjects(const QString& strDatagram) override { add("selectTvgplObjects", {strDatagram}); }
    void surveyLoadGrid(const QString& strFolder, bool bRealTime) override
    {
        add("surveyLoadGrid", {strFolder, QString::number(bRealTime)});
    }
    void closeAllSurveys() override { add("closeAllSurveys", {}); }
    void pushDepthTail(std::vector<double>&& adPoints, const QString& strTailName) override
    {
        QMutexLocker oLock(&m_oMutex);
        m_lstTails.push_back({strTailName, std::move(adPoints)});
    }
    void addPositionDatagram(const QByteArray& baDatagram) override { add("addPositionDatagram", {QString::fromLatin1(baDatagram.toHex())}); }
    void applySurveyProjection(const QString& strProjFile, const QString& strSurveyFolder,
                               std::function<void(const QString&)> fnUse) override
    {
        add("applySurveyProjection", {strProjFile, strSurveyFolder});
        QMutexLocker oLock(&m_oMutex);
        m_fnUseProjection = std::move(fnUse);
    }

    // The depth-tail hand-overs since the last call.
    struct Tail {
        QString name;
        std::vector<double> points;
    };
    std::vector<Tail> takeTails()
    {
        QMutexLocker oLock(&m_oMutex);
        return std::exchange(m_lstTails, {});
    }
    // The continuation of the last applySurveyProjection.
    std::function<void(const QString&)> useProjection()
    {
        QMutexLocker oLock(&m_oMutex);
        return m_fnUseProjection;
    }

private:
    void add(const char* szName, const QStringList& lstArgs)
    {
        QMutexLocker oLock(&m_oMutex);
        m_lstCalls << QLatin1String(szName) + QLatin1Char('(') + lstArgs.join(QLatin1Char('|')) + QLatin1Char(')');
    }

    mutable QMutex m_oMutex;
    QStringList m_lstCalls;
    std::vector<Tail> m_lstTails;
    std::function<void(const QString&)> m_fnUseProjection;
};

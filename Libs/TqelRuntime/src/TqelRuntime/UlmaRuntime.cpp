#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "QtAppFramework/DBoperations.h"
#include "QtAppFramework/QtLogger.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/UlmaRuntimeLive.h"
#include "SurveyUtils/Navigation.h"
#include "SurveyUtils/WaypointSentenceSender.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDateTime>
#include <QDebug>
#include <QMutexLocker>
#include <QUdpSocket>

#include <utility>

#include <mutex>

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

std::mutex g_oInstanceMutex;
CUlmaRuntime* g_poInstance = nullptr;
bool g_bDestroyed = false;

const char* const s_szMulticastPrefix = "225.1.13.";

} // namespace

// The runtime link's database-operations object; nothing opens it.
CDBoperations g_oQelExtDb("QelExt");

CUlmaRuntime* CUlmaRuntime::instance(int nMode)
{
    std::lock_guard<std::mutex> oLock(g_oInstanceMutex);
    if (!g_poInstance && !g_bDestroyed) {
        qRegisterMetaType<std::string>("std::string");
        g_poInstance = new CUlmaRuntime(nMode);
    }
    return g_poInstance;
}

CUlmaRuntime::CUlmaRuntime(int nMode, std::shared_ptr<CRuntimeGuiSink> poGuiSink)
    : QObject(nullptr), m_poProjection(std::make_unique<QelProj::CProjection>()), m_poGuiSink(std::move(poGuiSink)),
      m_poLive(new CLiveLinkState)
{
    qRegisterMetaType<int*>("int*");
    qRegisterMetaType<std::string>("std::string");
    if (!m_poGuiSink)
        m_poGuiSink = std::make_shared<CPostingGuiSink>();
    for (int i = 0; i < 7; ++i)
        m_lstPulsorNames << QStringLiteral("Not in use");
    init(nMode);
}

CUlmaRuntime::~CUlmaRuntime()
{
    std::lock_guard<std::mutex> oLock(g_oInstanceMutex);
    if (g_poInstance == this) {
        g_poInstance = nullptr;
        g_bDestroyed = true;
    }
}

void CUlmaRuntime::init(int nMode)
{
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 1"));
    m_nMode = nMode;
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 1.3"));
    if (nMode >= 0 && nMode <= 2) {
        LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 2"));
        m_poDepthSocket = openSocket(25030, false, QStringLiteral("Failed to open RT Depth socket 25030 "));
        if (m_poDepthSocket) {
            connect(m_poDepthSocket, &QUdpSocket::readyRead, this, &CUlmaRuntime::readRTDepthDatagram);
            connect(m_poDepthSocket, &QAbstractSocket::errorOccurred, this,
                    &CUlmaRuntime::onSocketError);
        }
        m_poCtrlSocket = openSocket(25035, false, QStringLiteral("Failed to open UlmaExec socket 25035 "));
        if (m_poCtrlSocket)
            connect(m_poCtrlSocket, &QUdpSocket::readyRead, this, &CUlmaRuntime::readCtrlDatagram);
    } else if (nMode == 4) {
        LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 4"));
        reconnectCorvSocks();
    }
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 5"));
    // The remote-station TCP server of modes 0 and 2 belongs to the remote-station link.
    if (nMode == 0 || nMode == 2)
        startRemoteDataServer();
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::init 6"));
}

QString CUlmaRuntime::multicastGroupForModel(int nModel)
{
    int nGroup = 37;
    switch (nModel) {
    case 110:
        nGroup = 14;
        break;
    case 330:
        nGroup = 34;
        break;
    case 770:
        nGroup = 71;
        break;
    case 2200:
    case 2201:
    case 2202:
    case 2205:
        nGroup = 24;
        break;
    default:
        break;
    }
    return QLatin1String(s_szMulticastPrefix) + QString::number(nGroup);
}

void CUlmaRuntime::setLogger(CQtLogger** ppoLogger)
{
    m_ppoLogger = ppoLogger;
}

void CUlmaRuntime::log(const QString& strText, unsigned nType)
{
    if (m_ppoLogger && *m_ppoLogger)
        (*m_ppoLogger)->log(strText, nType);
}

QString CUlmaRuntime::multicastGroup() const
{
    QMutexLocker oLock(&m_oMutex);
    return m_strMulticastGroup;
}

QString CUlmaRuntime::getVesselId() const
{
    QMutexLocker oLock(&m_oMutex);
    return m_strVesselId;
}

QString CUlmaRuntime::getVesselGridPath(const QString& strVessel)
{
    QMutexLocker oLock(&m_oMutex);
    // operator[] records the vessel with an empty path when it is new.
    return m_mapSurveyFolders[strVessel];
}

void CUlmaRuntime::shutdown()
{
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::shutdown"));
    m_poWaypointSender.reset();
    m_poServiceSocket.reset();
    for (QUdpSocket* poSocket : {m_poDepthSocket, m_poUlmaExecSocket, m_poPosSocket, m_poCtrlSocket})
        if (poSocket)
            poSocket->abort();
    closeSocket(m_poUlmaExecSocket);
    closeSocket(m_poPosSocket);
    closeSocket(m_poDepthSocket);
    closeSocket(m_poCtrlSocket);
    stopRemoteLink();
}

void CUlmaRuntime::setProjFile(std::string strFile)
{
    if (m_poProjection->loadProjectionFile(strFile) && m_poProjection->createTransformation() != 0)
        log(QStringLiteral("CUlmaRuntime::setProjFile - WARNING : no transformation from %1")
                .arg(QString::fromStdString(strFile)),
            2);
}

void CUlmaRuntime::measureDistance(QPoint oFrom, QPoint oTo)
{
    qDebug() << "Measure distance from " << oFrom << " to " << oTo;
    if (!m_poWaypointSender)
        m_poWaypointSender = std::make_unique<CWaypointSentenceSender>();
    if (oTo.isNull()) {
        // No position datagram has been received by this link: there is no vessel to measure from.
        return;
    }
    double dDistance = 0;
    double dHeading = 0;
    computeDistanceHeading(oFrom.y(), oFrom.x(), oTo.y(), oTo.x(), &dDistance, &dHeading);
    double dFromLat = 0;
    double dFromLon = 0;
    double dToLat = 0;
    double dToLon = 0;
    m_poProjection->toGeographic(oFrom.y(), oFrom.x(), dFromLat, dFromLon);
    m_poProjection->toGeographic(oTo.y(), oTo.x(), dToLat, dToLon);
    m_poWaypointSender->sendWaypointLocation(dFromLat, dFromLon);
    const quint32 nNow = static_cast<quint32>(QDateTime::currentSecsSinceEpoch());
    m_poWaypointSender->sendBearingToWaypoint(nNow, dToLat, dToLon, dHeading, dDistance / 100.0 / 1852.0, "WP1");
}

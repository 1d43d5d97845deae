// Real-time depth datagrams: relayed to the display stations by a main station, and turned into
// points of the vessel's depth tail at most once per update interval.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GetToken.h"
#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TqelRuntime/DepthDatagram.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/UlmaRuntimeLive.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QHostAddress>
#include <QUdpSocket>

#include <cmath>
#include <exception>

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

constexpr int DefaultRelayIntervalMs = 4000;
// Soundings waiting for their projection step or tail update are held within this bound.
constexpr std::size_t MaxPendingSoundings = 500000;

using depth_datagram::Status;

} // namespace

void CUlmaRuntime::relayDepths(const QByteArray& baDatagram, qint64 nNow)
{
    live_detail::DepthState& oState = m_poLive->depth;
    if (!oState.bRelayReady) {
        oState.bRelayReady = true;
        const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
        oState.poRelaySocket = std::make_unique<QUdpSocket>();
        const int nTailPort = GuiIni::value(strRuntime, QStringLiteral("CorvTailPort"), 25130).toInt();
        oState.bRelayNoMulticast = GuiIni::value(strRuntime, QStringLiteral("CorvNoMCAST"), false).toBool();
        const QString strSendIp = GuiIni::readSendIp();
        if (!oState.poRelaySocket->bind(QHostAddress(strSendIp), 0))
            LOG4CPLUS_WARN(runtimeLogger(), ("Depth relay: cannot bind to " + strSendIp).toLocal8Bit().constData());
        if (!oState.bRelayNoMulticast)
            oState.poRelaySocket->setSocketOption(QAbstractSocket::MulticastTtlOption, 2);
        const int nPortAdd = GuiIni::value(strRuntime, QStringLiteral("CorvPortAdd"), 0).toInt();
        oState.nRelayPort = static_cast<quint16>(nTailPort + nPortAdd);
        const QByteArray baInterval = qgetenv("CORVTAIL");
        oState.nRelayIntervalMs = baInterval.isEmpty() ? DefaultRelayIntervalMs : baInterval.toInt();
    }
    if (nNow - oState.nLastRelay < oState.nRelayIntervalMs)
        return;
    const QHostAddress oTarget = oState.bRelayNoMulticast ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(multicastGroup());
    oState.poRelaySocket->writeDatagram(baDatagram, oTarget, oState.nRelayPort);
    oState.nLastRelay = nNow;
}

void CUlmaRuntime::processRTDepths(QByteArray& baDatagram)
{
    try {
        live_detail::DepthState& oState = m_poLive->depth;
        const qint64 nNow = m_poLive->fnNowMs();
        if (!oState.bIntervalRead) {
            // Read once: the token store reads its file on every call.
            oState.bIntervalRead = true;
            oState.nUpdateIntervalMs = g_getToken.getTokValueInt("MAKEXYZ_UPDATE_COV_DEPTH");
            LOG4CPLUS_DEBUG(runtimeLogger(), QStringLiteral("MAKEXYZ_UPDATE_COV_DEPTH is %1").arg(oState.nUpdateIntervalMs).toLocal8Bit().constData());
        }
        const qint64 nInterval = oState.nUpdateIntervalMs;
        if (m_nMode >= 0 && m_nMode <= 2)
            relayDepths(baDatagram, nNow);
        if (baDatagram.isEmpty())
            return;

        if (depth_datagram::isProjectedForm(baDatagram)) {
            QString strTail;
            int nRecords = 0;
            const std::size_t nBefore = oState.adPoints.size();
            const Status eStatus = depth_datagram::readProjected(baDatagram, oState.adPoints, strTail, nRecords);
            if (eStatus == Status::CountWarning)
                LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processRTDepths - Invalid data"));
            if (eStatus != Status::Used)
                return;
            if (!acceptTailName(strTail) || oState.adPoints.size() > 3 * MaxPendingSoundings) {
                oState.adPoints.resize(nBefore);
                return;
            }
            if (nNow - oState.nLastTailUpdate > nInterval) {
                readWaitingPositions();
                m_poGuiSink->pushDepthTail(std::move(oState.adPoints), strTail);
                oState.adPoints = {};
                oState.nLastTailUpdate = nNow;
            }
            return;
        }

        quint16 nSequence = 0;
        int nRecords = 0;
        if (baDatagram.size() < 28)
            return;
        const std::size_t nBefore = oState.adLatitudes.size();
        const Status eStatus = depth_datagram::readPosition(baDatagram, nSequence, nRecords, oState.adLatitudes, oState.adLongitudes,
                                                            oState.adDepths);
        if (nSequence != oState.nExpectedSequence && m_nMode == 0)
            LOG4CPLUS_DEBUG(runtimeLogger(), LOG4CPLUS_TEXT("Tail out of sync"));
        oState.nExpectedSequence = static_cast<quint16>(nSequence + 1);
        if (eStatus == Status::BadCount) {
            LOG4CPLUS_INFO(runtimeLogger(), QStringLiteral("CUlmaRuntime::processRTDepths - Invalid data. Cnt %1").arg(nRecords).toLocal8Bit().constData());
            return;
        }
        if (eStatus != Status::Used)
            return;
        if (nBefore + static_cast<std::size_t>(nRecords) > MaxPendingSoundings) {
            oState.adLatitudes.resize(nBefore);
            oState.adLongitudes.resize(nBefore);
            oState.adDepths.resize(nBefore);
            return;
        }
        if (!acceptTailName(getVesselId() + QStringLiteral(":0"))) {
            oState.adLatitudes.resize(nBefore);
            oState.adLongitudes.resize(nBefore);
            oState.adDepths.resize(nBefore);
            return;
        }
        if (nNow - oState.nLastProjection > nInterval) {
            readWaitingPositions();
            projectPendingSoundings(nNow);
        }
        if (nNow - oState.nLastTailUpdate > 2 * nInterval) {
            readWaitingPositions();
            m_poGuiSink->pushDepthTail(std::move(oState.adPoints), getVesselId() + QStringLiteral(":0"));
            oState.adPoints = {};
            oState.nLastTailUpdate = nNow;
        }
    } catch (const std::exception& oError) {
        LOG4CPLUS_FATAL(runtimeLogger(), LOG4CPLUS_TEXT("Exeption in CUlmaRuntime::processRTDepths"));
        qDebug().noquote() << "Exeption in CUlmaRuntime::processRTDepths " + QString::fromLocal8Bit(oError.what());
    }
}

void CUlmaRuntime::projectPendingSoundings(qint64 nNow)
{
    live_detail::DepthState& oState = m_poLive->depth;
    const std::size_t nCount = oState.adLatitudes.size();
    std::vector<double>& adNorths = oState.adNorths;
    std::vector<double>& adEasts = oState.adEasts;
    adNorths.resize(nCount);
    adEasts.resize(nCount);
    if (nCount > 0
        && m_poProjection->toProjectedBatch(nCount, oState.adLatitudes.data(), oState.adLongitudes.data(), adNorths.data(), adEasts.data(), true) < 0)
        adNorths.assign(nCount, std::nan(""));
    oState.adPoints.reserve(oState.adPoints.size() + 3 * nCount);
    for (std::size_t i = 0; i < nCount; ++i) {
        // A sounding the projection cannot place is dropped, never drawn at (0, 0).
        if (!std::isfinite(adNorths[i]) || !std::isfinite(adEasts[i]))
            continue;
        oState.adPoints.push_back(depth_datagram::roundCentimetres(adEasts[i]) / 100.0);
        oState.adPoints.push_back(depth_datagram::roundCentimetres(adNorths[i]) / 100.0);
        oState.adPoints.push_back(-oState.adDepths[i]);
    }
    oState.nLastProjection = nNow;
    oState.adLatitudes.clear();
    oState.adLongitudes.clear();
    oState.adDepths.clear();
}

bool CUlmaRuntime::acceptTailName(const QString& strName)
{
    live_detail::DepthState& oState = m_poLive->depth;
    if (oState.setTailNames.contains(strName))
        return true;
    if (strName.size() <= live_detail::MaxDepthTailNameLength && oState.setTailNames.size() < live_detail::MaxDepthTailNames) {
        oState.setTailNames.insert(strName);
        return true;
    }
    if (!oState.bTailNameWarned) {
        oState.bTailNameWarned = true;
        LOG4CPLUS_WARN(runtimeLogger(), ("CUlmaRuntime::processRTDepths - depth tail not taken: " + strName.left(64)).toLocal8Bit().constData());
    }
    return false;
}

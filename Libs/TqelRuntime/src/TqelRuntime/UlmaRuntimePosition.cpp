// Vessel position datagrams: the remote-station client's start, the vessel in the view and its
// position history, the copies a main station sends on, and the follow-vessel schedule.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GetToken.h"
#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TqelRuntime/PositionFix.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/UlmaRuntimeLive.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDateTime>
#include <QDebug>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#include <cmath>

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

constexpr int LastPositionBytes = 288;
constexpr quint16 PlanningPort = 4891;
constexpr int FollowStartDelayMs = 10000;
constexpr qint64 DefaultFollowIntervalMs = 5000;

} // namespace

void CUlmaRuntime::decideRemoteClient(const QString& strSender)
{
    live_detail::PositionState& oState = m_poLive->position;
    if (oState.bRemoteClientDecided || m_nMode != 4)
        return;
    // The first datagram decides once, whatever it holds.
    oState.bRemoteClientDecided = true;
    const QString strTarget = position_datagram::remoteClientTarget(strSender, QNetworkInterface::allAddresses());
    if (strTarget.isEmpty())
        return;
    qInfo().noquote() << "Connect to QEL TCP server on IP " + strTarget + " for corv data...";
    startRemoteDataClient(strTarget);
}

void CUlmaRuntime::processShipPosition(QByteArray& baDatagram, const QString& strSender)
{
    decideRemoteClient(strSender);
    live_detail::PositionState& oState = m_poLive->position;

    position_datagram::Fix oFix;
    if (!position_datagram::parse(baDatagram, oFix) || oFix.cType != 'Q') {
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processShipPosition -- WARN: Invalid Q datagram"));
        return;
    }
    if (oState.baLastPosition.isEmpty())
        oState.baLastPosition = QByteArray(LastPositionBytes, '\0');
    oState.baLastPosition.fill('\0');
    if (baDatagram.size() <= LastPositionBytes)
        oState.baLastPosition.replace(0, baDatagram.size(), baDatagram);
    else
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processShipPosition - Error in memcpy"));

    const double dLatitude = oFix.nLatitude / 20000000.0;
    const double dLongitude = oFix.nLongitude / 10000000.0;
    double dNorth = 0;
    double dEast = 0;
    bool bProjected = m_poProjection->toProjected(dLatitude, dLongitude, dNorth, dEast, true) == 0;
    bProjected = bProjected && std::isfinite(dNorth) && std::isfinite(dEast);
    if (!bProjected)
        LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processShipPosition error in fwdProjection"));

    if (oFix.nModel == 0) {
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::processShipPosition -- Sounder type is 0"));
        return;
    }
    const QString strLabel = position_datagram::vesselLabel(oFix);
    // A position the projection cannot give never moves the vessel.
    if (bProjected && (oFix.nLatitude != oState.nLastLatitude || oFix.nLongitude != oState.nLastLongitude))
        m_poGuiSink->updateVessel(position_datagram::toWholeCentimetres(dEast), position_datagram::toWholeCentimetres(dNorth),
                                  oFix.nHeading, strLabel);
    if (oFix.nQuality == 0xFFFF)
        m_poGuiSink->addPositionDatagram(baDatagram);
    oState.nLastLatitude = oFix.nLatitude;
    oState.nLastLongitude = oFix.nLongitude;

    if (m_nMode >= 0 && m_nMode <= 2)
        forwardPosition(baDatagram);
    followVessel();
}

void CUlmaRuntime::forwardPosition(QByteArray& baDatagram)
{
    live_detail::PositionState& oState = m_poLive->position;
    if (!oState.bForwardReady) {
        oState.bForwardReady = true;
        const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
        oState.poForwardSocket = std::make_unique<QUdpSocket>();
        const int nPosPort = GuiIni::value(strRuntime, QStringLiteral("CorvPosPort"), 25125).toInt();
        oState.bForwardNoMulticast = GuiIni::value(strRuntime, QStringLiteral("CorvNoMCAST"), false).toBool();
        const QString strSendIp = GuiIni::readSendIp();
        LOG4CPLUS_INFO(runtimeLogger(), QStringLiteral("Send data to corv from IP %1").arg(strSendIp).toLocal8Bit().constData());
        const QHostAddress oBound(strSendIp);
        if (!oState.poForwardSocket->bind(oBound, 0))
            LOG4CPLUS_WARN(runtimeLogger(), ("Position copies: cannot bind to " + strSendIp).toLocal8Bit().constData());
        if (!oState.bForwardNoMulticast) {
            for (const QNetworkInterface& oInterface : QNetworkInterface::allInterfaces()) {
                const auto eFlags = oInterface.flags();
                if (!(eFlags & QNetworkInterface::IsRunning) || !(eFlags & QNetworkInterface::CanMulticast))
                    continue;
                for (const QNetworkAddressEntry& oEntry : oInterface.addressEntries()) {
                    if (oEntry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                        continue;
                    if (oEntry.ip().toString() == oBound.toString()) {
                        oState.poForwardSocket->setMulticastInterface(oInterface);
                        break;
                    }
                }
            }
            oState.poForwardSocket->setSocketOption(QAbstractSocket::MulticastTtlOption, 2);
        }
        const int nPortAdd = GuiIni::value(strRuntime, QStringLiteral("CorvPortAdd"), 0).toInt();
        oState.nForwardPort = static_cast<quint16>(nPosPort + nPortAdd);
    }
    const QHostAddress oTarget = oState.bForwardNoMulticast ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(multicastGroup());
    oState.poForwardSocket->writeDatagram(baDatagram, oTarget, oState.nForwardPort);

    // The planning side takes the descriptor without its high bit.
    if (static_cast<unsigned char>(baDatagram.at(32)) > 0x80)
        baDatagram[32] = static_cast<char>(static_cast<unsigned char>(baDatagram.at(32)) - 0x80);
    if (!oState.poPlanningSocket)
        oState.poPlanningSocket = std::make_unique<QUdpSocket>();
    if (oState.poPlanningSocket->writeDatagram(baDatagram, QHostAddress(QHostAddress::LocalHost), PlanningPort) != baDatagram.size())
        qWarning() << "Failed to send pos to planning";
}

void CUlmaRuntime::followVessel()
{
    live_detail::PositionState& oState = m_poLive->position;
    if (!oState.bFollowIntervalRead) {
        oState.bFollowIntervalRead = true;
        oState.nFollowIntervalMs = static_cast<qint64>(g_getToken.getTokValueInt("FOLLOW_VESSEL_INTERVAL")) * 1000;
        if (oState.nFollowIntervalMs < 1000)
            oState.nFollowIntervalMs = DefaultFollowIntervalMs;
        qDebug().noquote() << "FOLLOW_VESSEL_INTERVAL is " + QString::number(oState.nFollowIntervalMs / 1000);
        oState.nLastFollow = QDateTime(QDate(2000, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
    }
    const qint64 nNow = m_poLive->fnNowMs();
    if (nNow - oState.nLastFollow < oState.nFollowIntervalMs)
        return;
    oState.nLastFollow = nNow;
    if (!oState.bFollowStarted) {
        oState.bFollowStarted = true;
        if (m_nMode == 1 || m_nMode == 4)
            emit sigToggleFollowShip();
        QTimer::singleShot(FollowStartDelayMs, this, [this] { m_poGuiSink->moveToVessel(true, 0, 0); });
    }
    m_poGuiSink->moveToVessel(false, 0, 0);
}

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
#include <QMutexLocker>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>
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
const char* const MainStationKey = "MainStationAddress";

// An address as text without the IPv4-mapped prefix; empty for a text that is no address.
QString plainAddress(const QString& strAddress)
{
    const QString strTrimmed = strAddress.trimmed();
    if (QHostAddress(strTrimmed).isNull())
        return QString();
    QString strPlain = strTrimmed;
    if (strPlain.startsWith(QLatin1String("::ffff:")))
        strPlain.remove(0, 7);
    return strPlain;
}

} // namespace

QString CUlmaRuntime::followedStation() const
{
    QMutexLocker oLock(&m_oMutex);
    return m_strFollowedStation;
}

bool CUlmaRuntime::takesPositionsFrom(const QString& strSender)
{
    live_detail::SenderState& oState = m_poLive->sender;
    if (!oState.bPinRead) {
        oState.bPinRead = true;
        const QString strPin =
            GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QLatin1String(MainStationKey), QString()).toString();
        oState.strPinned = plainAddress(strPin);
        if (!strPin.trimmed().isEmpty() && oState.strPinned.isEmpty())
            LOG4CPLUS_WARN(runtimeLogger(), ("gui.ini " + QString::fromLatin1(MainStationKey) + " is not an address: " + strPin)
                                                .toLocal8Bit().constData());
        QMutexLocker oLock(&m_oMutex);
        m_strFollowedStation = oState.strPinned;
    }
    if (oState.strPinned.isEmpty() || plainAddress(strSender) == oState.strPinned)
        return true;
    ++oState.nIgnored;
    if (oState.setIgnoredLogged.size() < live_detail::MaxLoggedIgnoredSenders && !oState.setIgnoredLogged.contains(strSender)) {
        oState.setIgnoredLogged.insert(strSender);
        const bool bLast = oState.setIgnoredLogged.size() == live_detail::MaxLoggedIgnoredSenders;
        LOG4CPLUS_WARN(runtimeLogger(), QStringLiteral("Position datagrams from %1 ignored: the main station is %2%3")
                                            .arg(strSender, oState.strPinned,
                                                 bLast ? QStringLiteral(" (further senders are not named)") : QString())
                                            .toLocal8Bit()
                                            .constData());
    }
    return false;
}

void CUlmaRuntime::notePositionSender(const QString& strSender)
{
    live_detail::SenderState& oState = m_poLive->sender;
    if (oState.bRelayed && strSender == oState.strCurrent)
        return;
    oState.strCurrent = strSender;
    if (oState.bRelayScheduled)
        return;
    using namespace std::chrono;
    const auto nSince = duration_cast<milliseconds>(steady_clock::now() - oState.tLastRelay).count();
    if (!oState.bRelayed || nSince >= live_detail::SenderRelayIntervalMs) {
        relayPositionSender();
        return;
    }
    // The GUI hears only of the sender current when the interval is over.
    oState.bRelayScheduled = true;
    QTimer::singleShot(static_cast<int>(live_detail::SenderRelayIntervalMs - nSince), this, [this] {
        m_poLive->sender.bRelayScheduled = false;
        relayPositionSender();
    });
}

void CUlmaRuntime::relayPositionSender()
{
    live_detail::SenderState& oState = m_poLive->sender;
    if (oState.bRelayed && oState.strCurrent == oState.strRelayed)
        return;
    oState.bRelayed = true;
    oState.strRelayed = oState.strCurrent;
    oState.tLastRelay = std::chrono::steady_clock::now();
    emit relayToMapView(22, oState.strCurrent);
}

void CUlmaRuntime::followStation(QString strAddress)
{
    const QString strPlain = plainAddress(strAddress);
    if (!strAddress.trimmed().isEmpty() && strPlain.isEmpty()) {
        LOG4CPLUS_WARN(runtimeLogger(), ("Not a station address: " + strAddress).toLocal8Bit().constData());
        return;
    }
    live_detail::SenderState& oState = m_poLive->sender;
    oState.bPinRead = true;
    oState.strPinned = strPlain;
    oState.setIgnoredLogged.clear();
    oState.strLastAddress = QString();
    {
        QMutexLocker oLock(&m_oMutex);
        m_strFollowedStation = strPlain;
    }
    if (!GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QLatin1String(MainStationKey), strPlain))
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("The followed station could not be written to gui.ini"));
    LOG4CPLUS_INFO(runtimeLogger(), (strPlain.isEmpty() ? QStringLiteral("Following the first station that sends positions")
                                                        : QStringLiteral("Following the main station ") + strPlain)
                                        .toLocal8Bit()
                                        .constData());
    if (strPlain.isEmpty())
        return;
    // The station page and the remote link go to the chosen station at once.
    oState.strCurrent = strPlain;
    relayPositionSender();
    if (m_nMode == 4) {
        m_poLive->position.bRemoteClientDecided = true;
        retargetRemoteDataClient(strPlain);
    }
}

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

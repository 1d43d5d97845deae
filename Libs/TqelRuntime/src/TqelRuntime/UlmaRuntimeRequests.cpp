// Requests of the runtime link to the sounder runtime and the local runtime service.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GuiIni.h"
#include "QtAppFramework/QtLogger.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/UlmaRuntimeLive.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTime>
#include <QTimer>
#include <QMutexLocker>
#include <QUdpSocket>

#include <algorithm>

namespace {

constexpr quint16 SounderRuntimePort = 4002;
constexpr quint16 RuntimeServicePort = 14002;
// After a start request the sonar display is reset once after 5 s, then every 10 s.
constexpr int StartSettleMs = 5000;
constexpr int StartRepeatMs = 10000;

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

bool isOneOf(int nType, std::initializer_list<int> lstTypes)
{
    return std::find(lstTypes.begin(), lstTypes.end(), nType) != lstTypes.end();
}

} // namespace

void CUlmaRuntime::setVesselGridPath(const QString& strVessel, const QString& strPath)
{
    QMutexLocker oLock(&m_oMutex);
    m_mapSurveyFolders[strVessel] = strPath.trimmed();
}

QString CUlmaRuntime::activeSounder() const
{
    QMutexLocker oLock(&m_oMutex);
    return m_strActiveSounder;
}

void CUlmaRuntime::sendRequestToUlmaexec(int nType, const QString& strArgs, bool)
{
    qDebug() << "ToUlmax :" << nType << "Args :" << strArgs;
    const QString strVessel = getVesselId();
    if (strVessel.startsWith(QLatin1Char('~')))
        return;
    const QString strActive = activeSounder();
    const QString strType = QString::number(nType);
    const QString strEnd = QStringLiteral("\n\r");

    if (nType == 463)
        forgetPuSource(strArgs);

    QString strSentence = QStringLiteral("$TVQEL,450,") + strVessel + QLatin1Char(',');
    if (isOneOf(nType, {452, 463, 487})) {
        strSentence += strType + QLatin1Char(',') + strArgs + strEnd;
    } else if (isOneOf(nType, {453, 454, 469})) {
        strSentence += strType + QLatin1Char(',') + strActive + strEnd;
    } else if (isOneOf(nType, {457, 461, 465, 466, 467, 468, 474, 480, 481, 491})) {
        // Without an active sounder the unfinished start of the sentence goes out.
        if (!strActive.isEmpty())
            strSentence += strType + QLatin1Char(',') + strActive + QLatin1Char(',') + strArgs + strEnd;
    } else if (isOneOf(nType, {1472, 1473})) {
        strSentence += strType + QLatin1Char(',') + strActive + QLatin1Char(',') + strArgs + strEnd;
    } else if (nType == 485) {
        strSentence += strArgs + strEnd;
    } else if (nType == 10 || nType == 12) {
        strSentence = QStringLiteral("$QXR%1,ULMAX=%2,ROP=,SID=,PLN=,PLL=,COM=*00\r\n").arg(nType).arg(m_nActiveModelCode);
        LOG4CPLUS_INFO(runtimeLogger(), strSentence.toLatin1().constData());
    } else if (nType == 13) {
        const QString strCoverage = QStringLiteral("$TVQEL,262,") + strActive + QLatin1Char(',') + strArgs;
        LOG4CPLUS_DEBUG(runtimeLogger(), strCoverage.toLatin1().constData());
        sendToRuntimeService(strCoverage);
    } else if (!strArgs.isEmpty()) {
        strSentence += strType + QLatin1Char(',') + strArgs + strEnd;
    } else if (!strActive.isEmpty()) {
        strSentence += strType + QLatin1Char(',') + strActive + strEnd;
    } else {
        strSentence += strType + strEnd;
    }

    qDebug().noquote() << "TVQEL" << strSentence;
    log(strSentence, 1);
    log(QStringLiteral("Send to default"), 1);
    QString strSent = strSentence;
    strSent.replace(QLatin1String("2200C"), QLatin1String("2205"));
    strSent.replace(QLatin1String("2200P"), QLatin1String("2201"));
    QUdpSocket oSocket;
    const QByteArray baSent = strSent.toLatin1();
    if (oSocket.writeDatagram(baSent, QHostAddress(QHostAddress::LocalHost), SounderRuntimePort) != baSent.size())
        qDebug() << "Failed to send data. Code " << oSocket.error() << " error text: " << oSocket.errorString();

    if (nType == 452) {
        m_poLive->strLastStarted = strActive;
        QTimer::singleShot(StartSettleMs, this, [this] { emit configureSonarDisp(0); });
        if (!m_poLive->poStartTimer) {
            m_poLive->poStartTimer = new QTimer(this);
            connect(m_poLive->poStartTimer, &QTimer::timeout, this, [this] { emit configureSonarDisp(0); });
            m_poLive->poStartTimer->start(StartRepeatMs);
        }
    }
}

void CUlmaRuntime::sendToRuntimeService(const QString& strText)
{
    if (!m_poServiceSocket)
        m_poServiceSocket = std::make_unique<QUdpSocket>();
    m_poServiceSocket->writeDatagram(strText.toLatin1(), QHostAddress(QHostAddress::LocalHost), RuntimeServicePort);
}

void CUlmaRuntime::sendCoverageRequest(const QString& strSounder)
{
    sendToRuntimeService(QStringLiteral("$TVQEL,261,") + strSounder + QStringLiteral(",RUNT_PARAM_PU_ANGLE_PORT_RX1,RUNT_PARAM_PU_ANGLE_STARB_RX1"));
}

void CUlmaRuntime::requestCoverage(const QString& strSounder)
{
    {
        QMutexLocker oLock(&m_oMutex);
        m_strActiveSounder = strSounder;
    }
    sendCoverageRequest(strSounder);
    if (!GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("ActiveSounder"), strSounder))
        LOG4CPLUS_WARN(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::requestCoverage - could not write ActiveSounder to gui.ini"));
}

void CUlmaRuntime::processCoverageAngles(const QByteArray& baSentence)
{
    const int nComma = baSentence.indexOf(',', 11);
    const QByteArray baPayload = nComma < 0 ? QByteArray() : baSentence.mid(nComma + 1);
    QJsonParseError oError;
    const QJsonDocument oDocument = QJsonDocument::fromJson(baPayload.trimmed(), &oError);
    if (oError.error != QJsonParseError::NoError)
        qDebug().noquote() << "Coverage reply: " + oError.errorString();
    const QJsonArray aValues = oDocument.array();
    for (const QJsonValue& oValue : aValues) {
        const QJsonObject oEntry = oValue.toObject();
        const QString strId = oEntry.value(QLatin1String("id")).toVariant().toString();
        const int nAngle = oEntry.value(QLatin1String("value")).toVariant().toString().toInt();
        if (strId == QLatin1String("RUNT_PARAM_PU_ANGLE_PORT_RX1"))
            emit signalSetPortCoverage(nAngle);
        else if (strId == QLatin1String("RUNT_PARAM_PU_ANGLE_STARB_RX1"))
            emit signalSetStarbCoverage(nAngle);
    }
}

void CUlmaRuntime::wcolVisible(int nIsVisible)
{
    if (nIsVisible == 1 || nIsVisible == 2)
        sendRequestToUlmaexec(465, nIsVisible == 1 ? QStringLiteral("1") : QStringLiteral("0"), false);
}

void CUlmaRuntime::staveVisible(bool bIsVisible)
{
    sendRequestToUlmaexec(466, bIsVisible ? QStringLiteral("1") : QStringLiteral("0"), false);
}

void CUlmaRuntime::onWcolDepthPicked(double dDepth)
{
    sendRequestToUlmaexec(467, QString::number(dDepth, 'g', 6), false);
}

void CUlmaRuntime::onWcolBeamPicked(int nBeam)
{
    sendRequestToUlmaexec(468, QString::number(nBeam), false);
}

void CUlmaRuntime::onStaveLogging(bool bLog)
{
    sendRequestToUlmaexec(481, bLog ? QStringLiteral("1") : QStringLiteral("0"), false);
}

void CUlmaRuntime::scopeVisible(bool bIsVisible)
{
    sendRequestToUlmaexec(491, bIsVisible ? QStringLiteral("1") : QStringLiteral("0"), false);
}

void CUlmaRuntime::requestDefaultCoverage()
{
    sendCoverageRequest(activeSounder());
}

void CUlmaRuntime::userSetCoverage(int nPort, int nStarboard)
{
    sendToRuntimeService(QStringLiteral("$TVQEL,262,%1,RUNT_PARAM_PU_ANGLE_PORT_RX1=%2,RUNT_PARAM_PU_ANGLE_STARB_RX1=%3")
                             .arg(activeSounder())
                             .arg(nPort)
                             .arg(nStarboard));
}

void CUlmaRuntime::onDropSounder()
{
    sendToRuntimeService(QStringLiteral("$TVQEL,99992,") + activeSounder());
}

void CUlmaRuntime::onAlive()
{
    qDebug().noquote() << QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + " CUlmaRuntime is alive";
}

void CUlmaRuntime::onMoveTimer()
{
    m_poGuiSink->moveToVessel(true, 0, 0);
}

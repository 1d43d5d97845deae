// Requests of the runtime link to the sounder runtime and the local runtime service.
#include "TqelRuntime/UlmaRuntime.h"

#include "QtAppFramework/QtLogger.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QHostAddress>
#include <QMutexLocker>
#include <QUdpSocket>

#include <algorithm>

namespace {

constexpr quint16 SounderRuntimePort = 4002;
constexpr quint16 RuntimeServicePort = 14002;

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
        if (!m_poServiceSocket)
            m_poServiceSocket = std::make_unique<QUdpSocket>();
        const QString strCoverage = QStringLiteral("$TVQEL,262,") + strActive + QLatin1Char(',') + strArgs;
        LOG4CPLUS_DEBUG(runtimeLogger(), strCoverage.toLatin1().constData());
        const QByteArray baCoverage = strCoverage.toLatin1();
        m_poServiceSocket->writeDatagram(baCoverage, QHostAddress(QHostAddress::LocalHost), RuntimeServicePort);
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
}

void CUlmaRuntime::requestCoverage(const QString& strSounder)
{
    {
        QMutexLocker oLock(&m_oMutex);
        m_strActiveSounder = strSounder;
    }
    LOG4CPLUS_DEBUG(runtimeLogger(), ("Coverage request for " + strSounder + " not sent in this build").toLocal8Bit().constData());
}

// Replies and events of the sounder runtime ("$TVQEL" sentences): the sounder lists and the active
// sounder, the start of a sounder with its survey projection, grid paths, and the events passed
// to the main window.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GetToken.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/RuntimeText.h"
#include "TqelRuntime/TvqelDatagram.h"
#include "TqelRuntime/UlmaRuntimeLive.h"
#include "platform/paths.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>

using namespace runtime_text;

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

constexpr quint16 SetSounderPort = 4811;
const char* const s_szProjectionFile = "qel_projv6.txt";

// The grid path of the last reply 461, one for the process (runtime thread).
QString& lastGridPath()
{
    static QString s_strPath;
    return s_strPath;
}

// Text getters of a parsed sentence: a missing field is empty text, a failed number 0.
class Fields {
public:
    explicit Fields(CTvqelDatagram& oSentence) : m_oSentence(oSentence) {}

    QString text(int nIndex) const
    {
        std::string strField;
        m_oSentence.getString(nIndex, strField);
        return QString::fromLatin1(strField.c_str(), static_cast<int>(strField.size()));
    }
    std::string raw(int nIndex) const
    {
        std::string strField;
        m_oSentence.getString(nIndex, strField);
        return strField;
    }
    int integer(int nIndex) const
    {
        int nValue = 0;
        m_oSentence.getInt(nIndex, &nValue);
        return nValue;
    }
    double real(int nIndex) const
    {
        float fValue = 0;
        m_oSentence.getFloat(nIndex, &fValue);
        return std::isfinite(fValue) ? static_cast<double>(fValue) : 0.0;
    }

private:
    CTvqelDatagram& m_oSentence;
};

QString general(double dValue)
{
    return QString::number(dValue, 'g', 6);
}

// "vessel:name", or a lone name with an empty vessel part.
struct SounderField {
    QString vessel;
    QString name;
};

SounderField splitSounder(const QString& strField)
{
    const QStringList lstParts = strField.split(QLatin1Char(':'));
    if (lstParts.size() == 1)
        return {QString(), lstParts.at(0)};
    return {lstParts.at(0), lstParts.at(1)};
}

} // namespace

void CUlmaRuntime::processUlmaExecDatagrams(QByteArray& baDatagram, const QString& strSender)
{
    Q_UNUSED(strSender)
    try {
        if (!qEnvironmentVariableIsEmpty("ULMAXECDBG"))
            qDebug().noquote() << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + " FromUlmaexec " + QString::fromLatin1(baDatagram);
        if (!baDatagram.startsWith("$TVQEL,"))
            return;
        CTvqelDatagram oSentence(baDatagram.constData(), false);
        if (!oSentence.isValid())
            return;
        const Fields oFields(oSentence);
        const QString strEvent = oFields.text(1);
        if (strEvent.isEmpty())
            return;

        const int nEvent = oFields.integer(1);
        if (nEvent == 1) {
            const QString strVersion = oFields.text(2);
            qDebug().noquote() << "TvCtrl ver: " + strVersion;
            emit relayToMapView(1000, strVersion);
        } else if (nEvent == 19 || nEvent == 33) {
            emit relayToMapView(nEvent, QString());
        } else if (nEvent == 31) {
            float fDepth = 0;
            if (!oSentence.getFloat(11, &fDepth) && std::isfinite(fDepth))
                emit relayToMapView(31, general(static_cast<double>(fDepth)));
        } else if (nEvent == 401) {
            processCoverageAngles(baDatagram);
        } else if (nEvent == 470) {
            processTVQEL470(baDatagram);
        } else if (nEvent == 615 || nEvent == 616 || nEvent == 817) {
            emit relayToMapView(nEvent, QString::fromLatin1(baDatagram));
        } else if (nEvent == 823) {
            // Field 2 to the end of the sentence.
            const int nFirst = baDatagram.indexOf(',');
            const int nSecond = nFirst < 0 ? -1 : baDatagram.indexOf(',', nFirst + 1);
            const QByteArray baRest = nSecond < 0 ? QByteArray() : baDatagram.mid(nSecond + 1);
            emit relayToMapView(823, QString::fromLatin1(baRest).trimmed());
        }

        int nReply = 0;
        if (oSentence.getInt(2, &nReply) || nReply < 450 || nReply > 493)
            return;
        const QString strText = replyText(nReply, oSentence);
        if (!strText.isEmpty())
            emit relayToMapView(nReply, strText);
    } catch (const std::exception& oError) {
        const QString strWhat = QString::fromLocal8Bit(oError.what());
        qDebug().noquote() << "Exeption in CUlmaRuntime::processUlmaExecDatagrams " + strWhat;
        LOG4CPLUS_FATAL(runtimeLogger(), LOG4CPLUS_TEXT("Exeption in CUlmaRuntime::processUlmaExecDatagrams"));
        LOG4CPLUS_FATAL(runtimeLogger(), strWhat.toLocal8Bit().constData());
    } catch (...) {
        LOG4CPLUS_FATAL(runtimeLogger(), LOG4CPLUS_TEXT("Exeption in CUlmaRuntime::processUlmaExecDatagrams"));
        qDebug() << "Exeption in CUlmaRuntime::processCtrlDatagrams";
    }
}

QString CUlmaRuntime::replyText(int nReply, CTvqelDatagram& oSentence)
{
    const Fields oFields(oSentence);
    const QString strVessel = getVesselId();
    const QLatin1Char cSep(';');
    auto passes = [&](const SounderField& oSounder) {
        return oSounder.name == activeSounder() && oSounder.vessel == strVessel;
    };

    switch (nReply) {
    case 450:
        return replySounderLists(oFields.text(4), oFields.text(5));
    case 451: {
        const QString strField3 = oFields.text(3);
        if (strField3 == QLatin1String("Unknown"))
            return QString();
        const SounderField oSounder = splitSounder(strField3);
        if (oSounder.vessel == strVessel)
            requestCoverage(oSounder.name);
        int nIndex = 0;
        if (m_mapSounders.isEmpty())
            qDebug() << "ES Map is empty";
        else
            nIndex = m_mapSounders.value(strVessel + QLatin1Char(':') + oSounder.name).index;
        const QString strText = QStringList{oSounder.name, QString::number(nIndex), oFields.text(4), oFields.text(5), oFields.text(6)}.join(cSep);
        QUdpSocket oSocket;
        oSocket.writeDatagram((QStringLiteral("$SETSOUNDER,") + oSounder.name).toLatin1(), QHostAddress(QHostAddress::LocalHost), SetSounderPort);
        return strText;
    }
    case 452:
        return replyStart(oSentence);
    case 453: {
        const SounderField oSounder = splitSounder(oFields.text(3));
        const QString strStatus = oFields.text(4);
        const QString strField5 = oFields.text(5);
        {
            QMutexLocker oLock(&m_oMutex);
            if (m_strActiveSounder.isEmpty())
                m_strActiveSounder = oSounder.name;
        }
        if (!passes(oSounder))
            return QString();
        if (toInt(oFields.raw(4)) == 2)
            return QStringLiteral("FAIL;") + QStringList{oSounder.name, strField5, strField5}.join(cSep);
        return QStringList{oSounder.name, strStatus, strField5}.join(cSep);
    }
    case 454:
    case 469: {
        const SounderField oSounder = splitSounder(oFields.text(3));
        const int nStatus = toInt(oFields.raw(4));
        if (!passes(oSounder))
            return QString();
        if (nStatus >= 1 && nStatus <= 3)
            return QStringList{oSounder.name, oFields.text(6), oFields.text(4)}.join(cSep);
        return QStringList{oSounder.name, oFields.text(4), oFields.text(5)}.join(cSep);
    }
    case 456:
    case 457:
    case 458:
    case 459:
    case 460: {
        const SounderField oSounder = splitSounder(oFields.text(3));
        if (!passes(oSounder))
            return QString();
        return QStringList{oSounder.name, oFields.text(4), oFields.text(5)}.join(cSep);
    }
    case 461: {
        const QString strField3 = oFields.text(3);
        const SounderField oSounder = splitSounder(strField3);
        if (!passes(oSounder))
            return QString();
        const QString strText = QStringList{strField3, oFields.text(4), oFields.text(6)}.join(cSep);
        QString strPath = oFields.text(5);
        if (strPath != lastGridPath()) {
            const QString strNewPath = strPath;
            if (m_nMode == 1) {
                const std::string strDrive = g_getToken.getTokValueStr("CORV_GRID_PATH");
                if (strDrive.size() == 1 && !strPath.isEmpty())
                    strPath[0] = QLatin1Char(strDrive[0]);
            }
            setVesselGridPath(oSounder.vessel, strPath);
            lastGridPath() = strNewPath;
        }
        return strText;
    }
    case 470:
        emit configureWCDisp(oFields.text(3) == QLatin1String("4"));
        return QString();
    case 471: {
        // An empty field or one without a leading digit gives 0; a value beyond 32 bits throws.
        const int nValue = toInt("0" + oFields.raw(3));
        emit configureSonarDisp(static_cast<uint>(nValue));
        return QString();
    }
    case 474:
    case 475:
    case 477:
    case 483:
        return oFields.text(3);
    case 476:
    case 478:
        return QString::number(oFields.integer(3)) + cSep + (nReply == 476 ? QString::number(oFields.integer(4)) : oFields.text(4));
    case 479:
        return QStringList{oFields.text(5), oFields.text(6), oFields.text(7), oFields.text(8), oFields.text(9)}.join(cSep);
    case 486:
        emit relayToMapView(486, QString());
        return QString();
    case 492:
        return QStringList{activeSounder(), general(oFields.real(3)), general(oFields.real(4))}.join(cSep);
    case 493:
        return QStringList{activeSounder(), oFields.text(3), QString::number(oFields.integer(4))}.join(cSep);
    default:
        return QString();
    }
}

QString CUlmaRuntime::replySounderLists(const QString& strField4, const QString& strField5)
{
    const QString strVessel = getVesselId();
    QStringList& lstA = m_mapSoundersA[strVessel];
    QStringList& lstB = m_mapSoundersB[strVessel];
    lstA.removeAll(m_poLive->strLastStarted);

    const QStringList lstB5 = strField5.split(QLatin1Char(':'));
    for (const QString& strName : lstB5)
        if (!lstB.contains(strName))
            lstB << strName;
    std::sort(lstB.begin(), lstB.end());
    lstB.erase(std::remove_if(lstB.begin(), lstB.end(), [&lstB5](const QString& strName) { return !lstB5.contains(strName); }), lstB.end());
    const QString strJoinedB = lstB.join(QLatin1Char(':'));
    addSounders(strJoinedB, strVessel);

    const QStringList lstA4 = strField4.split(QLatin1Char(':'));
    for (const QString& strName : lstA4)
        if (!strName.isEmpty() && !lstA.contains(strName))
            lstA << strName;
    std::sort(lstA.begin(), lstA.end());
    lstA.erase(std::remove_if(lstA.begin(), lstA.end(), [&lstA4](const QString& strName) { return !lstA4.contains(strName); }), lstA.end());
    return strJoinedB + QLatin1Char(';') + (lstA.isEmpty() ? strField4 : lstA.join(QLatin1Char(':')));
}

QString CUlmaRuntime::replyStart(CTvqelDatagram& oSentence)
{
    const Fields oFields(oSentence);
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::start message received"));
    const SounderField oSounder = splitSounder(oFields.text(3));
    const QString strStatus = oFields.text(4);
    if (toInt(oFields.raw(4)) != 0) {
        LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::start message done"));
        return QStringList{oSounder.name, strStatus, oFields.text(5)}.join(QLatin1Char(';'));
    }
    const QString strVessel = getVesselId();
    m_mapSoundersA[strVessel].removeAll(oSounder.name);
    const QString strFolder = getVesselGridPath(oSounder.vessel);
    const QString strProjFile = strFolder + QLatin1Char('/') + QLatin1String(s_szProjectionFile);
    if (!strFolder.isEmpty() && QFileInfo::exists(platform::toNativePath(strProjFile))) {
        LOG4CPLUS_DEBUG(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::Checking projection"));
        // The survey manager and the message box are the GUI thread's; the file reaches the
        // link's own projection afterwards, back on this thread.
        const QPointer<CUlmaRuntime> poSelf(this);
        m_poGuiSink->applySurveyProjection(strProjFile, strFolder, [poSelf](const QString& strFile) {
            if (poSelf)
                QMetaObject::invokeMethod(poSelf.data(), "setProjFile", Qt::QueuedConnection, Q_ARG(std::string, strFile.toStdString()));
        });
    }
    if (oSounder.vessel == strVessel)
        requestCoverage(oSounder.name);
    const QString strText = oSounder.name + QLatin1Char(';') + strStatus;
    auto itRecord = m_mapSounders.find(strVessel + QLatin1Char(':') + oSounder.name);
    if (itRecord != m_mapSounders.end())
        itRecord->started = 1;
    m_poLive->strLastStarted.clear();
    LOG4CPLUS_INFO(runtimeLogger(), LOG4CPLUS_TEXT("CUlmaRuntime::start message done"));
    return strText;
}

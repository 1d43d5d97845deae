// The main station's display-station configuration ("$GUICONF"): the vessel's sounders, the
// active sounder and its settings, the survey folder and the display multicast group.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GuiIni.h"
#include "SurveyUtils/SurveyData.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/RuntimeText.h"
#include "platform/paths.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutexLocker>
#include <QUdpSocket>

#include <algorithm>
#include <exception>

using namespace runtime_text;

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

void trace(const QString& strText)
{
    LOG4CPLUS_DEBUG(runtimeLogger(), strText.toLocal8Bit().constData());
}

constexpr int GuiConfFields = 15;
constexpr quint16 SetSounderPort = 4811;

// Adds the names the list lacks (empty ones only when bKeepEmpty), sorts it, and removes the
// names no longer given.
void mergeSounderList(QStringList& lstList, const QStringList& lstNames, bool bKeepEmpty)
{
    for (const QString& strName : lstNames)
        if ((bKeepEmpty || !strName.isEmpty()) && !lstList.contains(strName))
            lstList << strName;
    std::sort(lstList.begin(), lstList.end());
    lstList.erase(std::remove_if(lstList.begin(), lstList.end(),
                                 [&lstNames](const QString& strName) { return !lstNames.contains(strName); }),
                  lstList.end());
}

// "2200P" is model 2201, "2200C" 2205, any other text its decimal value (0 when not a number).
int modelCodeOf(const QString& strModel)
{
    if (strModel == QLatin1String("2200P"))
        return 2201;
    if (strModel == QLatin1String("2200C"))
        return 2205;
    return strModel.toInt();
}

QString lastComponent(QString strPath)
{
    strPath = strPath.trimmed().replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (strPath.endsWith(QLatin1Char('/')))
        strPath.chop(1);
    return strPath.mid(strPath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

void CUlmaRuntime::addSounders(const QString& strNames, const QString& strVessel)
{
    const QStringList lstNames = strNames.split(QLatin1Char(':'));
    for (int i = 0; i < lstNames.size(); ++i) {
        const QString strKey = strVessel + QLatin1Char(':') + lstNames.at(i);
        if (!m_mapSounders.contains(strKey)) {
            SounderRecord oRecord;
            oRecord.index = i;
            m_mapSounders.insert(strKey, oRecord);
        }
    }
    QMutexLocker oLock(&m_oMutex);
    m_strActiveSounder = lstNames.isEmpty() ? QString() : lstNames.first();
}

void CUlmaRuntime::processGUISetup(const QByteArray& baDatagram)
{
    try {
        trace(QString::fromLatin1(baDatagram));
        const QStringList lstFields = QString::fromLatin1(baDatagram).trimmed().split(QLatin1Char(','));
        if (lstFields.size() < GuiConfFields) {
            LOG4CPLUS_WARN(runtimeLogger(), QStringLiteral("$GUICONF with %1 fields dropped").arg(lstFields.size()).toLocal8Bit().constData());
            return;
        }
        const QString strVessel = lstFields.at(1);
        const QString strListA = lstFields.at(2);
        const QString strListB = lstFields.at(3);
        const QString strSounderField = lstFields.at(4);

        QStringList& lstB = m_mapSoundersB[strVessel];
        mergeSounderList(lstB, strListB.split(QLatin1Char(':')), true);
        QStringList& lstA = m_mapSoundersA[strVessel];
        mergeSounderList(lstA, strListA.split(QLatin1Char(':')), false);
        addSounders(lstB.join(QLatin1Char(':')), strVessel);
        const QString strLists = lstB.join(QLatin1Char(':')) + QLatin1Char(';') + (lstA.isEmpty() ? strListA : lstA.join(QLatin1Char(':')));

        for (auto it = m_mapSoundersB.cbegin(); it != m_mapSoundersB.cend(); ++it) {
            const QStringList lstStopped = m_mapSoundersA.value(it.key());
            for (const QString& strName : it.value()) {
                if (strName.isEmpty() || lstStopped.contains(strName))
                    continue;
                auto itRecord = m_mapSounders.find(it.key() + QLatin1Char(':') + strName);
                if (itRecord != m_mapSounders.end())
                    itRecord->started = 1;
            }
        }
        m_bConfigReceived = true;

        const QString strSounder = strSounderField.section(QLatin1Char(':'), 0, 0);
        const QString strFolder = lstFields.at(14);
        const QString strFolderName = lastComponent(strFolder);
        const bool bUnknown = strSounderField.isEmpty() || strSounderField == QLatin1String("Unknown");
        // The vessel id and the folder name become a local folder below the grid root.
        const bool bPlainNames = isPlainName(strVessel) && isPlainName(strFolderName);
        if (!strFolder.trimmed().isEmpty()) {
            if (bPlainNames)
                setVesselGridPath(strVessel, strFolder);
            else
                LOG4CPLUS_WARN(runtimeLogger(), ("Survey folder not taken: " + strVessel + " " + strFolder).toLocal8Bit().constData());
        }
        if (strVessel != QLatin1String("default") && !bUnknown && bPlainNames)
            emit relayToMapView(494, QStringLiteral("%1;%2;%3;%4").arg(strVessel, strSounder, strFolderName, QStringLiteral("1")));

        const QString strCurrent = getVesselId();
        trace(QStringLiteral("Curr vessel: %1, incomming vessel: %2").arg(strCurrent, strVessel));
        if (strVessel != strCurrent) {
            trace(QStringLiteral("Message not from selected vessel. Dropping. (Curr/incomming: %1/%2)").arg(strCurrent, strVessel));
            return;
        }
        emit relayToMapView(450, strLists);
        if (bUnknown) {
            trace(QStringLiteral("Unknown or empty ES name"));
            return;
        }

        const QStringList lstModel = strSounder.mid(2).split(QLatin1Char('_'));
        m_nActiveModelCode = modelCodeOf(lstModel.value(0));
        m_nActiveSerial = lstModel.value(1).toInt();
        requestCoverage(strSounder);

        int nIndex = 0;
        if (m_mapSounders.isEmpty())
            qDebug() << "ES Map is empty";
        else
            nIndex = m_mapSounders.value(strVessel + QLatin1Char(':') + strSounder).index;
        const QString strRelay451 = QStringLiteral("%1;%2;%3;%4;%5;%6;%7")
                                        .arg(strSounder, QString::number(nIndex), lstFields.at(5), lstFields.at(6), lstFields.at(7),
                                             lstFields.value(15), lstFields.value(16));
        const QString strSetSounder = QStringLiteral("$SETSOUNDER,%1,%2").arg(strVessel, strSounder);

        const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
        QString strGroup = multicastGroupForModel(m_nActiveModelCode);
        const QVariant vConfigured = GuiIni::value(strRuntime, QStringLiteral("CorvMcastGrp"), QVariant());
        if (vConfigured.isValid())
            strGroup = vConfigured.toString();
        {
            QMutexLocker oLock(&m_oMutex);
            m_strMulticastGroup = strGroup;
        }
        GuiIni::setValue(strRuntime, QStringLiteral("CorvMcastGrpActive"), strGroup);
        m_poGuiSink->updateCorvAddr(strGroup);

        QUdpSocket oSocket;
        oSocket.writeDatagram(strSetSounder.toLatin1(), QHostAddress(QHostAddress::LocalHost), SetSounderPort);

        emit relayToMapView(451, strRelay451);

        const QString strSurvey = QStringLiteral("%1;%2;%3").arg(strSounder, strFolderName, QStringLiteral("1"));
        CSurveyData oSurveyData;
        oSurveyData.load(strSounder.toStdString());
        const QString strProjFile = getVesselGridPath(strVessel).replace(QLatin1Char('\\'), QLatin1Char('/')).trimmed()
                                    + QStringLiteral("/qel_projv6.txt");
        if (!QFileInfo::exists(platform::toNativePath(strProjFile)))
            oSurveyData.prepareGridFolder();
        emit relayToMapView(461, strSurvey);

        const qint64 nE8 = toInt(lstFields.at(8).toStdString());
        const qint64 nE9 = toInt(lstFields.at(9).toStdString());
        const qint64 nE10 = toInt(lstFields.at(10).toStdString());
        const int nE11 = toInt(lstFields.at(11).toStdString());
        const int nFlag454 = nE8 >= 0 && nE9 >= 0 ? 1 : 0;
        emit relayToMapView(453, QStringLiteral("%1;%2;%3").arg(strSounder).arg(qAbs(nE8)).arg(nE8 >= 0 ? 1 : 0));
        emit relayToMapView(454, QStringLiteral("%1;%2;%3").arg(strSounder).arg(qAbs(nE9)).arg(nFlag454));
        emit relayToMapView(469, QStringLiteral("%1;%2;%3").arg(strSounder).arg(qAbs(nE10)).arg(nE10 < 0 ? 0 : nFlag454));
        emit relayToMapView(457, QStringLiteral("%1;%2;1").arg(strSounder).arg(nE11, 4, 10, QLatin1Char('0')));
        emit relayToMapView(459, QStringLiteral("%1;%2;1").arg(strSounder, lstFields.at(12)));
        emit relayToMapView(460, QStringLiteral("%1;%2;1").arg(strSounder, lstFields.at(13)));
    } catch (const std::exception& oError) {
        const QString strText = QStringLiteral("Exeption in CUlmaRuntime::processGUISetup ") + QString::fromLocal8Bit(oError.what());
        qDebug().noquote() << strText;
        LOG4CPLUS_FATAL(runtimeLogger(), strText.toLocal8Bit().constData());
    } catch (...) {
        qDebug() << "Exeption in CUlmaRuntime::processGUISetup";
    }
}

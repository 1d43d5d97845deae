#include "MapView/QaSurveyManager.h"

#include "QtAppFramework/LoggingManager.h"
#include "platform/paths.h"

#include <QFile>
#include <QTextStream>

namespace {

constexpr int DefaultFlagColour = static_cast<int>(0xFFFFFF00u);
constexpr int DefaultSensorColour = 0x00FFFF00;
constexpr int SurveyManagerSender = 4;

} // namespace

int hashFileText(const QString& strPath)
{
    QFile oFile(platform::toNativePath(strPath));
    if (!oFile.open(QIODevice::ReadOnly))
        return -1;
    QTextStream oStream(&oFile);
    const QByteArray baText = oStream.readAll().toUtf8();
    quint64 nHash = 0xCBF29CE484222325ull;
    for (const char c : baText) {
        nHash ^= static_cast<unsigned char>(c);
        nHash *= 0x100000001B3ull;
    }
    return static_cast<int>(static_cast<quint32>(nHash & 0xFFFFFFFFu));
}

CQaSurveyManager* CQaSurveyManager::instance(QObject* poParent, CQtLogger*, CQtLogger*, bool bRealTime)
{
    // Never destroyed: other parts keep reaching it until the process ends.
    static CQaSurveyManager* s_poInstance = [&] {
        auto* poManager = new CQaSurveyManager(poParent);
        poManager->m_bRealTime = bRealTime;
        return poManager;
    }();
    return s_poInstance;
}

CQaSurveyManager::CQaSurveyManager(QObject* poParent) : QObject(poParent)
{
    m_mapFlagColors.insert(0, 0x0000FF00);
    m_mapFlagColors.insert(255, static_cast<int>(0xFF000000u));
    for (int nSensor = 1; nSensor <= 3; ++nSensor)
        m_mapSensors.insert(nSensor, qMakePair(0x00FFFF00, false));
    m_mapSensors.insert(4, qMakePair(0x00FF0000, false));
}

bool CQaSurveyManager::getFlagColor(int nFlag, int& nColour) const
{
    const auto it = m_mapFlagColors.constFind(nFlag);
    nColour = it == m_mapFlagColors.cend() ? DefaultFlagColour : it.value();
    return it == m_mapFlagColors.cend();
}

bool CQaSurveyManager::getSensorColor(int nSensorId, int& nColour) const
{
    const auto it = m_mapSensors.constFind(nSensorId);
    nColour = it == m_mapSensors.cend() ? DefaultSensorColour : it.value().first;
    return it == m_mapSensors.cend();
}

bool CQaSurveyManager::getSensorShowFlags(int nSensorId, bool& bShow) const
{
    const auto it = m_mapSensors.constFind(nSensorId);
    bShow = it == m_mapSensors.cend() ? false : it.value().second;
    return it == m_mapSensors.cend();
}

void CQaSurveyManager::setFlagColor(int nFlag, int nColour)
{
    m_mapFlagColors.insert(nFlag, nColour);
}

void CQaSurveyManager::setSensorColor(int nSensorId, int nColour)
{
    auto it = m_mapSensors.find(nSensorId);
    if (it == m_mapSensors.end())
        m_mapSensors.insert(nSensorId, qMakePair(nColour, false));
    else
        it.value().first = nColour;
}

void CQaSurveyManager::setSensorShowFlags(int nSensorId, bool bShow)
{
    auto it = m_mapSensors.find(nSensorId);
    if (it == m_mapSensors.end())
        m_mapSensors.insert(nSensorId, qMakePair(DefaultSensorColour, bShow));
    else
        it.value().second = bShow;
}

void CQaSurveyManager::log(const QString& strText, int nType)
{
    if (CLoggingManager* poRouter = CLoggingManager::instance())
        poRouter->log(strText, static_cast<uint>(nType), SurveyManagerSender);
    emit msgToFile(strText);
}

void CQaSurveyManager::setCurrentSurvey(QString strPath)
{
    m_strCurrentSurvey = strPath;
    emit signalCurrentSurveyChanged(strPath);
    log(QStringLiteral("CQaSurveyManager::setCurrentSurvey - Current survey set"), 1);
}

QString CQaSurveyManager::getSurveyName()
{
    QString strPath = m_strCurrentSurvey;
    strPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (strPath.endsWith(QLatin1Char('/')))
        strPath.chop(1);
    const QString strName = strPath.section(QLatin1Char('/'), -1);
    log(QStringLiteral("CQaSurveyManager::getSurveyName - Returning %1").arg(strName), 1);
    return strName;
}

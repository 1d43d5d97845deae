#include "MapView/QaSurveyManager.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "Projection/Projection.h"
#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"
#include "platform/paths.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTextStream>

namespace {

constexpr int DefaultFlagColour = static_cast<int>(0xFFFFFF00u);
constexpr int DefaultSensorColour = 0x00FFFF00;
constexpr int SurveyManagerSender = 4;
constexpr int GridOperationSetting = 8;
constexpr int GridVariableSetting = 10;

COrlexDataManager* dataManager()
{
    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    return poViewer ? poViewer->getDataManager() : nullptr;
}

QString projectionFileOf(const QString& strSurvey)
{
    return strSurvey + QLatin1Char('/') + QLatin1String(projectionFileName);
}

// The terrain layer of the survey display settings: variable, then operation ("zMedian").
QString gridLayerName()
{
    QVariant vOperation;
    QVariant vVariable;
    if (CSettingsManager* poManager = CSettingsManager::instance()) {
        poManager->getValue(Survey, GridOperationSetting, vOperation, false);
        poManager->getValue(Survey, GridVariableSetting, vVariable, false);
    }
    static const char* const s_aVariables[] = {"z", "zT", "zV", "zG", "zR"};
    static const char* const s_aOperations[] = {"Min", "Median"};
    QString strName;
    const int nVariable = vVariable.isValid() ? vVariable.toInt() : -1;
    const int nOperation = vOperation.isValid() ? vOperation.toInt() : -1;
    if (nVariable >= 0 && nVariable < 5)
        strName += QLatin1String(s_aVariables[nVariable]);
    if (nOperation >= 0 && nOperation < 2)
        strName += QLatin1String(s_aOperations[nOperation]);
    return strName;
}

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

QStringList CQaSurveyManager::getSurveyList() const
{
    COrlexDataManager* poData = dataManager();
    return poData ? poData->getSurveys() : QStringList();
}

bool CQaSurveyManager::surveyLoadGrid(QString strGridPath, bool bRealTimeGrid)
{
    qDebug().noquote() << QStringLiteral("Try to open grid at ") + strGridPath;
    COrlexDataManager* poData = dataManager();
    if (bRealTimeGrid)
        setCurrentSurvey(strGridPath);
    if (initProjection(projectionFileOf(strGridPath), QStringLiteral("QEL_Projection"), strGridPath)) {
        log(QStringLiteral("CQaSurveyManager::surveyLoadGrid - WARNING : initProjection failed"), 2);
        qDebug() << "CQaSurveyManager::surveyLoadGrid - Error in projection";
        return false;
    }
    if (!poData)
        return false;
    m_strOpeningSurvey = strGridPath;
    if (!m_bCompletionConnected) {
        connect(poData, &COrlexDataManager::openSurveyCompletedSig, this, &CQaSurveyManager::openSurveyCompleted);
        m_bCompletionConnected = true;
    }
    poData->openSurvey(strGridPath, false, bRealTimeGrid, m_bRealTime, gridLayerName());
    return true;
}

void CQaSurveyManager::openSurveyCompleted(bool bValue, bool bIsRT)
{
    if (!COrlexViewer::instance(QStringLiteral("dremm"))) {
        log(QStringLiteral("CQaSurveyManager::openSurveyCompleted - ERROR : MapViewer not found"), 4);
        return;
    }
    COrlexDataManager* poData = dataManager();
    if (!poData) {
        log(QStringLiteral("CQaSurveyManager::openSurveyCompleted - ERROR : MapDataManager not found"), 4);
        return;
    }
    if (!bValue)
        return;
    if (bIsRT || m_strCurrentSurvey.isEmpty())
        poData->setActiveSurvey(m_strOpeningSurvey);
    log(tr("Done."), 1);

    log(QStringLiteral("CQaSurveyManager::applySurveySettings - Init"), 1);
    CSettingsManager* poManager = CSettingsManager::instance();
    CSettingsGroup* poGroup = poManager ? poManager->findGroup(Survey) : nullptr;
    if (!poManager) {
        log(QStringLiteral("CQaSurveyManager::applySurveySettings - WARNING : CSettingsManager NOT found, can't continue"), 2);
    } else if (!poGroup) {
        log(QStringLiteral("CQaSurveyManager::applySurveySettings - WARNING : CSettingsGroup NOT found, can't apply settings"), 2);
    } else {
        log(QStringLiteral("CQaSurveyManager::applySurveySettings - OK : CSettingsManager found, continuing"), 1);
        log(QStringLiteral("CQaSurveyManager::applySurveySettings - OK : CSettingsGroup found, applying settings"), 1);
        poGroup->applyAll(true);
    }

    if (m_strProjectionSurvey.isEmpty() || m_bRealTime)
        m_strProjectionSurvey = m_strOpeningSurvey;
    if (initProjection(projectionFileOf(m_strProjectionSurvey), QStringLiteral("QEL_Projection"), m_strProjectionSurvey)) {
        log(QStringLiteral("CQaSurveyManager::onSurveyOpenCompleted - WARNING : initProjection failed"), 2);
        qDebug() << "CQaSurveyManager::openSurveyCompleted - Error in projection";
        return;
    }
    log(QStringLiteral("CQaSurveyManager::onSurveyOpenCompleted - OK : initProjection finished, continuing"), 1);
    setCurrentSurvey(m_strProjectionSurvey);
    emit signalSurveyOpenCompleted(m_strOpeningSurvey);
}

bool CQaSurveyManager::initProjection(QString strProjFile, QString, QString strSurveyPath)
{
    log(QStringLiteral("CQaSurveyManager::initProjection - Init"), 1);
    if (!QFile::exists(platform::toNativePath(strProjFile)))
        convertProjectionFile((strSurveyPath + QStringLiteral("//qel_proj.txt")).toStdString());
    CProjection* poProjection = CProjection::instance();
    if (!poProjection) {
        log(QStringLiteral("CQaSurveyManager::initProjection - WARNING : CProjection NOT found, can't continue"), 2);
        return true;
    }
    log(QStringLiteral("CQaSurveyManager::initProjection - OK : CProjection found, continuing"), 1);
    poProjection->projFile = strProjFile.toStdString();
    // A file that cannot be read leaves the previous projection: it is no valid projection here.
    const bool bRead = poProjection->readProjectionFile(poProjection->projFile);
    if (!bRead || poProjection->createTransformation() != 0) {
        log(QStringLiteral("CQaSurveyManager::initProjection - WARNING : Projection was NOT initialized"), 2);
        return true;
    }
    log(QStringLiteral("CQaSurveyManager::initProjection - OK : Projection was initialized"), 1);
    projectionHash = hashFileText(strProjFile);
    emit newProjection(strProjFile);
    return false;
}

bool CQaSurveyManager::surveyGridClose(QString strSurvey)
{
    COrlexDataManager* poData = dataManager();
    if (!poData) {
        qWarning() << "CQaSurveyManager::surveyGridClose - poDataManager is NULL";
        return false;
    }
    COrlexGrid* poActive = poData->getActiveSurvey();
    if (!poActive) {
        qWarning() << "CQaSurveyManager::surveyGridClose - surv is NULL";
        return false;
    }
    if (poActive->getPath().contains(strSurvey) && poActive->getPath() == poData->getRealTimeSurvey()) {
        QMessageBox::information(nullptr, QStringLiteral("Cannot remove"), QStringLiteral("Cannot remove active survey"),
                                 QMessageBox::Ok);
        return false;
    }
    poData->closeSurvey(strSurvey);
    if (poData->getSurveys().isEmpty()) {
        projectionHash = 0;
        setCurrentSurvey(QString());
    }
    return true;
}

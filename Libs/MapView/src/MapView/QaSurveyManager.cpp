#include "MapView/QaSurveyManager.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "Projection/Projection.h"
#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"
#include "platform/paths.h"

#include "OrlexViewer/Prompter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
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

// A folder path as one text: forward slashes, no trailing slash.
QString normalisedFolder(QString strPath)
{
    strPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (strPath.size() > 1 && strPath.endsWith(QLatin1Char('/')))
        strPath.chop(1);
    return strPath;
}

// Whether the text names that survey folder: the whole path, or its whole last folder name.
bool namesSurvey(const QString& strFolder, const QString& strName)
{
    const QString strPath = normalisedFolder(strFolder);
    const QString strGiven = normalisedFolder(strName);
    if (strGiven.isEmpty())
        return false;
    return strPath == strGiven || (!strGiven.contains(QLatin1Char('/')) && strPath.section(QLatin1Char('/'), -1) == strGiven);
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

CQaSurveyManager* CQaSurveyManager::instance(QObject* poParent)
{
    // Never destroyed: other parts keep reaching it until the process ends.
    static CQaSurveyManager* s_poInstance = new CQaSurveyManager(poParent);
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
    // One survey, one entry, whichever way its folder is written.
    if (poData && !poData->findSurvey(strGridPath).isEmpty()) {
        log(QStringLiteral("CQaSurveyManager::surveyLoadGrid - %1 is open already").arg(strGridPath), 1);
        return true;
    }
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
    connectCompletion(poData);
    poData->openSurvey(strGridPath, false, bRealTimeGrid, m_bRealTime, gridLayerName());
    return true;
}

bool CQaSurveyManager::surveyGridOpen(QString strSurvey)
{
    m_strOpeningSurvey = strSurvey;
    if (COrlexDataManager* poData = dataManager()) {
        connectCompletion(poData);
        poData->openSurvey(strSurvey, false, false, m_bRealTime, QStringLiteral("zMin"));
    }
    return true;
}

void CQaSurveyManager::connectCompletion(COrlexDataManager* poData)
{
    if (m_bCompletionConnected)
        return;
    connect(poData, &COrlexDataManager::openSurveyCompletedSig, this, &CQaSurveyManager::openSurveyCompleted);
    m_bCompletionConnected = true;
}

void CQaSurveyManager::onShowGrid(QString strGridPath)
{
    surveyLoadGrid(strGridPath, false);
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
    if (!QFile::exists(platform::toNativePath(strProjFile))
        && !convertProjectionFile((strSurveyPath + QStringLiteral("//qel_proj.txt")).toStdString())) {
        // Neither file gives a projection PROJ accepts: the survey cannot be opened.
        log(QStringLiteral("CQaSurveyManager::initProjection - WARNING : No usable projection file in %1").arg(strSurveyPath), 2);
        log(QStringLiteral("CQaSurveyManager::initProjection - WARNING : Projection was NOT initialized"), 2);
        return true;
    }
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
    m_strLoadedSourceCrs = poProjection->sourceCrs();
    m_strLoadedTargetCrs = poProjection->targetCrs();
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
    if (namesSurvey(poActive->getPath(), strSurvey) && poActive->getPath() == poData->getRealTimeSurvey()) {
        CPrompter::current().information(nullptr, QStringLiteral("Cannot remove"), QStringLiteral("Cannot remove active survey"));
        return false;
    }
    // A folder name alone closes the open survey of that name.
    QString strFolder = strSurvey;
    for (const QString& strOpen : poData->getSurveys()) {
        if (namesSurvey(strOpen, strSurvey)) {
            strFolder = strOpen;
            break;
        }
    }
    poData->closeSurvey(strFolder);
    if (poData->getSurveys().isEmpty())
        forgetSurveys();
    return true;
}

void CQaSurveyManager::closeAllSurveys()
{
    COrlexViewer* poViewer = COrlexViewer::existingInstance();
    COrlexDataManager* poData = poViewer ? poViewer->getDataManager() : nullptr;
    if (!poData)
        return;
    poData->closeAllSurveys();
    // Nothing is loaded any more: a grid of another projection may come next.
    forgetSurveys();
}

bool CQaSurveyManager::differsFromLoadedProjection(const QString& strProjFile) const
{
    if (projectionHash == 0)
        return false;
    // A hash set without a projection read through initProjection only has the text to go by.
    if (m_strLoadedTargetCrs.empty())
        return hashFileText(strProjFile) != projectionHash;
    return !projectionFileMatches(strProjFile.toStdString(), m_strLoadedSourceCrs, m_strLoadedTargetCrs);
}

void CQaSurveyManager::forgetSurveys()
{
    projectionHash = 0;
    m_strLoadedSourceCrs.clear();
    m_strLoadedTargetCrs.clear();
    m_strProjectionSurvey.clear();
    setCurrentSurvey(QString());
}

void CQaSurveyManager::updateTrackLineColor()
{
    log(QStringLiteral("CQaSurveyManager::updateTrackLineColor - Init"), 1);
    COrlexViewer* poViewer = COrlexViewer::existingInstance();
    COrlexDataManager* poData = poViewer ? poViewer->getDataManager() : nullptr;
    if (!poData)
        return;
    const QColor oColour(static_cast<int>((m_nTrackLineColor >> 16) & 0xFF), static_cast<int>((m_nTrackLineColor >> 8) & 0xFF),
                         static_cast<int>(m_nTrackLineColor & 0xFF));
    for (const QString& strName : poData->getSurveys())
        if (COrlexGrid* poGrid = poData->getSurvey(strName))
            poGrid->setTrackLineColor(oColour);
}

void CQaSurveyManager::surveyRawFiles(QStringList lstRawFiles)
{
    m_lstRawFiles = lstRawFiles;
}

void CQaSurveyManager::onSharedMemoryInfo(QString strDatagram)
{
    log(QStringLiteral("CQaSurveyManager::onSharedMemoryInfo - Received datagram %1").arg(strDatagram), 1);
    if (strDatagram.contains(QLatin1String("SHIPSTRACK"))) {
        m_strLastShipTrackNotice = strDatagram;
    } else if (strDatagram.contains(QLatin1String("POSITIONS"))) {
        log(QStringLiteral("CQaSurveyManager::onSharedMemoryInfo - Proceeding to reading positions"), 1);
        log(QStringLiteral("CQaSurveyManager::onSharedMemoryInfo - handleSharedMemoryInfoPositions end"), 1);
    }
}

QString CQaSurveyManager::getSharedMemoryKey(ESharedMemory eKind)
{
    log(QStringLiteral("CQaSurveyManager::getSharedMemoryKey - Init"), 1);
    QString strKey;
    switch (eKind) {
    case SharedMemoryKey0:
    case SharedMemoryKey1:
        strKey = m_strSharedMemoryKeys[eKind];
        break;
    case SelectedDepths:
        strKey = QDir(normalisedFolder(m_strCurrentSurvey)).dirName() + QStringLiteral("_SELECTED_DEPTHS")
            + QStringLiteral("_%1").arg(m_nSelectedDepths);
        break;
    default:
        log(QStringLiteral("CQaSurveyManager::getSharedMemoryKey - WARNING : Undefined key"), 2);
        return QString();
    }
    log(QStringLiteral("CQaSurveyManager::getSharedMemoryKey - OK : key was %1").arg(strKey), 1);
    return strKey;
}

int CQaSurveyManager::getSharedMemorySize(QString)
{
    log(QStringLiteral("CQaSurveyManager::getSharedMemorySize - Init"), 1);
    return 0;
}

int CQaSurveyManager::writeTrackLineSet(QString&)
{
    log(QStringLiteral("CQaSurveyManager::writeTrackLineSet - Init"), 1);
    return 0;
}

int CQaSurveyManager::writeTrackLineSet()
{
    QString strKey = m_strSharedMemoryKeys[SharedMemoryKey0];
    return writeTrackLineSet(strKey);
}

int CQaSurveyManager::writePositionLineSet(QString& strKey)
{
    log(QStringLiteral("CQaSurveyManager::writePositionLineSet - Init with key %1").arg(strKey), 1);
    return 0;
}

int CQaSurveyManager::writePositionLineSet()
{
    QString strKey = m_strSharedMemoryKeys[SharedMemoryKey1];
    return writePositionLineSet(strKey);
}

int CQaSurveyManager::writeSelectedDepths(QString&)
{
    log(QStringLiteral("CQaSurveyManager::writeSelectedDepths - Init"), 1);
    return 0;
}

int CQaSurveyManager::writeSelectedDepths()
{
    QString strKey = getSharedMemoryKey(SelectedDepths);
    return writeSelectedDepths(strKey);
}

void CQaSurveyManager::hereIsTheRubberband(QList<int>)
{
    writePositionLineSet();
}

void CQaSurveyManager::requestUpdatedProcPoints()
{
    emit updatePreviousRubberbandSectionSig();
}

void CQaSurveyManager::writePositionLineSetSlot()
{
    emit rubberBandRequested();
}

void CQaSurveyManager::sendQaDatagram(QString strText)
{
    log(QStringLiteral("CQaSurveyManager::sendQaDatagram - WARNING : No transport for QA commands, dropped: %1")
            .arg(strText.trimmed()),
        2);
}

void CQaSurveyManager::regionToFile(QRect oArea, QString strPath)
{
    sendQaDatagram(QStringLiteral("$PQQEL,SAVE_PROCPOINTS,PATH=%1,XMIN=%2,XMAX=%3,YMIN=%4,YMAX=%5\n\r")
                       .arg(strPath)
                       .arg(oArea.left())
                       .arg(oArea.left() + oArea.width())
                       .arg(oArea.top())
                       .arg(oArea.top() + oArea.height()));
}

void CQaSurveyManager::fileToRegion(QString strPath)
{
    sendQaDatagram(QStringLiteral("$PQQEL,LOAD_PROCPOINTS,PATH=%1\n\r").arg(strPath));
}

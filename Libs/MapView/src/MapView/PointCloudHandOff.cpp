#include "MapView/PointCloudHandOff.h"

#include "MapView/PointCloudFiles.h"
#include "MapView/PointCloudProjection.h"
#include "MapView/QaSurveyManager.h"

#include "Common/GuiIni.h"
#include "OrlexViewer/Prompter.h"
#include "Projection/Projection.h"
#include "SurveyUtils/QelGeoJSON.h"
#include "SurveyUtils/SurveyData.h"
#include "SurveyUtils/UserObjs.h"
#include "platform/paths.h"
#include "platform/process.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <optional>

namespace {

const QString s_strWorkFolder = QStringLiteral("C:/TEMP/QXPoint");
const QString s_strOutputFolder = s_strWorkFolder + QStringLiteral("/output");
const QString s_strProcessList = s_strWorkFolder + QStringLiteral("/Processfiles.txt");
const QString s_strCropPolygon = s_strWorkFolder + QStringLiteral("/cropPolygon.json");
const QString s_strIndexTool = QStringLiteral("CovTrackIdx.exe");
const QString s_strGenerator = QStringLiteral("QxallPointCloudGenerator.exe");
const QString s_strLoading = QStringLiteral("Loading point data. Please wait....");

QString native(const QString& strPath)
{
    return platform::toNativePath(strPath);
}

bool folderExists(const QString& strPath)
{
    return !strPath.isEmpty() && QFileInfo(native(strPath)).isDir();
}

// Deletes the files (not the folders) of a folder whose names hold a dot.
void removeFiles(const QString& strFolder)
{
    QDir oDir(native(strFolder));
    for (const QString& strName : oDir.entryList({QStringLiteral("*.*")}, QDir::Files | QDir::Hidden))
        oDir.remove(strName);
}

// Whether the process we started with that id still runs under the generator's name.
bool generatorRunning(qint64 nPid)
{
    for (const platform::ProcessInfo& oInfo : platform::findProcessesByImageName(s_strGenerator))
        if (oInfo.pid == nPid)
            return true;
    return false;
}

// The process-wide projection, many points under one lock.
pointcloud::Projector processProjection()
{
    return [](std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes, double* pdNorths,
              double* pdEasts) {
        CProjection* poProjection = CProjection::instance();
        return poProjection ? poProjection->toProjectedBatch(nCount, pdLatitudes, pdLongitudes, pdNorths, pdEasts) : -1;
    };
}

} // namespace

QString CPointCloudHandOff::s_strRememberedRawFolder;

CPointCloudHandOff::CPointCloudHandOff(QObject* poParent) : QObject(poParent)
{
    qRegisterMetaType<std::vector<double>>();
    m_poIndexTimer = new QTimer(this);
    m_poIndexTimer->setSingleShot(true);
    connect(m_poIndexTimer, &QTimer::timeout, this, [this] {
        qWarning().noquote() << QStringLiteral("%1 did not end within %2 s; going on without it")
                                    .arg(s_strIndexTool)
                                    .arg(m_nIndexToolLimitMs / 1000);
        if (m_poIndexTool)
            m_poIndexTool->kill();
        afterIndexTool();
    });
    m_poPollTimer = new QTimer(this);
    m_poPollTimer->setSingleShot(true);
    connect(m_poPollTimer, &QTimer::timeout, this, &CPointCloudHandOff::gePointData);
}

CPointCloudHandOff::~CPointCloudHandOff()
{
    stopWorker();
    if (m_poIndexTool) {
        m_poIndexTool->disconnect(this);
        m_poIndexTool->kill();
        m_poIndexTool->waitForFinished(1000);
    }
    if (m_bWaitCursor)
        QGuiApplication::restoreOverrideCursor();
}

void CPointCloudHandOff::stopWorker()
{
    m_bCancel = true;
    if (m_oWorker.joinable())
        m_oWorker.join();
    m_bCancel = false;
}

void CPointCloudHandOff::start(const QRectF& oSelection)
{
    qDebug() << "Starting CMapView2D::getPointsFromGrid";
    // A new selection replaces the one still running.
    ++m_nRun;
    stopWorker();
    m_poIndexTimer->stop();
    m_poPollTimer->stop();
    if (m_poIndexTool) {
        m_poIndexTool->disconnect(this);
        m_poIndexTool->kill();
        m_poIndexTool->waitForFinished(1000);
        m_poIndexTool.reset();
    }
    if (m_bWaitCursor) {
        QGuiApplication::restoreOverrideCursor();
        m_bWaitCursor = false;
    }
    m_nStage = Stage::Idle;

    m_oSelection = oSelection.normalized();
    m_strRawFolder = rawFolder();
    if (m_strRawFolder.isEmpty())
        return;

    emit statusText(s_strLoading, 10000);
    removeFiles(s_strWorkFolder);
    if (folderExists(m_strRawFolder + QStringLiteral("/index")))
        afterIndexTool();
    else
        runIndexTool();
}

QString CPointCloudHandOff::rawFolder()
{
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    const QString strSurveyName = QLatin1Char('/') + poManager->getSurveyName();
    qDebug().noquote() << "getPointsFromGrid survey name: " + strSurveyName;
    const QString strCandidate = QString::fromStdString(CSurveyData().getRawDataRoot()) + strSurveyName;
    qDebug().noquote() << "getPointsFromGrid raw path: " + strCandidate;
    if (folderExists(strCandidate))
        return strCandidate;
    if (folderExists(s_strRememberedRawFolder))
        return s_strRememberedRawFolder;

    const QString strGroup = QLatin1String(GuiIni::GroupGeneralDefs);
    const QString strSetting = GuiIni::value(strGroup, QStringLiteral("RawPath"), QStringLiteral("C:/qeldata")).toString();
    s_strRememberedRawFolder = strSetting;
    QString strStart = strSetting;
    if (folderExists(strSetting)) {
        QDir oDir(native(strSetting));
        oDir.cdUp();
        strStart = oDir.path();
    } else {
        strStart = native(strSetting);
    }
    const QString strChosen =
        CPrompter::current().existingDirectory(nullptr, QStringLiteral("Select Rawdata Directory"), strStart);
    if (strChosen.isEmpty())
        return QString();
    GuiIni::setValue(strGroup, QStringLiteral("RawPath"), strChosen);
    // The operator's choice is the one to fall back on next time.
    s_strRememberedRawFolder = strChosen;
    return strChosen;
}

void CPointCloudHandOff::runIndexTool()
{
    m_nStage = Stage::Indexing;
    const QString strProgram = QDir::current().filePath(s_strIndexTool);
    const QStringList lstArguments{native(m_strRawFolder),
                                   native(CQaSurveyManager::instance()->getCurrentSurvey()), QStringLiteral("notrack")};
    const QString strCommand = QStringLiteral("./") + s_strIndexTool + QLatin1Char(' ') + lstArguments.join(QLatin1Char(' '));
    // Waited for without blocking the window: the rest follows when it ends.
    m_poIndexTool = std::make_unique<QProcess>();
    m_poIndexTool->setProgram(strProgram);
    m_poIndexTool->setArguments(lstArguments);
    m_poIndexTool->setProcessChannelMode(QProcess::ForwardedChannels);
    const int nRun = m_nRun;
    connect(m_poIndexTool.get(), QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, nRun, strCommand](int nCode, QProcess::ExitStatus eStatus) {
                if (nRun != m_nRun || m_nStage != Stage::Indexing)
                    return;
                if (eStatus != QProcess::NormalExit || nCode != 0)
                    qDebug().noquote() << "Failed to launch " + strCommand;
                afterIndexTool();
            });
    connect(m_poIndexTool.get(), &QProcess::errorOccurred, this, [this, nRun, strCommand](QProcess::ProcessError eError) {
        if (eError != QProcess::FailedToStart || nRun != m_nRun || m_nStage != Stage::Indexing)
            return;
        qDebug().noquote() << "Failed to launch " + strCommand;
        afterIndexTool();
    });
    m_poIndexTimer->start(m_nIndexToolLimitMs);
    m_poIndexTool->start();
}

void CPointCloudHandOff::afterIndexTool()
{
    m_poIndexTimer->stop();
    m_nStage = Stage::Generating;
    const QRectF oTestRect(m_oSelection.topLeft() * 100.0, m_oSelection.bottomRight() * 100.0);
    const pointcloud::Projector fnProject = processProjection();

    QString strProcessList;
    QDirIterator oFiles(native(m_strRawFolder + QStringLiteral("/index")), {QStringLiteral("*.json")}, QDir::Files,
                        QDirIterator::Subdirectories);
    while (oFiles.hasNext()) {
        const QString strPath = oFiles.next();
        QFile oFile(strPath);
        // A file that cannot be used is passed over; the others still count.
        if (!oFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
            qWarning().noquote() << "CMapView2D::getPointsFromGrid(): Unable to open coveragefile: " + strPath;
            continue;
        }
        switch (pointcloud::testCoverageIndex(oFile.readAll(), oTestRect, fnProject)) {
        case pointcloud::IndexVerdict::NotAnObject:
            qWarning().noquote() << "CMapView2D::getPointsFromGrid(): Unable to create jsonDocument. " + strPath;
            continue;
        case pointcloud::IndexVerdict::EmptyObject:
            qWarning().noquote() << "CMapView2D::getPointsFromGrid(): json object is empty. " + strPath;
            continue;
        case pointcloud::IndexVerdict::Matched:
            strProcessList += QFileInfo(strPath).fileName().section(QLatin1Char('.'), 0, 0) + QStringLiteral(".qxall,");
            break;
        case pointcloud::IndexVerdict::Unmatched:
            break;
        }
    }

    QDir().mkpath(native(s_strWorkFolder));
    QFile oList(native(s_strProcessList));
    if (!oList.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning().noquote() << "CMapView2D::getPointsFromGrid(): Unable to open Processfile: " + s_strProcessList;
        finish();
        return;
    }
    oList.write(strProcessList.toLocal8Bit());
    oList.close();

    // The crop polygon: the selection's corners in degrees, in the order the generator expects.
    CProjection* poProjection = CProjection::instance();
    const QPointF aCorners[] = {{m_oSelection.left(), m_oSelection.bottom()},
                                {m_oSelection.right(), m_oSelection.bottom()},
                                {m_oSelection.right(), m_oSelection.top()},
                                {m_oSelection.left(), m_oSelection.top()}};
    CQelGeoJSON oPolygon;
    oPolygon.m_nType = CQelGeoJSON::POLYGON;
    for (const QPointF& oCorner : aCorners) {
        double dLatitude = 0;
        double dLongitude = 0;
        if (!poProjection || poProjection->toGeographic(100.0 * oCorner.y(), 100.0 * oCorner.x(), dLatitude, dLongitude) != 0) {
            qWarning() << "CMapView2D::getPointsFromGrid(): the selection cannot be converted to degrees";
            finish();
            return;
        }
        oPolygon.m_vfPoints.push_back(static_cast<float>(dLongitude));
        oPolygon.m_vfPoints.push_back(static_cast<float>(dLatitude));
    }
    CUserObjs oCollection;
    oCollection.addObject(oPolygon);
    if (!oCollection.writeGeoJson(native(s_strCropPolygon)))
        qWarning().noquote() << "CMapView2D::getPointsFromGrid(): Unable to write " + s_strCropPolygon;

    if (!m_bWaitCursor && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_bWaitCursor = true;
    }
    startGenerator();
    qDebug() << "Finshed CMapView2D::getPointsFromGrid";
}

void CPointCloudHandOff::startGenerator()
{
    const QStringList lstShown{QStringLiteral("-f"), m_strRawFolder + QLatin1Char('/'), QStringLiteral("-o"),
                               s_strOutputFolder, QStringLiteral("-d"), s_strWorkFolder};
    qInfo().noquote() << s_strGenerator + QLatin1Char(' ') + lstShown.join(QLatin1Char(' '));
    QDir().mkpath(native(s_strOutputFolder));
    removeFiles(s_strOutputFolder);

    platform::StartOptions oOptions;
    oOptions.program = platform::findOnPath(s_strGenerator);
    oOptions.arguments = QStringList{QStringLiteral("-f"), native(m_strRawFolder) + QLatin1Char('/'), QStringLiteral("-o"),
                          native(s_strOutputFolder), QStringLiteral("-d"), native(s_strWorkFolder)};
    const std::optional<qint64> nPid = oOptions.program.isEmpty() ? std::nullopt : platform::startDetached(oOptions);
    if (!nPid) {
        qWarning() << "Failed to start Point Cloud Process. Unable to continue.";
        finish();
        return;
    }
    m_nGeneratorPid = *nPid;
    m_nGeneratorStartMs = QDateTime::currentMSecsSinceEpoch();
    m_poPollTimer->start(m_nPollMs);
}

void CPointCloudHandOff::gePointData()
{
    if (m_nStage != Stage::Generating)
        return;
    // Only the generator of this hand-off counts, not one started by anybody else.
    if (generatorRunning(m_nGeneratorPid)) {
        if (QDateTime::currentMSecsSinceEpoch() - m_nGeneratorStartMs > m_nGeneratorLimitMs) {
            qWarning().noquote() << QStringLiteral("%1 did not finish within %2 s; no points are loaded")
                                        .arg(s_strGenerator)
                                        .arg(m_nGeneratorLimitMs / 1000);
            platform::endProcess(m_nGeneratorPid, true);
            emit statusText(QStringLiteral("Point cloud generator did not finish."), 0);
            finish();
            return;
        }
        qDebug().noquote() << s_strGenerator + QStringLiteral(" still running. Retry in 3 secs");
        emit statusText(s_strLoading, 3000);
        m_poPollTimer->start(m_nPollMs);
        return;
    }
    readBack();
}

void CPointCloudHandOff::readBack()
{
    qDebug() << "Process all point files...";
    const QDir oOutput(native(s_strOutputFolder));
    const QStringList lstFiles = oOutput.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    if (lstFiles.isEmpty()) {
        qWarning() << "Warning: No point data files found!";
        emit statusText(QStringLiteral("Warning: No point data files found!"), 0);
        finish();
        return;
    }
    QString strWarning;
    const long long nLimit = pointcloud::pointLimit(std::getenv("MAXPOINTS"), &strWarning);
    if (!strWarning.isEmpty())
        qWarning().noquote() << strWarning;

    m_nStage = Stage::Reading;
    QStringList lstPaths;
    for (const QString& strName : lstFiles)
        lstPaths << oOutput.filePath(strName);
    CProjection* poProjection = CProjection::instance();
    if (!poProjection || !poProjection->isValid()) {
        qWarning() << "No valid projection: the point data cannot be placed";
        emit statusText(QStringLiteral("No valid projection: the point data cannot be placed"), 0);
        finish();
        return;
    }
    const pointcloud::Projector fnProject = pointcloud::copiedProjection(poProjection->sourceCrs(), poProjection->targetCrs());
    const int nRun = m_nRun;
    // Read and projected off the window's thread; each file's points come back to it.
    m_oWorker = std::thread([this, lstPaths, nLimit, nRun, fnProject] {
        long long nLinesRead = 0;
        bool bFirst = true;
        for (const QString& strPath : lstPaths) {
            if (m_bCancel)
                return;
            std::vector<double> vPoints = pointcloud::readPointFile(strPath, nLinesRead, nLimit, fnProject);
            QMetaObject::invokeMethod(
                this,
                [this, nRun, bFirst, vPoints = std::move(vPoints)]() mutable {
                    if (nRun == m_nRun)
                        emit pointsReady(std::move(vPoints), bFirst);
                },
                Qt::QueuedConnection);
            bFirst = false;
        }
        QMetaObject::invokeMethod(
            this,
            [this, nRun] {
                if (nRun != m_nRun)
                    return;
                if (m_oWorker.joinable())
                    m_oWorker.join();
                finish();
            },
            Qt::QueuedConnection);
    });
}

void CPointCloudHandOff::finish()
{
    m_nStage = Stage::Idle;
    if (m_bWaitCursor) {
        QGuiApplication::restoreOverrideCursor();
        m_bWaitCursor = false;
    }
    emit finished();
}

// User objects: the controller's side of the viewer object library.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/ShipModel.h"
#include "Projection/Projection.h"

#include "Common/CorvPaths.h"
#include "OrlexObjs.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <platform/paths.h>

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QVariant>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;
using orlex_viewer_detail::viewerLogger;

namespace {

// Application settings handed to the library.
constexpr int s_nAntiAliasingValue = 20;
constexpr int s_nQuadBufferEnable = 22;

QString savedPositionsPath()
{
    return platform::toNativePath(programDataPath() + QStringLiteral("savedpos.txt"));
}

// Nine significant digits, as printf's %g writes them.
QString degreesText(double dDegrees)
{
    return QString::asprintf("%.9g", dDegrees);
}

// Appends the line through a temporary file: the file is whole after a crash at any moment.
bool appendSavedPosition(const QString& strLine)
{
    const QString strPath = savedPositionsPath();
    QByteArray content;
    QFile existing(strPath);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return false;
        content = existing.readAll();
        if (!content.isEmpty() && !content.endsWith('\n'))
            content.append('\n');
    }
    content.append(strLine.toLatin1());
    QSaveFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

} // namespace

void COrlexViewer::initObjects()
{
    if (m_pObjects)
        return;
    m_pObjects = std::make_shared<COrlexObjs>(nullptr);
    m_pObjects->setDispatcher(getDispatcher());
    m_pObjects->setProjection(CProjection::instance());
    QVariant vAntiAliasing;
    QVariant vQuadBuffer;
    if (CSettingsManager* pSettings = CSettingsManager::instance()) {
        pSettings->getValue(Application, s_nAntiAliasingValue, vAntiAliasing, false);
        pSettings->getValue(Application, s_nQuadBufferEnable, vQuadBuffer, false);
    }
    m_pObjects->m_strAntiAliasing = vAntiAliasing.toString();
    m_pObjects->m_bQuadBuffer = vQuadBuffer.toBool();
}

std::uint64_t COrlexViewer::addUserObject(bool bStore)
{
    initObjects();
    std::vector<float> points;
    points.reserve(m_planPoints.size() * 2);
    CProjection* pProjection = CProjection::instance();
    for (const PositionData& oPoint : m_planPoints) {
        double dLat = 0;
        double dLon = 0;
        pProjection->toGeographic(oPoint.Y * 100.0, oPoint.X * 100.0, dLat, dLon);
        points.push_back(static_cast<float>(dLon));
        points.push_back(static_cast<float>(dLat));
    }
    std::uint64_t nId = 0;
    switch (m_nNewObjectKind) {
    case 0:
        nId = m_pObjects->newDremmLine(points, 0, bStore, QString(), 3);
        break;
    case 1:
        nId = m_pObjects->newDremmPolygon(points, 0, bStore, QString(), 3);
        break;
    case 2:
        nId = m_pObjects->newDremmPoint(points, true, 0, bStore, QString(), 0.0);
        break;
    default:
        break;
    }
    m_nNewObjectKind = -1;
    m_planPoints.clear();
    return nId;
}

void COrlexViewer::addDynamicObject(const QString& strName, const QString& strText)
{
    const QStringList fields = strText.split(QLatin1Char(','));
    if (fields.size() != 3 && fields.size() != 4)
        return;
    const double dA = fields.at(0).toDouble();
    const double dB = fields.at(1).toDouble();
    const double dZ = fields.at(2).toDouble();
    const QString strKind = fields.size() == 4 ? fields.at(3).trimmed() : QString();
    const QChar cKind = strKind.isEmpty() ? QLatin1Char('D') : strKind.at(0);
    double dLon = 0;
    double dLat = 0;
    if (cKind == QLatin1Char('D')) {
        dLon = dA;
        dLat = dB;
    } else if (cKind == QLatin1Char('P')) {
        CProjection::instance()->toGeographic(dB * 100.0, dA * 100.0, dLat, dLon);
    } else if (cKind == QLatin1Char('R')) {
        dLon = dB * 180.0 / M_PI;
        dLat = dA * 180.0 / M_PI;
    }
    qDebug().noquote() << QStringLiteral("%1,%2,%3,%4").arg(dLon).arg(dLat).arg(dZ).arg(strName);
    initObjects();
    SDynObj oState;
    oState.X = dLon;
    oState.Y = dLat;
    oState.Z = dZ;
    oState.nSize = 10;
    oState.strColor = "#ff0000";
    const auto itKnown = std::find_if(m_dynamicObjects.begin(), m_dynamicObjects.end(),
                                      [&](const std::pair<QString, std::uint64_t>& oObject) { return oObject.first == strName; });
    const bool bKnown = itKnown != m_dynamicObjects.end();
    const std::size_t nKnown = static_cast<std::size_t>(itKnown - m_dynamicObjects.begin());
    if (!bKnown && m_dynamicObjects.size() >= static_cast<std::size_t>(kMaxDynamicObjects)) {
        if (!m_bDynamicCapLogged) {
            m_bDynamicCapLogged = true;
            qWarning().noquote() << QStringLiteral("Dynamic objects are kept to %1: from now on the oldest goes for each new name")
                                        .arg(kMaxDynamicObjects);
        }
        m_pObjects->deleteObj(m_dynamicObjects.front().second, true, false);
        m_dynamicObjects.erase(m_dynamicObjects.begin());
    }
    const std::uint64_t nId = m_pObjects->updateDynObj(strName.toUtf8().toStdString(), oState);
    if (bKnown) {
        // Refused or made again: the id the library has now.
        if (nId == 0)
            m_dynamicObjects.erase(m_dynamicObjects.begin() + static_cast<std::ptrdiff_t>(nKnown));
        else
            m_dynamicObjects[nKnown].second = nId;
    } else if (nId != 0) {
        m_dynamicObjects.emplace_back(strName, nId);
    }
}

void COrlexViewer::forgetDynamicObject(std::uint64_t nId)
{
    m_dynamicObjects.erase(std::remove_if(m_dynamicObjects.begin(), m_dynamicObjects.end(),
                                          [nId](const std::pair<QString, std::uint64_t>& oObject) { return oObject.second == nId; }),
                           m_dynamicObjects.end());
}

void COrlexViewer::deleteUserObj()
{
    if (m_nSelectedObjectId == 0 || !m_pObjects)
        return;
    m_pObjects->deleteObj(m_nSelectedObjectId, true, true);
    forgetDynamicObject(m_nSelectedObjectId);
    forgetRemovedCorridor();
    m_bDeleteUserObjPending = false;
}

void COrlexViewer::editUserObj()
{
    if (m_nSelectedObjectId == 0 || !m_pObjects)
        return;
    m_pObjects->editObject(m_nSelectedObjectId);
    m_bEditUserObjPending = false;
}

void COrlexViewer::viewUserObj()
{
    if (m_nSelectedObjectId == 0 || !m_pObjects)
        return;
    qDebug("viewUserObj");
    m_pObjects->viewObject(m_nSelectedObjectId);
}

void COrlexViewer::loadGeoJson(const QString& strPath)
{
    initObjects();
    m_pObjects->readGeoJsonFile(strPath);
}

void COrlexViewer::loadSavedPos()
{
    initObjects();
    m_bSavedPositionsShown = true;
    m_pObjects->loadSavedPos();
}

void COrlexViewer::readObjectsFromDatabase()
{
    initObjects();
    O::SetCursorMessage cursor;
    cursor.ViewerId = viewerId();
    cursor.Confirmation = 1;
    cursor.Cursor = "WaitCursor";
    send(cursor);
    emit sigSetStatusText(QStringLiteral("Reading objects from dataabase"), 2000);
    m_bObjectsFromDatabase = true;
    m_pObjects->addFromDatabase();
    cursor.Cursor = "Default";
    send(cursor);
}

void COrlexViewer::removeAllObjects()
{
    initObjects();
    m_pObjects->removeAll();
    m_bObjectsFromDatabase = false;
    m_bSavedPositionsShown = false;
    m_dynamicObjects.clear();
    forgetRemovedCorridor();
}

void COrlexViewer::savePosition()
{
    qDebug("Save position");
    if (!m_pShipModel)
        return;
    int nEast = 0;
    int nNorth = 0;
    m_pShipModel->getVesselPosition(nEast, nNorth);
    double dLat = 0;
    double dLon = 0;
    if (CProjection::instance()->toGeographic(nNorth, nEast, dLat, dLon) != 0) {
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::savePosition(): no projection, position not saved"));
        return;
    }
    const QString strLine = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                            + QStringLiteral("-UTC Lat/Lon: ") + degreesText(dLat) + QLatin1Char('/') + degreesText(dLon)
                            + QLatin1Char('\n');
    if (!appendSavedPosition(strLine)) {
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::savePosition(): cannot write ")
                                           << savedPositionsPath().toStdString());
        return;
    }
    emit sigSetStatusText(QStringLiteral("Current position saved to file"), 2000);
    initObjects();
    m_pObjects->newDremmPoint({static_cast<float>(dLon), static_cast<float>(dLat)}, true, 0, true, QString(), 0.0);
}

#include "OrlexViewer/ShipModel.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModelPrivate.h"
#include "OrlexViewer/ShipPositionHistory.h"

#include "Common/GetToken.h"
#include "OrlexProtocol/codec/Color.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::MessageDispatcher;
using ship_model_detail::colourOf;
using ship_model_detail::shipMutex;
using ship_model_detail::shipLogger;

namespace {

const QString kInitLabel = QStringLiteral("#INIT#");
const std::string kVesselLayer = "Vessel";
constexpr float kQuarterTurn = 1.570795f;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// The hull outline in a unit frame, bow at (0, 0), round from the bow down the port side.
constexpr std::array<std::array<float, 2>, 42> kHullOutline{{
    {0.0f, 0.0f},      {-0.10f, -0.07f},  {-0.20f, -0.16f},  {-0.30f, -0.25f}, {-0.40f, -0.36f}, {-0.51f, -0.50f},
    {-0.60f, -0.63f},  {-0.69f, -0.80f},  {-0.73f, -0.90f},  {-0.80f, -1.10f}, {-0.84f, -1.20f}, {-0.87f, -1.40f},
    {-0.89f, -1.50f},  {-0.90f, -1.60f},  {-0.91f, -1.80f},  {-0.93f, -2.20f}, {-0.935f, -2.50f}, {-0.94f, -3.00f},
    {-0.94f, -4.00f},  {-0.935f, -4.60f}, {-0.93f, -5.10f},  {0.93f, -5.10f},  {0.935f, -4.60f}, {0.94f, -4.00f},
    {0.94f, -3.00f},   {0.935f, -2.50f},  {0.93f, -2.20f},   {0.91f, -1.80f},  {0.90f, -1.60f},  {0.89f, -1.50f},
    {0.87f, -1.40f},   {0.84f, -1.20f},   {0.80f, -1.10f},   {0.73f, -0.90f},  {0.69f, -0.80f},  {0.60f, -0.63f},
    {0.51f, -0.50f},   {0.40f, -0.36f},   {0.30f, -0.25f},   {0.20f, -0.16f},  {0.10f, -0.07f},  {0.0f, 0.0f},
}};

// Process-wide: what has been made, once per process whatever the instance.
struct ProcessState
{
    std::array<bool, CShipModel::kMaxVessels> anchorCreated{};
    std::array<bool, CShipModel::kMaxVessels> symbolMade{};
    std::array<bool, CShipModel::kMaxVessels> symbolIsMarker{};
    bool bInitialised = false;
    bool bCameraPlaced = false;
    bool bControllerTold = false;
};

ProcessState& processState()
{
    static ProcessState s_state;
    return s_state;
}

std::uint64_t symbolId(int n)
{
    return CShipModel::kVesselIdBase + CShipModel::kVesselIdStep * static_cast<std::uint64_t>(n);
}
std::uint64_t anchorId(int n)
{
    return symbolId(n) + 1;
}
std::uint64_t vectorId(int n)
{
    return symbolId(n) + 2;
}
std::uint64_t spearId(int n)
{
    return symbolId(n) + 3;
}

bool isVesselIndex(int n)
{
    return n >= 0 && n < CShipModel::kMaxVessels;
}

O::PositionData position(double dX, double dY, double dZ)
{
    O::PositionData p;
    p.X = dX;
    p.Y = dY;
    p.Z = dZ;
    return p;
}

// The rotation about the vertical axis by minus the angle (degrees clockwise from north).
O::RotationData rotationFromNorth(double dDegrees)
{
    const double h = dDegrees * kDegToRad;
    O::RotationData r;
    r.X = 0;
    r.Y = 0;
    r.Z = static_cast<float>(-std::sin(h / 2));
    r.W = static_cast<float>(std::cos(h / 2));
    return r;
}

O::LineData line(std::vector<float> positions)
{
    O::LineData data;
    data.Indices.reserve(positions.size() / 3 + 1);
    for (std::size_t n = 0; n < positions.size() / 3; ++n)
        data.Indices.push_back(static_cast<std::int32_t>(n));
    data.Indices.push_back(-1);
    data.Positions = std::move(positions);
    return data;
}

// "r,g,b,0.8" with the colour's fractions in single precision, six significant digits.
std::string historyColour(const QColor& colour)
{
    const auto fraction = [](int n) { return QString::number(static_cast<float>(n) / 255.0f, 'g', 6); };
    return QStringLiteral("%1,%2,%3,0.8").arg(fraction(colour.red()), fraction(colour.green()), fraction(colour.blue())).toStdString();
}

O::MaterialData materialOf(const QColor& colour, std::optional<float> lineWidth)
{
    O::MaterialData material;
    material.MaterialId.set(0);
    material.Override = false;
    material.OverrideColor = true;
    material.OverrideAlpha = true;
    material.Material.DiffuseColor = colourOf(colour);
    if (lineWidth)
        material.Material.LineWidth.set(*lineWidth);
    return material;
}

} // namespace

namespace ship_model_detail {

log4cplus::Logger shipLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CShipModel"));
}

O::Color colourOf(const QColor& colour)
{
    return O::makeColorFromBytes(colour.red(), colour.green(), colour.blue(), 255);
}

COrlexViewer* controller()
{
    return COrlexViewer::existingInstance();
}

std::recursive_mutex& shipMutex()
{
    static std::recursive_mutex s_mutex;
    return s_mutex;
}

void onGuiThread(std::function<void()> fnCall)
{
    QCoreApplication* pApp = QCoreApplication::instance();
    if (!pApp || QThread::currentThread() == pApp->thread())
        fnCall();
    else
        QMetaObject::invokeMethod(pApp, std::move(fnCall), Qt::QueuedConnection);
}

} // namespace ship_model_detail

template <typename T>
void CShipModel::send(const T& payload) const
{
    if (const std::shared_ptr<MessageDispatcher> pDispatcher = m_pDispatcher.lock())
        pDispatcher->sendMessage(payload);
}

CShipModel::CShipModel(std::shared_ptr<MessageDispatcher> pDispatcher)
    : m_pDispatcher(std::move(pDispatcher)), m_pHistory(std::make_unique<CShipPositionHistory>())
{
    m_fnNowMs = [] {
        using namespace std::chrono;
        return static_cast<qint64>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    m_positionUpdate.ObjectIds.resize(1);
    m_positionUpdate.Positions.resize(1);
    m_rotationUpdate.ObjectIds.resize(1);
    m_rotationUpdate.Rotations.resize(1);
    m_vectorUpdate.LineData.Positions.resize(6);
    m_vectorUpdate.LineData.Indices = {0, 1, -1};
}

CShipModel::~CShipModel() = default;

// ---------------------------------------------------------------------------------------------
// Position updates

void CShipModel::setClock(std::function<qint64()> fnNowMs)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_fnNowMs = std::move(fnNowMs);
}

int CShipModel::vesselIndex(const QString& strName, bool& bNew)
{
    bNew = false;
    const qint64 nNow = m_fnNowMs();
    const int nKnown = m_labels.indexOf(strName);
    if (nKnown >= 0) {
        m_lastUpdateMs[static_cast<std::size_t>(nKnown)] = nNow;
        return nKnown;
    }
    if (strName.size() > kMaxLabelLength) {
        logRefusedLabel(strName, nNow);
        return -1;
    }
    int n = static_cast<int>(m_labels.size());
    if (n < kMaxVessels) {
        m_labels.append(strName);
    } else {
        // All slots taken: the one silent longest goes, once it has been silent for a while.
        n = static_cast<int>(std::min_element(m_lastUpdateMs.begin(), m_lastUpdateMs.end()) - m_lastUpdateMs.begin());
        if (nNow - m_lastUpdateMs[static_cast<std::size_t>(n)] < kSlotSilenceMs) {
            logRefusedLabel(strName, nNow);
            return -1;
        }
        QString& strOldSource = m_sources[static_cast<std::size_t>(n)];
        LOG4CPLUS_INFO(shipLogger(), LOG4CPLUS_TEXT("CShipModel::updateVessel - vessel ") << m_labels.at(n).toStdString()
                                         << LOG4CPLUS_TEXT(" silent, its slot goes to ") << strName.toStdString());
        const QString strGone = strOldSource;
        strOldSource = QString();
        if (!strGone.isNull() && std::find(m_sources.begin(), m_sources.end(), strGone) == m_sources.end()) {
            m_eastBySource.remove(strGone);
            m_northBySource.remove(strGone);
        }
        m_labels[n] = strName;
    }
    m_lastUpdateMs[static_cast<std::size_t>(n)] = nNow;
    // Kept per source only when the label has exactly one colon.
    const int nColon = strName.indexOf(QLatin1Char(':'));
    if (nColon >= 0 && strName.indexOf(QLatin1Char(':'), nColon + 1) < 0)
        m_sources[static_cast<std::size_t>(n)] = strName.left(nColon);
    bNew = true;
    return n;
}

void CShipModel::logRefusedLabel(const QString& strName, qint64 nNow)
{
    // Counted; one line now and then, not one per datagram.
    ++m_nRefusedSinceLog;
    if (m_bRefusalLogged && nNow - m_nLastRefusalLogMs < kRefusalLogIntervalMs)
        return;
    LOG4CPLUS_WARN(shipLogger(), LOG4CPLUS_TEXT("CShipModel::updateVessel - vessel labels refused (")
                                     << m_labels.size() << LOG4CPLUS_TEXT(" vessels shown and active, or label too long): ")
                                     << m_nRefusedSinceLog << LOG4CPLUS_TEXT(" since the last such line, the latest ")
                                     << strName.left(kMaxLabelLength).toStdString());
    m_bRefusalLogged = true;
    m_nLastRefusalLogMs = nNow;
    m_nRefusedSinceLog = 0;
}

void CShipModel::updateVessel(int nEast, int nNorth, int nHeading, const QString& strName)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    int n = 0;
    const bool bInit = strName == kInitLabel;
    if (bInit) {
        createShipMesh(0, nEast, nNorth);
        processState().bInitialised = true;
    } else {
        bool bNew = false;
        n = vesselIndex(strName, bNew);
        if (n < 0)
            return;
        if (bNew)
            createShipMesh(n, nEast, nNorth);
        if (!processState().bInitialised)
            return;
    }

    const double dEast = nEast / 100.0;
    const double dNorth = nNorth / 100.0;
    m_positionUpdate.ObjectIds[0] = symbolId(n);
    m_positionUpdate.Positions[0] = position(dEast, dNorth, 0);
    send(m_positionUpdate);
    m_positionUpdate.ObjectIds[0] = anchorId(n);
    send(m_positionUpdate);

    // The start-up placeholder (latitude 0, longitude 0) is no vessel position.
    if (!processState().bControllerTold && nEast != 0 && !bInit) {
        processState().bControllerTold = true;
        ship_model_detail::onGuiThread([] {
            if (COrlexViewer* pViewer = ship_model_detail::controller())
                pViewer->setVesselPositionArrived();
        });
    }

    m_rotationUpdate.ObjectIds[0] = symbolId(n);
    m_rotationUpdate.Rotations[0] = rotationFromNorth(nHeading / 100.0);
    send(m_rotationUpdate);

    // Only the vessel whose course vector exists has one to update.
    if (m_nVectorId != 0 && static_cast<std::uint64_t>(m_nVectorId) == vectorId(n)) {
        float fCourse = 0;
        float fSpeed = 0;
        float fLength = 0;
        m_pHistory->getMotion(fCourse, fSpeed, fLength);
        m_vectorUpdate.Id = vectorId(n);
        std::fill(m_vectorUpdate.LineData.Positions.begin(), m_vectorUpdate.LineData.Positions.end(), 0.0f);
        m_vectorUpdate.LineData.Positions[4] = fLength;
        send(m_vectorUpdate);
        m_rotationUpdate.ObjectIds[0] = vectorId(n);
        m_rotationUpdate.Rotations[0] = rotationFromNorth(fCourse);
        send(m_rotationUpdate);
    }

    if (!processState().bCameraPlaced && !bInit) {
        O::SetCameraDataMessage camera;
        camera.CameraData.TargetPosition.set(position(dEast, dNorth, 0));
        camera.CameraData.CameraPosition.set(position(dEast, dNorth, 100));
        send(camera);
        processState().bCameraPlaced = true;
    }

    m_nLastEast = nEast;
    m_nLastNorth = nNorth;
    m_nLastHeading = nHeading;

    // The source name was taken from the label when the vessel was made.
    const QString& strSource = m_sources[static_cast<std::size_t>(n)];
    if (!bInit && !strSource.isNull()) {
        m_eastBySource[strSource] = nEast;
        m_northBySource[strSource] = nNorth;
    }
}

void CShipModel::addPositionDatagram(const char* pDatagram, int nLength)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!m_pHistory || !pDatagram || nLength <= 0)
        return;
    // A datagram of the control road carries two more bytes after its trailer.
    const bool bEndsWithTrailer = nLength >= 3 && pDatagram[nLength - 3] == 0x03;
    const long nStored = bEndsWithTrailer ? nLength : nLength - 2;
    if (nStored > 0)
        m_pHistory->store(pDatagram, nStored);
    m_pHistory->updateSpeedAndCourse();
}

void CShipModel::setVectorLength(int nSeconds)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_pHistory)
        m_pHistory->setVectorTimeSpan(nSeconds);
}

void CShipModel::getVesselPosition(int& nEast, int& nNorth) const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    nEast = m_nLastEast;
    nNorth = m_nLastNorth;
}

int CShipModel::getVesselHeading() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return m_nLastHeading;
}

bool CShipModel::isVesselCreated() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return m_bVesselCreated;
}

int CShipModel::vesselCount() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return std::max(1, static_cast<int>(m_labels.size()));
}

void CShipModel::setShowTrack(bool bShow)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_bShowTrack = bShow;
}

std::uint64_t CShipModel::getCogVectorId() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return static_cast<std::uint64_t>(m_nVectorId);
}

bool CShipModel::isMarkerShown() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return m_bMarkerShown;
}

void CShipModel::getVesselPositionByName(const QString& strSourceName, int& nEast, int& nNorth) const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    const QString strSource = strSourceName.section(QLatin1Char(':'), 0, 0);
    nEast = m_eastBySource.value(strSource, 0);
    nNorth = m_northBySource.value(strSource, 0);
}

// ---------------------------------------------------------------------------------------------
// Vessel objects

void CShipModel::showOnNewViewer(std::shared_ptr<MessageDispatcher> pDispatcher)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_pDispatcher = pDispatcher;
    ProcessState& state = processState();
    const std::array<bool, kMaxVessels> shown = state.anchorCreated;
    const bool bAsMarkers = state.symbolIsMarker[0] || !state.symbolMade[0];
    // The new server holds none of the vessel objects: they are all made again.
    state.anchorCreated = {};
    state.symbolMade = {};
    state.symbolIsMarker = {};
    m_vesselIds = {};
    m_nVectorId = 0;
    m_tailIds.clear();
    for (int n = 0; n < kMaxVessels; ++n) {
        if (!shown[static_cast<std::size_t>(n)])
            continue;
        int nEast = m_nLastEast;
        int nNorth = m_nLastNorth;
        const QString& strSource = m_sources[static_cast<std::size_t>(n)];
        if (!strSource.isNull() && m_eastBySource.contains(strSource)) {
            nEast = m_eastBySource.value(strSource);
            nNorth = m_northBySource.value(strSource);
        }
        createShipMesh(n, nEast, nNorth);
        if (!bAsMarkers)
            switchVesselSymbol(n, false, nEast, nNorth);
        m_positionUpdate.ObjectIds[0] = symbolId(n);
        m_positionUpdate.Positions[0] = position(nEast / 100.0, nNorth / 100.0, 0);
        send(m_positionUpdate);
        m_positionUpdate.ObjectIds[0] = anchorId(n);
        send(m_positionUpdate);
        m_rotationUpdate.ObjectIds[0] = symbolId(n);
        m_rotationUpdate.Rotations[0] = rotationFromNorth(m_nLastHeading / 100.0);
        send(m_rotationUpdate);
    }
}


void CShipModel::createShipMesh(int n, int nEast, int nNorth)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!isVesselIndex(n) || processState().anchorCreated[static_cast<std::size_t>(n)])
        return;
    processState().anchorCreated[static_cast<std::size_t>(n)] = true;
    m_bVesselCreated = true;
    m_vesselColor = QColor(0, 255, 255);
    readViewParameters();
    m_vesselIds[static_cast<std::size_t>(n)] = static_cast<int>(anchorId(n));

    O::CreateCubeMessage cube;
    cube.Id = anchorId(n);
    cube.PositionData = position(nEast / 100.0, nNorth / 100.0, 0);
    cube.Layer.set(kVesselLayer);
    cube.Size = 0.1f;
    send(cube);
    LOG4CPLUS_DEBUG(shipLogger(), LOG4CPLUS_TEXT("Created ship mesh id ") << cube.Id);

    switchVesselSymbol(n, true, nEast, nNorth);

    O::UpdatePositionHistoryMessage history;
    history.Id = anchorId(n);
    send(history);

    O::UpdatePropertiesMessage properties;
    properties.Id = anchorId(n);
    properties.Properties = {
        {"PositionHistoryColor", historyColour(QColor(192, 192, 192))},
        {"PositionHistoryDisplayWidth", "2.0"},
        {"PositionHistoryFilterPoints", "true"},
        {"PositionHistoryLimit", "1000"},
        {"PositionHistoryPointDisplayLimit", "10"},
        {"PositionHistoryPointFilterDistance", "50.0"},
        {"PositionHistoryPointSize", "1.5"},
    };
    send(properties);
}

void CShipModel::switchVesselSymbol(int n, bool bAsMarkers, int nEast, int nNorth)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!isVesselIndex(n))
        return;
    ProcessState& state = processState();
    const auto nIndex = static_cast<std::size_t>(n);
    if (state.symbolMade[nIndex] && state.symbolIsMarker[nIndex] == bAsMarkers)
        return;
    // A 3-D model has no spear to destroy.
    const bool bKeepSpear = !state.symbolIsMarker[nIndex] && m_bModelAvailable;
    for (int i = 0; i < kMaxVessels; ++i) {
        if (state.symbolMade[static_cast<std::size_t>(i)]) {
            O::DestroyObjectMessage destroy;
            destroy.Id = symbolId(i);
            send(destroy);
            if (!bKeepSpear) {
                destroy.Id = spearId(i);
                send(destroy);
            }
        }
        if (m_vesselIds[static_cast<std::size_t>(i)] != 0) {
            if (bAsMarkers)
                createPositionMarkers(i);
            else
                createBoatModel(i, nEast, nNorth);
        }
    }
    state.symbolMade[nIndex] = true;
    state.symbolIsMarker[nIndex] = bAsMarkers;
}

void CShipModel::createPositionMarkers(int i)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!isVesselIndex(i))
        return;
    m_bMarkerShown = true;
    const float s = m_fMarkerBodyLength;
    const O::Color colour = colourOf(m_vesselColor);

    O::CreateMeshMessage mesh;
    mesh.Id = symbolId(i);
    mesh.MaterialData.Material.DiffuseColor = colour;
    mesh.MeshData.Positions = {0, 0, 0, -7.5f * s, -10 * s, 0, 7.5f * s, -10 * s, 0};
    mesh.MeshData.Indices = {0, 1, 2, -1};
    mesh.MeshData.PrimitiveType = 0;
    send(mesh);
    LOG4CPLUS_DEBUG(shipLogger(), LOG4CPLUS_TEXT("Create posmarker id ") << mesh.Id);

    O::CreateLineMessage spear;
    spear.Id = spearId(i);
    spear.ParentId.set(symbolId(i));
    spear.MaterialData.Material.DiffuseColor = colour;
    spear.MaterialData.Material.LineWidth.set(2.0f);
    spear.LineData = line({0, 0, 0, 0, 3 * m_fMarkerSpearLength, 0});
    send(spear);
    LOG4CPLUS_DEBUG(shipLogger(), LOG4CPLUS_TEXT("Create Spear id ") << spear.Id);
}

void CShipModel::createBoatModel(int i, int nEast, int nNorth)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!isVesselIndex(i))
        return;
    m_bMarkerShown = false;
    const std::string strResources = COrlexViewer::viewerResourcePath();
    m_bModelAvailable = false;
    if (!m_strModelFile.isEmpty()) {
        const QString strFolder = QFileInfo(platform::toNativePath(QString::fromStdString(strResources))).absoluteFilePath();
        m_bModelAvailable = QFileInfo::exists(strFolder + QLatin1Char('/') + platform::toNativePath(m_strModelFile));
    }
    const O::Color colour = colourOf(m_vesselColor);

    if (m_bModelAvailable) {
        O::CreateModelMessage model;
        model.Id = symbolId(i);
        model.PositionData = position(nEast / 100.0, nNorth / 100.0, 0);
        model.Layer.set(kVesselLayer);
        model.ModelData.Path = strResources + m_strModelFile.toStdString();
        // A quarter turn about z by -90 degrees after a quarter turn about x by +90 degrees.
        const float c = std::cos(kQuarterTurn / 2);
        const float s = std::sin(kQuarterTurn / 2);
        model.ModelData.UnitRotation.X = c * s;
        model.ModelData.UnitRotation.Y = -s * s;
        model.ModelData.UnitRotation.Z = -s * c;
        model.ModelData.UnitRotation.W = c * c;
        send(model);
        if (COrlexViewer* pViewer = ship_model_detail::controller())
            pViewer->addObject(model.Id, ViewerObjectInfo{0, QString(), false});
        return;
    }

    // The outline spans from "aft" behind to "fore" ahead and from "port" to "starboard".
    float fMinX = 0;
    float fMaxX = 0;
    float fMinY = 0;
    float fMaxY = 0;
    for (const auto& point : kHullOutline) {
        fMinX = std::min(fMinX, point[0]);
        fMaxX = std::max(fMaxX, point[0]);
        fMinY = std::min(fMinY, point[1]);
        fMaxY = std::max(fMaxY, point[1]);
    }
    const float fWidth = fMaxX - fMinX;
    const float fLength = fMaxY - fMinY;
    std::vector<float> positions;
    positions.reserve(kHullOutline.size() * 3);
    for (const auto& point : kHullOutline) {
        positions.push_back(point[0] * (m_fPortDist + m_fStbdDist) / fWidth + (m_fStbdDist - m_fPortDist) / 2);
        positions.push_back(point[1] * (m_fForeDist + m_fAftDist) / fLength + m_fForeDist);
        positions.push_back(0);
    }
    const float fBowX = positions[0];
    const float fBowY = positions[1];
    LOG4CPLUS_DEBUG(shipLogger(), LOG4CPLUS_TEXT("Create boatid ") << symbolId(i));

    O::CreateLineMessage outline;
    outline.Id = symbolId(i);
    outline.Layer.set(kVesselLayer);
    outline.MaterialData.Material.DiffuseColor = colour;
    outline.MaterialData.Material.LineWidth.set(3.0f);
    outline.LineData = line(std::move(positions));
    send(outline);

    O::CreateLineMessage spear;
    spear.Id = spearId(i);
    spear.ParentId.set(symbolId(i));
    spear.Layer.set(kVesselLayer);
    spear.MaterialData.Material.DiffuseColor = colour;
    spear.MaterialData.Material.LineWidth.set(3.0f);
    spear.LineData = line({fBowX, fBowY, 0, fBowX, fBowY + m_fSpearLength, 0});
    send(spear);
}

void CShipModel::createCogVector(int n)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_nVectorId != 0 || !isVesselIndex(n) || !processState().anchorCreated[static_cast<std::size_t>(n)])
        return;
    // The vector of vessel n hangs from that vessel's anchor.
    O::CreateLineMessage vector;
    vector.Id = vectorId(n);
    vector.ParentId.set(anchorId(n));
    vector.MaterialData.Material.DiffuseColor = colourOf(QColor(255, 0, 255));
    vector.MaterialData.Material.LineWidth.set(2.0f);
    vector.LineData = line({0, 0, 0, 0, 10, 0});
    send(vector);
    m_nVectorId = static_cast<std::int64_t>(vectorId(n));
}

void CShipModel::readViewParameters()
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_fForeDist = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_BOATVIEW_FORE_DIST")) / 100.0f;
    m_fAftDist = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_BOATVIEW_AFT_DIST")) / 100.0f;
    m_fPortDist = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_BOATVIEW_PORT_DIST")) / 100.0f;
    m_fStbdDist = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_BOATVIEW_STBD_DIST")) / 100.0f;
    m_fSpearLength = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_BOATVIEW_SPEAR_LEN")) / 100.0f;
    m_fMinHullLength = static_cast<float>(g_getToken.getTokValueDouble("ROZOVED_MIN_SHIP_HULL_LEN"));
    m_fMarkerBodyLength = static_cast<float>(g_getToken.getTokValueDouble("ROZOVED_MARKER_BODY_LEN"));
    m_fMarkerSpearLength = static_cast<float>(g_getToken.getTokValueDouble("ROZOVED_MARKER_SPEAR_LEN"));
    m_nMarkerLineWidth = g_getToken.getTokValueInt("ROZOVED_MARKER_LINE_WIDTH");
    g_getToken.getTokValueInt("ROZOVED_SHIP_SYMBOL_FILLED");
    m_strModelFile = QString::fromStdString(g_getToken.getTokValueStr("ROZOVED_SHIP_FBX"));
}

void CShipModel::onNavigationState(int, int nScale, bool bAsMarkers)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!bAsMarkers)
        return;
    const auto k = static_cast<float>(nScale / 100);
    const float s = m_fMarkerBodyLength;
    for (int i = 0; i < kMaxVessels; ++i) {
        if (m_vesselIds[static_cast<std::size_t>(i)] == 0)
            continue;
        O::UpdateMeshMessage mesh;
        mesh.Id = symbolId(i);
        O::MeshData& data = mesh.MeshData.set();
        data.Positions = {0, 0, 0, -0.75f * s * k, -s * k, 0, 0.75f * s * k, -s * k, 0};
        data.Indices = {0, 1, 2, -1};
        send(mesh);

        O::UpdateLineMessage spear;
        spear.Id = spearId(i);
        spear.LineData = line({0, 0, 0, 0, k * m_fMarkerSpearLength, 0});
        send(spear);
    }
}

// ---------------------------------------------------------------------------------------------
// Colours

void CShipModel::setShipColor(int n, const QColor& colour)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!isVesselIndex(n))
        return;
    m_vesselColor = colour;
    O::UpdateMaterialMessage material;
    material.Material = materialOf(colour, m_bMarkerShown ? 2.0f : 3.0f);
    material.Id = symbolId(n);
    send(material);
    material.Id = spearId(n);
    send(material);
}

void CShipModel::setCogVectorColor(const QColor& colour)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!m_pHistory || m_nVectorId == 0)
        return;
    m_vesselColor = colour;
    O::UpdateMaterialMessage material;
    material.Id = static_cast<std::uint64_t>(m_nVectorId);
    material.Material = materialOf(colour, std::nullopt);
    send(material);
}

void CShipModel::setTrackColor(const QColor& colour)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    O::UpdatePropertiesMessage properties;
    properties.Id = anchorId(0);
    properties.Properties = {{"PositionHistoryColor", historyColour(colour)}};
    send(properties);
}

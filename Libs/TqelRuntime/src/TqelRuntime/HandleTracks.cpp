#include "TqelRuntime/HandleTracks.h"

#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "platform/paths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

namespace {

const char* const s_szTrackSuffix = "shipstrack";
const char* const s_szCoverageSuffix = "coverage";
constexpr qint64 HeaderSize = 16;
constexpr qint64 PointSize = 16;
constexpr int MaxNameBytes = 511;
// Point records read per step.
constexpr qint64 PointsPerRead = 4096;
// Points kept of one track and of one load: a damaged or sparse file of any size costs at most
// this much (12 bytes of points and 4 of index each).
constexpr qint64 MaxTrackPoints = 1000000;
constexpr qint64 MaxLoadPoints = 4000000;

std::int32_t int32At(const char* pData)
{
    return qFromLittleEndian<qint32>(pData);
}

} // namespace

CHandleTracks* CHandleTracks::instance()
{
    // Kept until the process ends.
    static CHandleTracks* s_poInstance = new CHandleTracks();
    return s_poInstance;
}

CHandleTracks::CHandleTracks() : QObject(nullptr) {}

bool CHandleTracks::openTracks(COrlexGrid* poGrid)
{
    return loadInto(poGrid, true, nullptr);
}

bool CHandleTracks::updateTracks(COrlexGrid* poGrid, QString& strNames)
{
    return loadInto(poGrid, false, &strNames);
}

bool CHandleTracks::loadInto(COrlexGrid* poGrid, bool bOpening, QString* pstrNames)
{
    if (!poGrid)
        return false;
    m_strTrackFolder = poGrid->getPath() + QStringLiteral("/tracks");
    const QStringList lstNew = listTrackFiles();
    if (lstNew.isEmpty())
        return false;
    if (bOpening)
        m_lstKnownFiles = lstNew;
    const TrackSet* poSet = loadTracks(lstNew);
    if (!poSet)
        return false;
    poGrid->setTrackLines(*poSet);
    if (pstrNames)
        *pstrNames = lstNew.join(QLatin1Char(';'));
    return true;
}

QStringList CHandleTracks::listTrackFiles() const
{
    const QDir oFolder(platform::toNativePath(m_strTrackFolder));
    if (m_strTrackFolder.isEmpty() || !oFolder.exists())
        return QStringList();
    QStringList lstFiles;
    const QFileInfoList lstEntries = oFolder.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& oEntry : lstEntries) {
        const QString strSuffix = oEntry.completeSuffix();
        if (strSuffix != QLatin1String(s_szTrackSuffix) && strSuffix != QLatin1String(s_szCoverageSuffix))
            continue;
        if (!m_lstKnownFiles.contains(oEntry.absoluteFilePath()))
            lstFiles << oEntry.absoluteFilePath();
    }
    return lstFiles;
}

const TrackSet* CHandleTracks::loadTracks(const QStringList& lstPaths)
{
    m_poSet.reset();
    QStringList lstTracks;
    for (const QString& strPath : lstPaths) {
        // Coverage files are listed but not read.
        if (QFileInfo(strPath).suffix() == QLatin1String(s_szTrackSuffix))
            lstTracks << strPath;
    }
    m_poSet = std::make_unique<TrackSet>(static_cast<std::size_t>(lstTracks.size()));
    qint64 nBudget = MaxLoadPoints;
    for (int i = 0; i < lstTracks.size(); ++i) {
        if (!readTrackFile(lstTracks.at(i), (*m_poSet)[static_cast<std::size_t>(i)], nBudget))
            return nullptr;
    }
    return m_poSet.get();
}

bool CHandleTracks::readTrackFile(const QString& strPath, TrackRecord& oRecord, qint64& nBudget) const
{
    QFile oFile(strPath);
    if (!oFile.open(QIODevice::ReadOnly))
        return false;
    const qint64 nSize = oFile.size();
    const qint64 nInFile = nSize < HeaderSize ? 0 : (nSize - HeaderSize) / PointSize;
    const qint64 nWanted = std::min({nInFile, MaxTrackPoints, nBudget});
    if (nWanted < nInFile)
        qWarning().noquote() << QStringLiteral("CHandleTracks::loadTracks - %1 holds %2 points, %3 are kept")
                                    .arg(strPath)
                                    .arg(nInFile)
                                    .arg(nWanted);
    applyTrackColor(oRecord);
    oRecord.points.clear();
    oRecord.indices.clear();
    oRecord.secondaryPoints.clear();
    oRecord.segmentIndices.clear();
    const QString strFileName = QFileInfo(strPath).fileName();
    oRecord.name = strFileName.left(strFileName.size() - 1 - static_cast<int>(qstrlen(s_szTrackSuffix)))
                       .toLatin1()
                       .left(MaxNameBytes);

    const QByteArray baHeader = oFile.read(HeaderSize);
    if (baHeader.size() == HeaderSize) {
        oRecord.averageHeading = int32At(baHeader.constData() + 8);
        oRecord.averageSpeed = int32At(baHeader.constData() + 12);
    }
    // Read in bounded steps; a file that is shorter than its size said (still being written)
    // gives the whole records that arrived.
    oRecord.points.reserve(static_cast<std::size_t>(std::min(nWanted, PointsPerRead)) * 3);
    oRecord.indices.reserve(static_cast<std::size_t>(std::min(nWanted, PointsPerRead)));
    qint64 k = 0;
    while (k < nWanted) {
        const qint64 nAsked = std::min(nWanted - k, PointsPerRead);
        const QByteArray baPoints = oFile.read(nAsked * PointSize);
        const qint64 nRecords = baPoints.size() / PointSize;
        for (qint64 r = 0; r < nRecords; ++r, ++k) {
            const char* pPoint = baPoints.constData() + r * PointSize;
            const double dNorth = int32At(pPoint + 8) / 100.0;
            const double dEast = int32At(pPoint + 12) / 100.0;
            oRecord.indices.push_back(static_cast<std::int32_t>(k));
            if (k == 0) {
                oRecord.originNorth = dNorth;
                oRecord.originEast = dEast;
                oRecord.points.insert(oRecord.points.end(), {0.0f, 0.0f, 0.0f});
                continue;
            }
            oRecord.points.insert(oRecord.points.end(), {static_cast<float>(dEast - oRecord.originEast),
                                                         static_cast<float>(dNorth - oRecord.originNorth), 0.0f});
        }
        if (nRecords < nAsked)
            break;
    }
    nBudget -= k;
    return true;
}

void CHandleTracks::applyTrackColor(TrackRecord& oRecord) const
{
    const unsigned int nColour = CQaSurveyManager::instance()->getTrackLineColor();
    const float afColour[3] = {((nColour >> 16) & 0xFF) / 255.0f, ((nColour >> 8) & 0xFF) / 255.0f, (nColour & 0xFF) / 255.0f};
    for (int i = 0; i < 3; ++i) {
        oRecord.lineColour[i] = afColour[i];
        oRecord.secondColour[i] = afColour[i];
    }
    oRecord.originNorth = 0;
    oRecord.originEast = 0;
    std::fill(oRecord.points.begin(), oRecord.points.end(), 0.0f);
}

#include "TqelRuntime/HandleTracks.h"

#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "platform/paths.h"

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
    for (int i = 0; i < lstTracks.size(); ++i) {
        if (!readTrackFile(lstTracks.at(i), (*m_poSet)[static_cast<std::size_t>(i)]))
            return nullptr;
    }
    return m_poSet.get();
}

bool CHandleTracks::readTrackFile(const QString& strPath, TrackRecord& oRecord) const
{
    QFile oFile(strPath);
    if (!oFile.open(QIODevice::ReadOnly))
        return false;
    const qint64 nSize = oFile.size();
    const qint64 nPoints = nSize < HeaderSize ? 0 : (nSize - HeaderSize) / PointSize;
    applyTrackColor(oRecord);
    oRecord.points.assign(static_cast<std::size_t>(nPoints) * 3, 0.0f);
    oRecord.indices.resize(static_cast<std::size_t>(nPoints));
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
    for (qint64 k = 0; k < nPoints; ++k) {
        const QByteArray baPoint = oFile.read(PointSize);
        if (baPoint.size() != PointSize)
            return false;
        const double dNorth = int32At(baPoint.constData() + 8) / 100.0;
        const double dEast = int32At(baPoint.constData() + 12) / 100.0;
        const auto nIndex = static_cast<std::size_t>(k);
        oRecord.indices[nIndex] = static_cast<std::int32_t>(k);
        if (k == 0) {
            oRecord.originNorth = dNorth;
            oRecord.originEast = dEast;
            continue;
        }
        oRecord.points[nIndex * 3] = static_cast<float>(dEast - oRecord.originEast);
        oRecord.points[nIndex * 3 + 1] = static_cast<float>(dNorth - oRecord.originNorth);
    }
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

#include "Projection/Projection.h"

#include "Projection/ProjEngine.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtDebug>

using namespace projection_detail;

std::mutex projectionMutex;

namespace {

void warn(const std::string& strText)
{
    qWarning().noquote() << "CProjection:" << QString::fromStdString(strText);
}

// The value of the first "+name=value" word of a PROJ string, or an empty text.
QString projParameter(const QStringList& words, const QString& name)
{
    const QString prefix = QLatin1Char('+') + name + QLatin1Char('=');
    for (const QString& word : words) {
        if (word.startsWith(prefix))
            return word.mid(prefix.size());
    }
    return QString();
}

// The text after the first occurrence of 'key' in 'line'.
QByteArray after(const QByteArray& line, const char* key)
{
    return line.mid(line.indexOf(key) + static_cast<int>(qstrlen(key)));
}

// An older survey projection file is a few short lines.
constexpr qint64 kMaxOldFileSize = 64 * 1024;

} // namespace

CProjection* CProjection::instance()
{
    static CProjection* const s_poInstance = [] {
        auto* poProjection = new CProjection();
        poProjection->initFromProgramData();
        return poProjection;
    }();
    return s_poInstance;
}

CProjection::CProjection()
    : m_poEngine(std::make_unique<CProjEngine>(projectionMutex, &warn))
{
}

CProjection::~CProjection() = default;

int CProjection::initFromProgramData()
{
    const std::string path = dataFolderProjectionFile();
    if (!QFile::exists(QString::fromStdString(nativePath(path))))
        writeProjectionFile(path, "+proj=merc +units=cm +ellps=WGS84");
    projFile = path;
    readProjectionFile(projFile);
    return createTransformation();
}

bool CProjection::readProjectionFile(const std::string& path)
{
    return readProjectionLines(path, m_strSourceCrs, m_strTargetCrs);
}

int CProjection::createTransformation()
{
    return m_poEngine->createTransformation(m_strSourceCrs, m_strTargetCrs) ? 0 : -1;
}

bool CProjection::isValid() const
{
    return m_poEngine->isValid();
}

int CProjection::toProjected(double latitude, double longitude, double& north, double& east)
{
    return m_poEngine->toProjected(latitude, longitude, north, east, true);
}

int CProjection::toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes,
                                  double* norths, double* easts)
{
    return m_poEngine->toProjected(count, latitudes, longitudes, norths, easts, true);
}

CProjectionCopy::CProjectionCopy() : m_poEngine(std::make_unique<CProjEngine>(m_mutex, &warn))
{
}

CProjectionCopy::~CProjectionCopy() = default;

std::unique_ptr<CProjectionCopy> CProjectionCopy::create(const std::string& sourceCrs, const std::string& targetCrs)
{
    std::unique_ptr<CProjectionCopy> poCopy(new CProjectionCopy());
    if (!poCopy->m_poEngine->createTransformation(sourceCrs, targetCrs))
        return nullptr;
    return poCopy;
}

int CProjectionCopy::toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes,
                                      double* norths, double* easts)
{
    return m_poEngine->toProjected(count, latitudes, longitudes, norths, easts, true);
}

int CProjection::toGeographic(double north, double east, double& latitude, double& longitude)
{
    return m_poEngine->toGeographic(north, east, latitude, longitude, true);
}

int CProjection::toGeographic(double north, double east, double* latitude, double* longitude)
{
    double dLatitude = 0;
    double dLongitude = 0;
    const int nResult = toGeographic(north, east, dLatitude, dLongitude);
    if (latitude)
        *latitude = dLatitude;
    if (longitude)
        *longitude = dLongitude;
    return nResult;
}

std::string CProjection::epsgCode() const
{
    const QStringList words = QString::fromStdString(m_strTargetCrs).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString projection = projParameter(words, QStringLiteral("proj"));
    if (projection == QLatin1String("merc"))
        return "3395";
    if (projection != QLatin1String("utm"))
        return std::string();
    bool bNumber = false;
    const int nZone = projParameter(words, QStringLiteral("zone")).toInt(&bNumber);
    if (!bNumber || nZone < 1 || nZone > 60)
        return std::string();
    // PROJ takes a UTM zone as northern unless it is marked south.
    const bool bSouth = words.contains(QStringLiteral("+south"));
    return QStringLiteral("%1%2").arg(bSouth ? 327 : 326).arg(nZone, 2, 10, QLatin1Char('0')).toStdString();
}

namespace {

// A PROJ text as a CRS object: a "+proj" text names an operation unless it says "+type=crs".
PjPtr crsObject(PJ_CONTEXT* poContext, std::string strDefinition)
{
    const bool bProjText = strDefinition.find("+proj=") != std::string::npos;
    if (bProjText) {
        for (std::size_t nAt = strDefinition.find("+approx"); nAt != std::string::npos; nAt = strDefinition.find("+approx"))
            strDefinition.erase(nAt, 7);
        if (strDefinition.find("+type=crs") == std::string::npos)
            strDefinition += " +type=crs";
    }
    PjPtr poCrs(proj_create(poContext, strDefinition.c_str()));
    if (poCrs && !proj_is_crs(poCrs.get()))
        poCrs.reset();
    return poCrs;
}

} // namespace

bool sameCrs(const std::string& crsA, const std::string& crsB)
{
    std::string strLastMessage;
    const PjContextPtr poContext = createContext(&strLastMessage);
    if (!poContext)
        return false;
    const PjPtr poA = crsObject(poContext.get(), crsA);
    const PjPtr poB = crsObject(poContext.get(), crsB);
    // The program normalises every transformation for visualisation, so axis order is no difference.
    return poA && poB && proj_is_equivalent_to(poA.get(), poB.get(), PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
}

bool projectionFileMatches(const std::string& path, const std::string& sourceCrs, const std::string& targetCrs)
{
    std::string strSource, strTarget;
    if (!readProjectionLines(path, strSource, strTarget))
        return false;
    return sameCrs(strSource, sourceCrs) && sameCrs(strTarget, targetCrs);
}

bool convertProjectionFile(const std::string& oldFilePath)
{
    // The folder ends at the last separator of either kind ("C:\\Surveys\\S1//qel_proj.txt").
    std::string strFolder;
    const std::size_t nSeparator = oldFilePath.find_last_of("\\/");
    if (nSeparator != std::string::npos)
        strFolder = oldFilePath.substr(0, nSeparator + 1);

    QFile oldFile(QString::fromStdString(nativePath(oldFilePath)));
    if (!oldFile.open(QIODevice::ReadOnly) || oldFile.size() > kMaxOldFileSize) {
        warn("cannot read the older projection file \"" + oldFilePath + "\"; nothing converted");
        return false;
    }
    QList<QByteArray> lines = oldFile.readAll().split('\n');
    lines.removeFirst();

    QByteArray target = "+proj=";
    bool bSouth = false;
    for (QByteArray line : qAsConst(lines)) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains("proj="))
            target += after(line, "proj=");
        if (line.contains("zone="))
            target += " +zone=" + after(line, "zone=");
        bSouth = bSouth || line.contains("south");
    }
    target += bSouth ? " +south" : " +north";
    target += " +datum=WGS84 +units=cm";

    // A file PROJ refuses would stand in the survey folder for good and hide the older one.
    std::string strLastMessage;
    std::string strError;
    const PjContextPtr poContext = createContext(&strLastMessage);
    if (!createNormalisedTransformation(poContext.get(), &strLastMessage, kWgs84Crs, target.toStdString(), &strError)) {
        warn("older projection file \"" + oldFilePath + "\" gives \"" + target.toStdString()
             + "\", which PROJ refuses (" + strError + "); nothing converted");
        return false;
    }
    return writeProjectionFile(strFolder + projectionFileName, target.toStdString());
}

#include "Projection/QelProjection.h"

#include "Projection/ProjEngine.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QFile>
#include <QString>

using namespace projection_detail;

std::mutex runtimeProjectionMutex;

namespace {

void warn(const std::string& strText)
{
    LOG4CPLUS_WARN(log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime")),
                   LOG4CPLUS_TEXT("QelProj::CProjection: ") << LOG4CPLUS_STRING_TO_TSTRING(strText));
}

} // namespace

std::int32_t projectionFileHash(const std::string& path)
{
    QFile file(QString::fromStdString(nativePath(path)));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // FNV-1a in 32 bits with the low halves of the 64-bit offset basis and prime: the result is
    // the low 32 bits of the 64-bit hash.
    std::uint32_t nHash = 2216829733u;
    char buffer[16384];
    qint64 nRead = 0;
    while ((nRead = file.read(buffer, sizeof buffer)) > 0) {
        for (qint64 i = 0; i < nRead; ++i) {
            nHash ^= static_cast<unsigned char>(buffer[i]);
            nHash *= 435u;
        }
    }
    if (nRead < 0)
        return -1;
    return static_cast<std::int32_t>(nHash);
}

namespace QelProj {

CProjection::CProjection()
    : m_poEngine(std::make_unique<CProjEngine>(runtimeProjectionMutex, &warn))
{
    initFromProgramData();
}

CProjection::~CProjection() = default;

int CProjection::initFromProgramData()
{
    const std::string path = dataFolderProjectionFile();
    if (!QFile::exists(QString::fromStdString(nativePath(path))))
        writeProjectionFile(path, "+proj=merc +datum=WGS84 +units=cm");
    projFile = path;
    if (!readProjectionFile(projFile))
        return isValid() ? 0 : -1;
    return createTransformation();
}

bool CProjection::readProjectionFile(const std::string& path)
{
    const std::int32_t nHash = projectionFileHash(path);
    if (m_nFileHash != 0 && nHash == m_nFileHash)
        return false;
    m_nFileHash = nHash;
    readProjectionLines(path, m_strSourceCrs, m_strTargetCrs);
    return true;
}

bool CProjection::loadProjectionFile(const std::string& path)
{
    projFile = path;
    return readProjectionFile(projFile);
}

int CProjection::createTransformation()
{
    return m_poEngine->createTransformation(m_strSourceCrs, m_strTargetCrs) ? 0 : -1;
}

bool CProjection::isValid() const
{
    return m_poEngine->isValid();
}

int CProjection::toProjected(double latitude, double longitude, double& north, double& east, bool lock)
{
    return m_poEngine->toProjected(latitude, longitude, north, east, lock);
}

int CProjection::toGeographic(double north, double east, double& latitude, double& longitude)
{
    return m_poEngine->toGeographic(north, east, latitude, longitude, true);
}

int CProjection::toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes,
                                  double* norths, double* easts, bool lock)
{
    return m_poEngine->toProjected(count, latitudes, longitudes, norths, easts, lock);
}

} // namespace QelProj

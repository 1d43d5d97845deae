#include "Projection/ProjEngine.h"

#include "Projection/Projection.h"

#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace projection_detail {

namespace {

// Longest line a reader takes.
constexpr int kMaxLineLength = 511;

void keepLastMessage(void* pAppData, int /*nLevel*/, const char* pszMessage)
{
    if (pAppData && pszMessage)
        *static_cast<std::string*>(pAppData) = pszMessage;
}

// PROJ's own search path, after any folder given to a context.
const std::vector<std::string>& projDefaultSearchPaths()
{
    static const std::vector<std::string> s_paths = [] {
        std::vector<std::string> paths;
        const QString searchPath = QString::fromUtf8(proj_info().searchpath);
        for (const QString& path : searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts))
            paths.push_back(path.toStdString());
        return paths;
    }();
    return s_paths;
}

bool isFinite(double dA, double dB)
{
    return std::isfinite(dA) && std::isfinite(dB);
}

} // namespace

PjContextPtr createContext(std::string* pstrLastMessage)
{
    PjContextPtr poContext(proj_context_create());
    if (!poContext)
        return poContext;
    // The system's folder first; PROJ's own data keeps it working where that folder lacks proj.db.
    std::vector<std::string> paths{nativePath(kProjDataFolder)};
    const std::vector<std::string>& defaults = projDefaultSearchPaths();
    paths.insert(paths.end(), defaults.begin(), defaults.end());
    std::vector<const char*> pathPointers;
    for (const std::string& path : paths)
        pathPointers.push_back(path.c_str());
    proj_context_set_search_paths(poContext.get(), static_cast<int>(pathPointers.size()), pathPointers.data());
    proj_log_func(poContext.get(), pstrLastMessage, keepLastMessage);
    return poContext;
}

PjPtr createNormalisedTransformation(PJ_CONTEXT* poContext, std::string* pstrLastMessage,
                                     const std::string& strSource, const std::string& strTarget,
                                     std::string* pstrError)
{
    pstrLastMessage->clear();
    if (!poContext) {
        *pstrError = "no PROJ context";
        return nullptr;
    }
    PjPtr poPlain(proj_create_crs_to_crs(poContext, strSource.c_str(), strTarget.c_str(), nullptr));
    PjPtr poNormalised;
    if (poPlain)
        poNormalised.reset(proj_normalize_for_visualization(poContext, poPlain.get()));
    if (!poNormalised) {
        *pstrError = !pstrLastMessage->empty() ? *pstrLastMessage
                                               : proj_context_errno_string(poContext, proj_context_errno(poContext));
    }
    return poNormalised;
}

CProjEngine::CProjEngine(std::mutex& mutex, WarnFn fnWarn)
    : m_mutex(mutex)
    , m_fnWarn(fnWarn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_poContext = createContext(&m_strLastProjMessage);
}

bool CProjEngine::createTransformation(const std::string& strSource, const std::string& strTarget)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_poTransformation.reset();
    std::string strError;
    m_poTransformation = createNormalisedTransformation(m_poContext.get(), &m_strLastProjMessage,
                                                        strSource, strTarget, &strError);
    m_bValid = m_poTransformation != nullptr;
    m_bNoTransformationLogged = false;
    if (!m_bValid)
        m_fnWarn("cannot create the transformation from \"" + strSource + "\" to \"" + strTarget + "\": " + strError);
    return m_bValid;
}

bool CProjEngine::noTransformation()
{
    if (m_poTransformation)
        return false;
    if (!m_bNoTransformationLogged) {
        m_bNoTransformationLogged = true;
        m_fnWarn("no valid projection: conversions fail until a projection is set");
    }
    return true;
}

int CProjEngine::convert(PJ_DIRECTION eDirection, double dX, double dY, double& dOutX, double& dOutY)
{
    if (noTransformation()) {
        dOutX = dOutY = HUGE_VAL;
        return -1;
    }
    const PJ_COORD result = proj_trans(m_poTransformation.get(), eDirection, proj_coord(dX, dY, 0, 0));
    dOutX = result.v[0];
    dOutY = result.v[1];
    return isFinite(dOutX, dOutY) ? 0 : -1;
}

int CProjEngine::toProjected(double dLatitude, double dLongitude, double& dNorth, double& dEast, bool bLock)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    if (bLock)
        lock.lock();
    return convert(PJ_FWD, dLongitude, dLatitude, dEast, dNorth);
}

int CProjEngine::toGeographic(double dNorth, double dEast, double& dLatitude, double& dLongitude, bool bLock)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    if (bLock)
        lock.lock();
    return convert(PJ_INV, dEast, dNorth, dLongitude, dLatitude);
}

int CProjEngine::toProjected(std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes,
                             double* pdNorths, double* pdEasts, bool bLock)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
    if (bLock)
        lock.lock();
    if (noTransformation()) {
        std::fill(pdNorths, pdNorths + nCount, HUGE_VAL);
        std::fill(pdEasts, pdEasts + nCount, HUGE_VAL);
        return -1;
    }
    if (nCount == 0)
        return 0;
    if (pdEasts != pdLongitudes)
        std::copy(pdLongitudes, pdLongitudes + nCount, pdEasts);
    if (pdNorths != pdLatitudes)
        std::copy(pdLatitudes, pdLatitudes + nCount, pdNorths);
    proj_trans_generic(m_poTransformation.get(), PJ_FWD, pdEasts, sizeof(double), nCount, pdNorths,
                       sizeof(double), nCount, nullptr, 0, 0, nullptr, 0, 0);
    int nFailed = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        if (!isFinite(pdEasts[i], pdNorths[i])) {
            pdEasts[i] = pdNorths[i] = HUGE_VAL;
            ++nFailed;
        }
    }
    return nFailed;
}

std::string nativePath(const std::string& strPath)
{
    return platform::toNativePath(QString::fromStdString(strPath)).toStdString();
}

bool readProjectionLines(const std::string& strPath, std::string& strSource, std::string& strTarget)
{
    QFile file(QString::fromStdString(nativePath(strPath)));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Three lines of at most 511 characters and their ends fit well within this.
    const QByteArray data = file.read(4096);

    std::string lines[3];
    int nPos = 0;
    for (std::string& line : lines) {
        if (nPos < 0 || nPos >= data.size()) {
            nPos = -1; // the file ended early, or an earlier line was too long
            continue;
        }
        const int nEnd = data.indexOf('\n', nPos);
        QByteArray text = data.mid(nPos, nEnd < 0 ? -1 : nEnd - nPos);
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.size() > kMaxLineLength) {
            line.assign(text.constData(), kMaxLineLength);
            nPos = -1;
            continue;
        }
        line.assign(text.constData(), static_cast<std::size_t>(text.size()));
        nPos = nEnd < 0 ? data.size() : nEnd + 1;
    }
    strSource = lines[1];
    strTarget = lines[2];
    return true;
}

bool writeProjectionFile(const std::string& strPath, const std::string& strTarget)
{
    const QString path = QString::fromStdString(nativePath(strPath));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    text.append(kProjectionHeader).append("\r\n");
    text.append(kWgs84Crs).append("\r\n");
    text.append(strTarget.data(), static_cast<int>(strTarget.size())).append("\r\n");
    file.write(text);
    return file.commit();
}

std::string dataFolderProjectionFile()
{
    platform::ensureWindowsEnvironment();
    return (programDataPath() + QLatin1String(projectionFileName)).toStdString();
}

} // namespace projection_detail

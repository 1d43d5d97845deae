// Internal to the projection library: the PROJ context and transformation shared by both
// projection objects, and the projection file helpers.
#pragma once

#include <proj.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace projection_detail {

struct PjContextDeleter {
    void operator()(PJ_CONTEXT* poContext) const noexcept { proj_context_destroy(poContext); }
};
struct PjDeleter {
    void operator()(PJ* poPj) const noexcept { proj_destroy(poPj); }
};
using PjContextPtr = std::unique_ptr<PJ_CONTEXT, PjContextDeleter>;
using PjPtr = std::unique_ptr<PJ, PjDeleter>;

// Where the system keeps PROJ's data.
constexpr const char* kProjDataFolder = "C:\\ProgramData\\Tavrin Nautic\\tqel\\proj4";
constexpr const char* kProjectionHeader = "<QEL_Projection>";
constexpr const char* kWgs84Crs = "EPSG:4326";

// A PROJ context that searches the system's data folder first and PROJ's own data after it,
// and keeps PROJ's last log message in *pstrLastMessage (which must outlive the context).
PjContextPtr createContext(std::string* pstrLastMessage);

// The transformation from source to target CRS, normalised for visualisation (longitude
// first); null when PROJ refuses either text. *pstrError says why.
PjPtr createNormalisedTransformation(PJ_CONTEXT* poContext, std::string* pstrLastMessage,
                                     const std::string& strSource, const std::string& strTarget,
                                     std::string* pstrError);

// One PROJ context and the current transformation, guarded by the owner's mutex.
class CProjEngine {
public:
    using WarnFn = void (*)(const std::string& strText);

    CProjEngine(std::mutex& mutex, WarnFn fnWarn);
    CProjEngine(const CProjEngine&) = delete;
    CProjEngine& operator=(const CProjEngine&) = delete;

    // Replaces the transformation under the mutex; false (and none) when PROJ refuses.
    bool createTransformation(const std::string& strSource, const std::string& strTarget);
    bool isValid() const { return m_bValid; }

    // 0, or -1 (with infinite outputs) when there is no transformation or a result is not finite.
    int toProjected(double dLatitude, double dLongitude, double& dNorth, double& dEast, bool bLock);
    int toGeographic(double dNorth, double dEast, double& dLatitude, double& dLongitude, bool bLock);
    // Points that failed (infinite outputs), or -1 when there is no transformation.
    int toProjected(std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes,
                    double* pdNorths, double* pdEasts, bool bLock);

private:
    int convert(PJ_DIRECTION eDirection, double dX, double dY, double& dOutX, double& dOutY);
    bool noTransformation();

    std::mutex& m_mutex;
    WarnFn m_fnWarn;
    std::string m_strLastProjMessage;
    // Declared before the transformation, which must go first.
    PjContextPtr m_poContext;
    PjPtr m_poTransformation;
    bool m_bValid = false;
    bool m_bNoTransformationLogged = false;
};

// The native path of a path as the system writes it.
std::string nativePath(const std::string& strPath);

// Line 2 and line 3 of a projection file, at most 511 characters each; false, and both left
// as they were, when the file cannot be opened.
bool readProjectionLines(const std::string& strPath, std::string& strSource, std::string& strTarget);

// Writes the header, "EPSG:4326" and the target line, each ended by CR LF, creating the folder.
bool writeProjectionFile(const std::string& strPath, const std::string& strTarget);

// The data folder's projection file (ProgramData is set first where it is missing).
std::string dataFolderProjectionFile();

} // namespace projection_detail

// The runtime link's own projection object, used on the runtime thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace projection_detail {
class CProjEngine;
}

// Held around every PROJ call of QelProj::CProjection.
extern std::mutex runtimeProjectionMutex;

// The low 32 bits of the 64-bit FNV-1a hash of a file's bytes; -1 when it cannot be read.
std::int32_t projectionFileHash(const std::string& path);

namespace QelProj {

// Twin of the process-wide CProjection that skips projection files whose content is unchanged.
class CProjection {
public:
    CProjection();
    virtual ~CProjection();
    CProjection(const CProjection&) = delete;
    CProjection& operator=(const CProjection&) = delete;

    // Makes the data folder's projection file the current one, writing the Mercator default
    // where it is missing; 0 or -1.
    int initFromProgramData();
    // Takes the source and target CRS from the file unless its content hash is the one last
    // read; true when it was taken as a change (even when the file could not be opened).
    bool readProjectionFile(const std::string& path);
    // Stores path in projFile, then readProjectionFile.
    bool loadProjectionFile(const std::string& path);
    // 0 when the transformation from the source to the target CRS was made, -1 otherwise.
    int createTransformation();

    // Degrees to projected units and back; 0, or -1 with infinite outputs when there is no
    // transformation or PROJ cannot convert the point. With lock false the caller keeps
    // runtimeProjectionMutex.
    int toProjected(double latitude, double longitude, double& north, double& east, bool lock);
    int toGeographic(double north, double east, double& latitude, double& longitude);
    // Many points in one PROJ call; outputs may be the input arrays. The number of points that
    // failed (infinite outputs), or -1 when there is no transformation.
    int toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes,
                         double* norths, double* easts, bool lock);

    bool isValid() const;
    const std::string& sourceCrs() const { return m_strSourceCrs; }
    const std::string& targetCrs() const { return m_strTargetCrs; }
    std::int32_t fileHash() const { return m_nFileHash; }

    // The projection file last chosen.
    std::string projFile;

private:
    std::unique_ptr<projection_detail::CProjEngine> m_poEngine;
    std::string m_strSourceCrs;
    std::string m_strTargetCrs;
    std::int32_t m_nFileHash = 0;
};

} // namespace QelProj

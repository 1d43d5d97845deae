// The process-wide map projection: WGS 84 latitude and longitude to projected map units and back.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace projection_detail {
class CProjEngine;
}

// The current projection file's name, in the data folder and in each survey folder.
inline constexpr char projectionFileName[] = "qel_projv6.txt";

// Held around every PROJ call of CProjection.
extern std::mutex projectionMutex;

class CProjection {
public:
    // The one object, created on the first call from the data folder's projection file.
    static CProjection* instance();

    virtual ~CProjection();
    CProjection(const CProjection&) = delete;
    CProjection& operator=(const CProjection&) = delete;

    // Makes the data folder's projection file the current one, writing the Mercator default
    // where it is missing; 0 or -1.
    int initFromProgramData();
    // Takes the source and target CRS from a projection file; false (nothing changed) when the
    // file cannot be opened. The transformation follows only with createTransformation.
    bool readProjectionFile(const std::string& path);
    // 0 when the transformation from the source to the target CRS was made, -1 otherwise.
    int createTransformation();

    // Degrees to projected units (centimetres in every file the system writes); 0, or -1 with
    // infinite outputs when there is no transformation or PROJ cannot convert the point.
    int toProjected(double latitude, double longitude, double& north, double& east);
    int toGeographic(double north, double east, double& latitude, double& longitude);
    int toGeographic(double north, double east, double* latitude, double* longitude);
    // Many points under one lock; the outputs may be the inputs. The number of points that
    // failed (infinite outputs), or -1 when there is no transformation.
    int toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes, double* norths,
                         double* easts);

    // "3395" for Mercator, "326zz" or "327zz" for UTM north or south, else empty.
    std::string epsgCode() const;

    bool isValid() const;
    const std::string& sourceCrs() const { return m_strSourceCrs; }
    const std::string& targetCrs() const { return m_strTargetCrs; }

    // The projection file last chosen.
    std::string projFile;

protected:
    CProjection();

private:
    std::unique_ptr<projection_detail::CProjEngine> m_poEngine;
    std::string m_strSourceCrs;
    std::string m_strTargetCrs;
};

// A transformation of its own between two CRS, with its own PROJ context and lock: for batch
// work on a thread that should not wait for the process-wide object.
class CProjectionCopy {
public:
    // Null when PROJ refuses the pair.
    static std::unique_ptr<CProjectionCopy> create(const std::string& sourceCrs, const std::string& targetCrs);
    ~CProjectionCopy();
    CProjectionCopy(const CProjectionCopy&) = delete;
    CProjectionCopy& operator=(const CProjectionCopy&) = delete;

    // As CProjection::toProjectedBatch.
    int toProjectedBatch(std::size_t count, const double* latitudes, const double* longitudes, double* norths,
                         double* easts);

private:
    CProjectionCopy();
    std::mutex m_mutex;
    std::unique_ptr<projection_detail::CProjEngine> m_poEngine;
};

// True when PROJ finds both CRS definitions the same coordinate system, however they are
// written ("+approx" only picks PROJ's algorithm and is left out of the comparison); false
// when PROJ refuses either.
bool sameCrs(const std::string& crsA, const std::string& crsB);
// True when the projection file gives the same source and target CRS as these (sameCrs); false
// when it cannot be read.
bool projectionFileMatches(const std::string& path, const std::string& sourceCrs, const std::string& targetCrs);

// Writes "qel_projv6.txt" beside an older survey projection file ("qel_proj.txt"). Writes
// nothing and returns false when the older file cannot be read or PROJ would refuse the result.
bool convertProjectionFile(const std::string& oldFilePath);

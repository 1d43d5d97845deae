// Reference ellipsoids with the direct and inverse geodesic problems (Vincenty), geodetic and
// earth-centred cartesian coordinates, chord, line and horizon distances.
#pragma once

// A geodetic position: latitude and longitude in decimal degrees, height in metres.
class CPolarCoordinate {
public:
    CPolarCoordinate() = default;
    CPolarCoordinate(const CPolarCoordinate&) = default;
    CPolarCoordinate& operator=(const CPolarCoordinate&) = default;
    virtual ~CPolarCoordinate();

    double latitude() const { return m_dLatitude; }
    double longitude() const { return m_dLongitude; }
    double height() const { return m_dHeight; }
    void setLatitude(double dLatitude) { m_dLatitude = dLatitude; }
    void setLongitude(double dLongitude) { m_dLongitude = dLongitude; }
    void setHeight(double dHeight) { m_dHeight = dHeight; }
    void set(double dLatitude, double dLongitude, double dHeight)
    {
        m_dLatitude = dLatitude;
        m_dLongitude = dLongitude;
        m_dHeight = dHeight;
    }

private:
    double m_dLatitude = 0.0;
    double m_dLongitude = 0.0;
    double m_dHeight = 0.0;
};

// An earth-centred, earth-fixed point in metres. X, Y and Z sit where a CPolarCoordinate keeps
// latitude, longitude and height and are read through the same accessors; a CPolarCoordinate
// holding X, Y, Z converts implicitly, so CEarth's cartesian inputs take either class.
class CEarthCoordinate {
public:
    CEarthCoordinate() = default;
    CEarthCoordinate(const CEarthCoordinate&) = default;
    CEarthCoordinate& operator=(const CEarthCoordinate&) = default;
    CEarthCoordinate(const CPolarCoordinate& oValues) // NOLINT: implicit by design
        : m_dX(oValues.latitude()), m_dY(oValues.longitude()), m_dZ(oValues.height())
    {
    }
    virtual ~CEarthCoordinate();

    double latitude() const { return m_dX; }
    double longitude() const { return m_dY; }
    double height() const { return m_dZ; }
    void setLatitude(double dX) { m_dX = dX; }
    void setLongitude(double dY) { m_dY = dY; }
    void setHeight(double dZ) { m_dZ = dZ; }
    void set(double dX, double dY, double dZ)
    {
        m_dX = dX;
        m_dY = dY;
        m_dZ = dZ;
    }

    double x() const { return m_dX; }
    double y() const { return m_dY; }
    double z() const { return m_dZ; }

private:
    double m_dX = 0.0;
    double m_dY = 0.0;
    double m_dZ = 0.0;
};

// A reference ellipsoid by id (1 to 25 from the built-in table, 25 = WGS 84; 0 none; 26 custom
// axes) with the geodesic problems on it. Angles are decimal degrees, lengths metres.
// Where Vincenty's inverse iteration does not settle (nearly antipodal points) the inverse and
// direct problems are solved by Karney's method instead. On the empty ellipsoid (id 0), and for
// latitudes beyond the poles, the geodesic problems give NaN.
class CEarth {
public:
    enum { WGS84 = 25, CUSTOM = 26 };

    explicit CEarth(int nEllipsoidId = WGS84);
    CEarth(const CEarth&) = default;
    CEarth& operator=(const CEarth&) = default;
    virtual ~CEarth();

    // Reduces a chord between two heights to an arc on the ellipsoid, then the direct problem.
    virtual void directFromChord(const CPolarCoordinate& oStart, double dChord, double dAzimuth,
                                 CPolarCoordinate& oTarget, double dTargetHeight) const;
    // Sets the target's latitude and longitude (not normalised; height untouched); returns the
    // target longitude.
    virtual double direct(const CPolarCoordinate& oStart, double dDistance, double dAzimuth,
                          CPolarCoordinate& oTarget) const;
    virtual void directToCartesian(const CPolarCoordinate& oStart, double dDistance, double dAzimuth,
                                   CEarthCoordinate& oTarget) const;
    virtual void directFromCartesian(const CEarthCoordinate& oStart, double dDistance, double dAzimuth,
                                     CPolarCoordinate& oTarget) const;
    virtual void directCartesian(const CEarthCoordinate& oStart, double dDistance, double dAzimuth,
                                 CEarthCoordinate& oTarget) const;
    virtual void geodeticToCartesian(const CPolarCoordinate& oGeo, CEarthCoordinate& oCart) const;
    // Iterative; a point that does not settle (the earth's centre) gives NaN.
    virtual void cartesianToGeodetic(const CEarthCoordinate& oCart, CPolarCoordinate& oGeo) const;
    virtual double horizonDistance(const CPolarCoordinate& oGeo) const;
    virtual double horizonDistanceCartesian(const CEarthCoordinate& oCart) const;
    virtual double semiMajorAxis() const;
    virtual double semiMinorAxis() const;
    // Distance of P from the straight line through A and B; |PA| when A and B coincide.
    virtual double distanceToLine(const CEarthCoordinate& oP, const CEarthCoordinate& oA,
                                  const CEarthCoordinate& oB) const;
    virtual double chordDistance(const CPolarCoordinate& oGeo1, const CPolarCoordinate& oGeo2) const;
    virtual double chordDistanceCartesianGeodetic(const CEarthCoordinate& oCart, const CPolarCoordinate& oGeo) const;
    virtual double chordDistanceGeodeticCartesian(const CPolarCoordinate& oGeo, const CEarthCoordinate& oCart) const;
    virtual double cartesianDistance(const CEarthCoordinate& oCart1, const CEarthCoordinate& oCart2) const;
    // Geodesic distance from point 1 to point 2 (heights ignored); the forward azimuth at point 1
    // and the back azimuth at point 2 (towards point 1) in 0..360 where the pointers are set.
    // Identical points give 0 with the azimuths 0 and 180.
    virtual double inverse(const CPolarCoordinate& oGeo1, const CPolarCoordinate& oGeo2,
                           double* pdForwardAzimuth, double* pdBackAzimuth) const;
    virtual double inverseGeodeticCartesian(const CPolarCoordinate& oGeo, const CEarthCoordinate& oCart,
                                            double* pdForwardAzimuth, double* pdBackAzimuth) const;
    virtual double inverseCartesianGeodetic(const CEarthCoordinate& oCart, const CPolarCoordinate& oGeo,
                                            double* pdForwardAzimuth, double* pdBackAzimuth) const;
    virtual double inverseCartesian(const CEarthCoordinate& oCart1, const CEarthCoordinate& oCart2,
                                    double* pdForwardAzimuth, double* pdBackAzimuth) const;
    virtual void setEllipsoid(int nEllipsoidId);
    virtual void setAxes(double dSemiMajor, double dSemiMinor);
    virtual void setSemiMajorAndFlattening(double dSemiMajor, double dFlattening);

    double flattening() const { return m_dFlattening; }
    double eccentricitySquared() const { return m_dEccentricitySquared; }
    int ellipsoidId() const { return m_nEllipsoidId; }

private:
    bool hasGeodesics() const;
    void setFlatteningFromAxes();

    double m_dSemiMinor = 0.0;
    double m_dSemiMajor = 0.0;
    double m_dFlattening = 0.0;
    double m_dEccentricitySquared = 0.0;
    int m_nEllipsoidId = 0;
    double m_dTolerance = 0.0;
};

// Distance in whole centimetres (floor) and forward azimuth in degrees from point 1 to point 2
// on WGS 84. False, with the outputs untouched, when either position is not a finite number.
bool geodesicDistanceHeading(double dLatitude1, double dLongitude1, double dLatitude2, double dLongitude2,
                             int* pnDistance, float* pfHeading);

#include "OrlexViewer/CameraMath.h"

#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;

O::RotationData quaternionFromAxisAngle(float x, float y, float z, float fAngle)
{
    O::RotationData q; // identity
    const float s = x * x + y * y + z * z;
    if (s == 0.0f)
        return q;
    const float fRoot = std::sqrt(s);
    const float fSin = std::sin(fAngle / 2.0f);
    q.X = x / fRoot * fSin;
    q.Y = y / fRoot * fSin;
    q.Z = z / fRoot * fSin;
    q.W = std::cos(fAngle / 2.0f);
    const float fLength = std::sqrt(q.X * q.X + q.Y * q.Y + q.Z * q.Z + q.W * q.W);
    q.X /= fLength;
    q.Y /= fLength;
    q.Z /= fLength;
    q.W /= fLength;
    return q;
}

O::PositionData cameraFocusPoint(const O::CameraStateData& state)
{
    // The orientation comes from the server: a zero or non-finite quaternion counts as none.
    double qx = state.Orientation.X;
    double qy = state.Orientation.Y;
    double qz = state.Orientation.Z;
    double qw = state.Orientation.W;
    const double dLength = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
    if (!(dLength > 0.0) || !std::isfinite(dLength)) {
        qx = qy = qz = 0.0;
        qw = 1.0;
    } else {
        qx /= dLength;
        qy /= dLength;
        qz /= dLength;
        qw /= dLength;
    }
    // v' = v + 2w (u x v) + 2 u x (u x v), with v = (0, 0, -1) and u = (qx, qy, qz).
    const double cx = -qy, cy = qx; // u x v; its z is 0
    const double ccx = -qz * cy;     // u x (u x v), x and y
    const double ccy = qz * cx;
    const double dirX = 2.0 * qw * cx + 2.0 * ccx;
    const double dirY = 2.0 * qw * cy + 2.0 * ccy;
    O::PositionData p;
    p.X = state.Position.X + dirX * state.FocalDistance;
    p.Y = state.Position.Y + dirY * state.FocalDistance;
    p.Z = 0.0;
    return p;
}

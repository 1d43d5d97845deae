// Camera orientation helpers of the 3-D view.
#pragma once

#include "OrlexProtocol/Structs.h"

// The rotation about the axis (x, y, z) by fAngle radians; the identity for a zero axis.
::Tavrin::Dremm::Orlex::RotationData quaternionFromAxisAngle(float x, float y, float z, float fAngle);

// The point on the ground (Z 0) that the camera looks at: the view direction (0, 0, -1) turned
// by the orientation, FocalDistance long, from the camera position.
::Tavrin::Dremm::Orlex::PositionData cameraFocusPoint(const ::Tavrin::Dremm::Orlex::CameraStateData& state);

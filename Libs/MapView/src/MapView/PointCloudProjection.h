// The projection of the point-cloud read-back: a copy of a CRS pair for each thread that reads.
#pragma once

#include "MapView/PointCloudFiles.h"

#include <string>

namespace pointcloud {

// Projects with a transformation of the calling thread's own (made on its first call), so that
// the parts of a file are projected side by side; -1 for every call when PROJ refuses the pair.
Projector copiedProjection(const std::string& strSourceCrs, const std::string& strTargetCrs);

} // namespace pointcloud

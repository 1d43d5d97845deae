#include "MapView/PointCloudProjection.h"

#include "Projection/Projection.h"

#include <memory>

namespace pointcloud {

Projector copiedProjection(const std::string& strSourceCrs, const std::string& strTargetCrs)
{
    const std::string strKey = strSourceCrs + '\n' + strTargetCrs;
    return [strSourceCrs, strTargetCrs, strKey](std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes,
                                               double* pdNorths, double* pdEasts) {
        thread_local std::unique_ptr<CProjectionCopy> t_poCopy;
        thread_local std::string t_strKey;
        if (t_strKey != strKey) {
            t_poCopy = CProjectionCopy::create(strSourceCrs, strTargetCrs);
            t_strKey = strKey;
        }
        return t_poCopy ? t_poCopy->toProjectedBatch(nCount, pdLatitudes, pdLongitudes, pdNorths, pdEasts) : -1;
    };
}

} // namespace pointcloud

// The map view's side of the point-cloud hand-off: the selection's rectangle goes to the hand-off,
// its points to the controller's selected-points buffer and its texts to the status line.
#include "MapView/MapView2D.h"
#include "MapView/PointCloudHandOff.h"

#include "OrlexViewer/OrlexViewer.h"

#include <algorithm>

void CMapView2D::getPointsFromGrid(const std::vector<::Tavrin::Dremm::Orlex::PositionData>& points)
{
    if (points.empty())
        return;
    double dMinX = 99999999;
    double dMaxX = -99999999;
    double dMinY = 999999999;
    double dMaxY = -999999999;
    for (const auto& oPoint : points) {
        dMinX = std::min(dMinX, oPoint.X);
        dMaxX = std::max(dMaxX, oPoint.X);
        dMinY = std::min(dMinY, oPoint.Y);
        dMaxY = std::max(dMaxY, oPoint.Y);
    }
    auto* poHandOff = findChild<CPointCloudHandOff*>(QString(), Qt::FindDirectChildrenOnly);
    if (!poHandOff) {
        poHandOff = new CPointCloudHandOff(this);
        connect(poHandOff, &CPointCloudHandOff::statusText, this,
                [this](const QString& strText, int nDelay) { emit sigSetStatusText(strText, nDelay); });
        connect(poHandOff, &CPointCloudHandOff::pointsReady, this, [](const std::vector<double>& vPoints, bool bNewBuffer) {
            if (COrlexViewer* poViewer = COrlexViewer::existingInstance())
                poViewer->showPointData(vPoints, bNewBuffer);
        });
    }
    poHandOff->start(QRectF(QPointF(dMinX, dMinY), QPointF(dMaxX, dMaxY)));
}

// The files of the point-cloud hand-off: the coverage index read against a selection, the work
// files written for the generator and the generated point files read back.
#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <vector>

namespace pointcloud {

// Degrees to projected centimetres for many points; the outputs may be the inputs. The number
// of points that could not be converted (their outputs are not finite), or -1 for none at all.
using Projector = std::function<int(std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes,
                                    double* pdNorths, double* pdEasts)>;

// Whether the segment (x east, y north) meets the rectangle: crosses or touches its boundary,
// or lies inside it.
bool segmentMeetsRectangle(double dX1, double dY1, double dX2, double dY2, const QRectF& oRect);

enum class IndexVerdict { Matched, Unmatched, NotAnObject, EmptyObject };

// One coverage index file against the test rectangle (centimetres): the positions of each
// feature are taken in pairs (0-1, 2-3, ...) and each pair is one segment; the file matches on
// its first segment that meets the rectangle. A position that is not a pair of finite numbers,
// or that the projection cannot convert, makes no segment with its partner.
IndexVerdict testCoverageIndex(const QByteArray& baJson, const QRectF& oTestRect, const Projector& fnProject);

// The point limit from the MAXPOINTS text (null: unset): 1,000,000 to 20,000,000, else the
// default 10,000,000; strWarning is set when a value was refused.
int pointLimit(const char* szValue, QString* pstrWarning = nullptr);

// Reads the lines "latitude,longitude,height,..." of one generated file while nLinesRead is
// not above nLimit (counted over all files of a hand-off), projects them in batches (large files
// in parts on several threads, so the projector must be safe to call from them) and returns
// east and north in metres and the height, three values a point. An unreadable number reads as
// 0; a line with fewer than three fields counts as read but gives no point, and so does a point
// that the projection cannot convert.
std::vector<double> readPointFile(const QString& strNativePath, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject);
// The same for the text of a file.
std::vector<double> readPointText(const char* pText, std::size_t nSize, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject);
std::vector<double> readPointText(const QByteArray& baText, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject);

} // namespace pointcloud

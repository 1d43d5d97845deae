// The library's objects in the user-object database (connection "tvgpl").
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace orlex_objects {

struct StoredObject
{
    std::int64_t nRowId = 0;
    int nKind = 0;
    QString strName;
    QString strColor;
    int nWidth = 3;
    std::vector<float> points;
    QString strLink;
};

class ObjectStore
{
public:
    // The row id, 0 when the database cannot be written.
    std::int64_t insert(int nKind, const QString& strName, const QString& strColor, int nWidth,
                        const std::vector<float>& points, const QString& strLink);
    bool update(std::int64_t nRowId, const QString& strName, const QString& strColor,
                const std::vector<float>& points, const QString& strLink);
    bool remove(std::int64_t nRowId);
    // Rows whose points do not read back as pairs of numbers are left out.
    std::vector<StoredObject> readAll();
    bool isOpen();

private:
    // Opens the database (creating the file when missing) and its table once.
    bool ensureOpen();
    bool m_bTableReady = false;
};

} // namespace orlex_objects

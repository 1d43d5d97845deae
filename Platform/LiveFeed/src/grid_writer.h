// The survey's grid folder as the main station keeps it: projection file, grid index and
// elevation tiles (GeoTIFF, float) of the finest zMedian level, filled in as the swaths pass.
#pragma once

#include "survey.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace livefeed {

class GridWriter {
public:
    static constexpr int kLevel = 3;

    // 'folder' is the local path of the grid folder.
    GridWriter(QString folder, const Survey& survey, const UtmProjection& projection, double cellSize = 5.0,
               int tileCells = 64);

    // Projection file, grid index, the stand-in viewer's survey values and the tile folder.
    bool writeStatic(QString* error = nullptr);

    // Puts soundings into their cells (the newest value wins).
    void add(const std::vector<SwathPoint>& points);

    // Writes every tile changed since the last call; returns their local paths.
    QStringList flush(QString* error = nullptr);

    QString folder() const { return m_folder; }
    QString projectionFile() const;
    QString gridIndexFile() const;
    int tilesWritten() const { return m_tilesWritten; }
    std::size_t cellsFilled() const { return m_cellsFilled; }

    // The projection file's text.
    static QByteArray projectionText(const UtmProjection& projection);

private:
    struct Tile {
        std::vector<float> heights; // row 0 is the north edge; NaN where nothing was sounded
        bool dirty = false;
    };

    QString m_folder;
    const Survey& m_survey;
    const UtmProjection& m_projection;
    double m_cellSize;
    int m_tileCells;
    double m_originEast = 0, m_originNorth = 0; // south-west corner of tile (0, 0)
    std::map<std::pair<int, int>, Tile> m_tiles;
    int m_tilesWritten = 0;
    std::size_t m_cellsFilled = 0;

    QString tilePath(int column, int row) const;
    bool writeTile(const QString& path, int column, int row, const Tile& tile, QString* error) const;
};

} // namespace livefeed

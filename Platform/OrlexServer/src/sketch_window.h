// The stand-in's window: a top-down sketch of one viewer's scene, turned as the camera is: rasters
// at their extents, grid-engine terrains from their elevation tiles coloured by their colour map,
// point buffers, lines and polygons in their colours, the vessels, labels, overlay labels, legends
// and the camera centre. It draws at most a few frames a second, however fast messages come. The
// pointer and keys on it go to the viewer's Interaction; what that sends goes to 'sink'.
#pragma once

#include "interaction.h"

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace orlex_standin {

class Scene;
struct ColorMapSpec;

class SketchWindow : public QWidget {
public:
    using Sink = std::function<void(PointerEffects)>;
    SketchWindow(Scene& scene, std::int32_t viewerId, Sink sink = Sink());

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct Picture {
        qint64 modified = -1;
        QImage image;
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        std::vector<float> heights; // tiles: kept to colour again when the map changes
        std::string colouring;      // the colour map and range the image was made with
    };
    struct TerrainFolder {
        QElapsedTimer scanned;
        std::vector<std::string> tiles;
    };

    const Scene& m_scene;
    std::int32_t m_viewerId;
    Interaction m_interaction;
    Sink m_sink;
    QTimer* m_heldMove;
    QElapsedTimer m_clock;
    QTimer* m_refresh;
    QTimer* m_renderLater;
    QImage m_frame;           // the sketch as last drawn
    QElapsedTimer m_rendered; // when it was drawn
    std::map<std::string, Picture> m_rasters;
    std::map<std::string, Picture> m_tiles;
    std::map<std::string, TerrainFolder> m_terrains;

    void render();
    void apply(PointerEffects effects);
    void scheduleHeldMove();
    std::optional<double> heightAt(const SceneObject& terrain, double x, double y);
    const Picture* raster(const std::string& fileName);
    const Picture* tile(const std::string& localPath, const std::string& colouring, const ColorMapSpec& map,
                        double low, double high);
    const std::vector<std::string>& tilesOf(const std::string& terrainPath);
};

} // namespace orlex_standin

// The stand-in's window: a plain top-down sketch of one viewer's scene (objects as markers,
// lines and labels, the camera centre). It draws no terrain.
#pragma once

#include <QWidget>

#include <cstdint>

namespace orlex_standin {

class Scene;

class SketchWindow : public QWidget {
public:
    SketchWindow(const Scene& scene, std::int32_t viewerId);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Scene& m_scene;
    std::int32_t m_viewerId;
};

} // namespace orlex_standin

// User objects: the controller's side of the viewer object library.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexViewerPrivate.h"
#include "Projection/Projection.h"

#include "OrlexObjs.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <QVariant>

namespace {

// Application settings handed to the library.
constexpr int s_nAntiAliasingValue = 20;
constexpr int s_nQuadBufferEnable = 22;

} // namespace

void COrlexViewer::initObjects()
{
    if (m_pObjects)
        return;
    m_pObjects = std::make_shared<COrlexObjs>(nullptr);
    m_pObjects->setDispatcher(getDispatcher());
    m_pObjects->setProjection(CProjection::instance());
    QVariant vAntiAliasing;
    QVariant vQuadBuffer;
    if (CSettingsManager* pSettings = CSettingsManager::instance()) {
        pSettings->getValue(Application, s_nAntiAliasingValue, vAntiAliasing, false);
        pSettings->getValue(Application, s_nQuadBufferEnable, vQuadBuffer, false);
    }
    m_pObjects->m_strAntiAliasing = vAntiAliasing.toString();
    m_pObjects->m_bQuadBuffer = vQuadBuffer.toBool();
}

std::uint64_t COrlexViewer::addUserObject(bool)
{
    m_planPoints.clear();
    m_nNewObjectKind = -1;
    return 0;
}

void COrlexViewer::addDynamicObject(const QString&, const QString&) {}

void COrlexViewer::deleteUserObj() {}

void COrlexViewer::editUserObj() {}

void COrlexViewer::viewUserObj() {}

void COrlexViewer::loadGeoJson(const QString&) { initObjects(); }

void COrlexViewer::loadSavedPos() { initObjects(); }

void COrlexViewer::readObjectsFromDatabase() { initObjects(); }

void COrlexViewer::removeAllObjects() { initObjects(); }

void COrlexViewer::savePosition() {}

// Commands the main window gives the controller: background maps and user objects.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewerPrivate.h"

#include "OrlexQtClient/ObjectIdAllocator.h"

#include <QModelIndex>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::position;
using orlex_viewer_detail::viewerLogger;

namespace {

const char* const s_szRemoveBackgroundMap = "REMOVE";

// A command whose machinery (planning library, user-object library) this build
// does not have: it is logged, and nothing changes.
void notAvailable(const char* szCommand)
{
    LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::") << szCommand
                                       << LOG4CPLUS_TEXT(" - WARNING : not available in this build, nothing changed"));
}

} // namespace

void COrlexViewer::addTerrainFromJson(const QString& strText)
{
    if (strText == QLatin1String(s_szRemoveBackgroundMap)) {
        if (m_nBackgroundMapId == 0)
            return;
        O::DestroyObjectMessage message;
        message.Id = m_nBackgroundMapId;
        send(message);
        objectIdAllocator()->release(m_nBackgroundMapId);
        m_nBackgroundMapId = 0;
        return;
    }
    // An earlier background map stays in the view; only the newest one can be removed.
    O::CreateTerrainFromJsonMessage message;
    message.Id = objectIdAllocator()->allocate();
    message.Layer.set(std::string("MAPS"));
    message.PositionData = position(0, 0, -1000);
    message.TerrainDefinition = strText.toUtf8().toStdString();
    send(message);
    m_nBackgroundMapId = message.Id;
}

void COrlexViewer::readObjectsFromDatabase()
{
    notAvailable("readObjectsFromDatabase");
}

void COrlexViewer::loadSavedPos()
{
    notAvailable("loadSavedPos");
}

void COrlexViewer::removeAllObjects()
{
    notAvailable("removeAllObjects");
}

void COrlexViewer::loadGeoJson(const QString&)
{
    notAvailable("loadGeoJson");
}

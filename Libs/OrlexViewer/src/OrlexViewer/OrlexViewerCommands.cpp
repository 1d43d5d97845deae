// Commands the main window gives the controller: background maps.
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
        m_strBackgroundMap.clear();
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
    m_strBackgroundMap = strText;
}


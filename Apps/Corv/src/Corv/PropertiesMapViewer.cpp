#include "PropertiesMapViewer.h"

#include <iterator>

namespace {

const PropertyDescriptor s_aRows[] = {
    {PropertyType::Group, 16, 0, QT_TRANSLATE_NOOP("CAppPropertiesNode", "Overlay"),
     QT_TRANSLATE_NOOP("CAppPropertiesNode", "These settings affect the overlay in the map view."), nullptr, 0},
};

} // namespace

CPropertiesMapViewer::CPropertiesMapViewer(QString strName, QObject* poParent) : CAppPropertiesNode(strName, poParent)
{
    addPropertyTable(s_aRows, int(std::size(s_aRows)));
    collapseAll();
    init();
}

void CPropertiesMapViewer::addTvgplObjectType(QString strTypeName, int nTypeId)
{
    addSubSetting(16, 31, PropertyType::Bool, 16, nTypeId, strTypeName, strTypeName);
}

#include "PropertiesApplication.h"

#include "PropertiesRows.h"

#include <iterator>

namespace {

const PropertyRow s_aRows[] = {
    {PropertyType::Group, 2, 1, QT_TRANSLATE_NOOP("CPropertiesApplication", "General"),
     QT_TRANSLATE_NOOP("CPropertiesApplication", "General settings that apply to the application as a whole.")},
    {PropertyType::Bool, 2, 3, QT_TRANSLATE_NOOP("CPropertiesApplication", "Auto Save Layout"),
     QT_TRANSLATE_NOOP("CPropertiesApplication",
                       "Determines if the window layout is automatically saved to persistent storage when the application exits.")},
    {PropertyType::Bool, 2, 4, QT_TRANSLATE_NOOP("CPropertiesApplication", "Auto Load Settings"),
     QT_TRANSLATE_NOOP("CPropertiesApplication",
                       "Determines if the application settings are automatically loaded from persistent storage when the application starts.")},
    {PropertyType::Bool, 2, 5, QT_TRANSLATE_NOOP("CPropertiesApplication", "Auto Load Layout"),
     QT_TRANSLATE_NOOP("CPropertiesApplication",
                       "Determines if the window layout is automatically loaded from persistent storage when the application exits.")},
    {PropertyType::Int, 2, 9, QT_TRANSLATE_NOOP("CPropertiesApplication", "Length of Recent Survey List"),
     QT_TRANSLATE_NOOP("CPropertiesApplication", "Number of entries on the list of recently opened surveys.")},
};

} // namespace

CPropertiesApplication::CPropertiesApplication(QString strName, QObject* poParent)
    : CAppPropertiesNode(strName, poParent)
{
    addPropertyRows(this, "CPropertiesApplication", s_aRows, int(std::size(s_aRows)));
    collapseAll();
    init();
}

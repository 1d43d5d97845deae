#include "PropertiesLogging.h"

#include "PropertiesRows.h"

#include <iterator>

namespace {

const PropertyRow s_aRows[] = {
    {PropertyType::Bool, 8, 0, QT_TRANSLATE_NOOP("CPropertiesLogging", "Logging State"),
     QT_TRANSLATE_NOOP("CPropertiesLogging",
                       "Enable/Disable the logging service. \nDetermines if the logging service is enabled or disabled."),
     nullptr, 0, 1, 0, true},
    {PropertyType::String, 8, 1, QT_TRANSLATE_NOOP("CPropertiesLogging", "Log File Name"),
     QT_TRANSLATE_NOOP("CPropertiesLogging", "Name of log file (including). \nName and location of the application log file."),
     nullptr, 0, 1, 0, true},
    {PropertyType::Int, 8, 2, QT_TRANSLATE_NOOP("CPropertiesLogging", "Log File Size Max"),
     QT_TRANSLATE_NOOP("CPropertiesLogging",
                       "Maximum size of log file. When the log file reaches this size, a new log file will be started and the old file renamed with'.old'."),
     nullptr, 0, 1, 0, true},
};

} // namespace

CPropertiesLogging::CPropertiesLogging(QString strName, QObject* poParent) : CAppPropertiesNode(strName, poParent)
{
    addPropertyRows(this, "CPropertiesLogging", s_aRows, int(std::size(s_aRows)));
    collapseAll();
    init();
}

// The two machine-wide registry values the system reads, kept in "C:\ProgramData\registry.ini".
#pragma once

#include <QString>
#include <QVariant>

namespace platform {

// The value 'valueName' under the key path 'keyPath' (such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\T-Qel"): the INI group is the key path, the INI key the value
// name, both compared without case. A null QVariant when the file, group or value is absent.
QVariant machineRegistryValue(const QString& keyPath, const QString& valueName);

// The file that holds them, as a Windows path.
QString machineRegistryFile();

} // namespace platform

// The keys of "gui.ini" with their defaults, and the readers that write a value back.
#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace GuiIni {

inline const char* const GroupRuntime = "RUNTIME";
inline const char* const GroupGeneralDefs = "GENERAL_DEFS";
inline const char* const GroupRemoteSettings = "REMOTESETTINGS";

struct KeyInfo {
    const char* group;
    const char* key;
    QVariant defaultValue; // invalid where the default is the caller's (a token, none)
};

// Every key of the file the system reads or writes (the numbered StatusField_n keys aside).
const std::vector<KeyInfo>& keyTable();

// The table default of a key; an invalid QVariant for keys not listed or without a default.
QVariant defaultValue(const QString& group, const QString& key);

// The local path of the gui.ini in use: g_strGuiIniPath once filled, else guiIniPath().
QString localPath();

// Reads a key (a fresh QSettings each time); absent keys give 'fallback'.
QVariant value(const QString& group, const QString& key, const QVariant& fallback);
// The same with the table default as the fallback.
QVariant value(const QString& group, const QString& key);

// Writes a key and flushes the file; false when the file could not be written.
bool setValue(const QString& group, const QString& key, const QVariant& value);

// [RUNTIME] SendIP; "NOT_SET" (or absent) is replaced in the file by the local host's first
// IPv4 address, which is returned.
QString readSendIp();

// [RUNTIME] GRIDENGINE; 1, written to the file, when absent.
int readGridEngine();

// [REMOTESETTINGS] SENDFILE_QUARANTINE_SEC; 30, written to the file, when absent; 1 when
// present but not a number.
int readSendFileQuarantineSec();

// The first IPv4 address of this host's name; empty when it has none.
QString localHostFirstIPv4();

} // namespace GuiIni

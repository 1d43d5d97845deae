// Rules behind the main window's commands that stand without the window: the tools definition
// files, the command lines of the companion programs and the folders of remote survey grids.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One entry of a tools definition file (group [QXTools], "Item%1" = comma-separated fields).
struct ToolItem {
    int nItem = 0;          // the entry's number in its file, from 1
    QString strText;
    QString strStatusTip;   // empty in the data folder's file
    QString strCommand;     // as written in the file, not yet expanded
};

// The entries of a tools definition file, in file order. The working folder's file lists text,
// status tip and command (bWithStatusTip), the data folder's text and command; further fields
// are ignored. An entry without its command field is left out. A missing file, or one without
// [QXTools], gives no entries.
QList<ToolItem> readToolItems(const QString& strIniPath, bool bWithStatusTip);
// The number of entries a file announces (NumItems), limited to what a menu can hold.
int toolItemCount(const QString& strIniPath);

// A command that begins with a variable between percent signs: the variable's value, "/" and
// the command from its first "/" on (the whole command when it has none), made an absolute,
// clean path ("%TOOLROOT%/bin/tool.exe" with TOOLROOT "C:/tools" gives "C:/tools/bin/tool.exe").
// An unset variable counts as empty. Commands without "%" are returned as they are.
QString expandToolCommand(const QString& strCommand);

// How a tool is started: the program, its file name, the folder it runs in (the program's
// folder, else the current folder) and its one argument, a blank.
struct ToolLaunch {
    QString strProgram;
    QString strName;
    QString strFolder;
    QStringList lstArguments;
};
ToolLaunch toolLaunch(const QString& strCommand);

// The map configurator's program, relative to the working folder, and its arguments for a map
// source, the target projection's EPSG code and the view centre (projected centimetres,
// truncated toward zero).
QString mapConfiguratorProgram();
QStringList mapConfiguratorArguments(const QString& strSource, const QString& strEpsg, double dCenterX,
                                     double dCenterY);

// A name received from a peer that may become one folder of a path: not empty, not "." or "..",
// no separator, drive colon or control character.
bool isPlainFolderName(const QString& strName);

// The local copy of a remote survey's grid folder, "c:/qeldata/grids/<vessel>/<survey>", and its
// survey information file below "Terrain"; a null text when either name is not a plain folder
// name.
QString remoteGridFolder(const QString& strVessel, const QString& strSurvey);
QString remoteSurveyInfoFile(const QString& strVessel, const QString& strSurvey);

// The label of a ping-mode type: "EquiAng", "EquiDist", "HiDens", else "Unk".
QString pingModeLabel(int nType);

// The help page to open: the configured one (made absolute against the working folder) when it
// exists, else the page installed beside the program ("help/default.htm" in its folder), else "".
QString helpFile(const QString& strConfigured, const QString& strProgramFolder);

// The program as a user starts it: start-up, the event loop and shut-down.
#pragma once

#include <QString>
#include <QtGlobal>

class QPlainTextEdit;

// Starts the viewer server, shows the splash screen and the main window, runs the event loop and
// ends everything in order. 0 after the event loop; the process ends with 1 when the viewer
// server cannot be started.
int corvMain(int argc, char* argv[]);

// The process-wide Qt message handler: the Debug pane once the main window exists, debugger
// output before, and the "-logfile" file when there is one. Any thread.
void qtMessageHandler(QtMsgType eType, const QMessageLogContext& oContext, const QString& strMsg);

// The main window is built and Qt messages go to its Debug pane (none: they are dropped).
void setMessageTarget(QPlainTextEdit* poDebugText);
// Qt messages go to debugger output again.
void clearMessageTarget();

// The folder of the viewer server: ORLEXDIR when set to an existing path, else "..\Orlex\".
QString viewerServerFolder();

// Ends every viewer server of this user that serves the pipe name in this program's pipe folder.
void endViewerServers(const QString& strPipeName);

// Error reports of the 3-D viewer link: the end of the link is shown once where the operator
// looks (Output pane, status line; the map pane shows it itself) and written to the program's
// log; other reports are logged. A new viewer server ends that state.
#include "CorvMainWindow.h"

#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/LoggingManager.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QStatusBar>

void CMainWindow::connectViewerErrors(COrlexViewer* poViewer)
{
    if (!poViewer)
        return;
    connect(poViewer, &COrlexViewer::viewerError, this, &CMainWindow::onViewerError, Qt::UniqueConnection);
    connect(poViewer, &COrlexViewer::viewerRestarted, this, &CMainWindow::onViewerRestarted, Qt::UniqueConnection);
    connect(poViewer, &COrlexViewer::helpRequested, this, &CMainWindow::showHelp, Qt::UniqueConnection);
}

void CMainWindow::onViewerError(QString strMessage, int nCode)
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Qel5Main"));
    if (nCode != COrlexViewer::kLinkFailureCode) {
        QString strLine = tr("3-D viewer reports (%1): %2").arg(nCode).arg(strMessage);
        logMsg(strLine, 2);
        return;
    }
    // The link does not come back: one message, not one per report.
    if (m_bViewerLinkLost)
        return;
    m_bViewerLinkLost = true;
    QString strText = tr("The 3-D viewer has stopped; the map is not updated any more. Reason: %1").arg(strMessage);
    LOG4CPLUS_ERROR(oLogger, strText.toLocal8Bit().constData());
    if (CLoggingManager* poRouter = CLoggingManager::instance())
        poRouter->log(strText, 4, 1);
    statusBar()->showMessage(strText);
}

void CMainWindow::onViewerRestarted()
{
    m_bViewerLinkLost = false;
    const QString strText = tr("The 3-D viewer has been started again.");
    if (CLoggingManager* poRouter = CLoggingManager::instance())
        poRouter->log(strText, 1, 1);
    statusBar()->showMessage(strText, 5000);
}

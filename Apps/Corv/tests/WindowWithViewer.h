// The main window of a test process with the viewer-server stand-in it draws into and the logging
// both need: made in a suite's set-up, gone in its tear-down (the window first).
#pragma once

#include "CorvMainWindow.h"
#include "orlex_standin/control.h"
#include "platform/paths.h"
#include "test_scratch.h"

#include <log4cplus/initializer.h>

#include <QCoreApplication>
#include <QDir>

#include <memory>

namespace corvtest {

class WindowWithViewer {
public:
    // The test process as the program finds it: its own settings, data root and working folder
    // in the scratch folder, the program's organisation and application names.
    static bool prepareProcess()
    {
        prepareScratch();
        const QString strScratch = scratchDir();
        qputenv("XDG_CONFIG_HOME", (strScratch + QStringLiteral("/config")).toUtf8());
        platform::ensureWindowsEnvironment();
        QCoreApplication::setOrganizationName(QStringLiteral("Tavrin Nautic AS"));
        QCoreApplication::setApplicationName(QStringLiteral("T-Qel Corvane"));
        QDir().mkpath(strScratch + QStringLiteral("/work"));
        QDir().mkpath(platform::toNativePath(QStringLiteral("C:/Temp")));
        return QDir::setCurrent(strScratch + QStringLiteral("/work"));
    }

    // Starts the stand-in, then makes and shows the window; false when the stand-in did not start.
    bool start()
    {
        m_logging = std::make_unique<log4cplus::Initializer>();
        m_server = std::make_unique<orlex_standin::StandinProcess>();
        if (!m_server->start())
            return false;
        char program[] = "Corv";
        char* arguments[] = {program, nullptr};
        m_window = std::make_unique<CMainWindow>(1, arguments);
        m_window->show();
        return true;
    }

    CMainWindow* window() const { return m_window.get(); }
    orlex_standin::StandinProcess* server() const { return m_server.get(); }

private:
    // Destroyed bottom up: the window, then the server, then the logging.
    std::unique_ptr<log4cplus::Initializer> m_logging;
    std::unique_ptr<orlex_standin::StandinProcess> m_server;
    std::unique_ptr<CMainWindow> m_window;
};

} // namespace corvtest

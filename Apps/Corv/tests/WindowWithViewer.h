// The main window of a test process with the viewer-server stand-in it draws into and the logging
// both need: made in a suite's set-up, gone in its tear-down (the window first).
#pragma once

#include "CorvMainWindow.h"
#include "orlex_standin/control.h"

#include <log4cplus/initializer.h>

#include <memory>

namespace corvtest {

class WindowWithViewer {
public:
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

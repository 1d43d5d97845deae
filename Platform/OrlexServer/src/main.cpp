// A stand-in for the 3-D viewer server "Tavrin.Dremm.Orlex.exe": it speaks the viewer protocol on
// the pipe pair, keeps a simple scene, sketches it in a child window of the client's window and
// logs every message. It renders no terrain.
//
//   Tavrin.Dremm.Orlex.exe --PipeName=N [--PreferNvidia] [--ClientConnectTimeoutMs=T]
//
// Environment: ORLEX_STANDIN_LOG (JSON-lines log file), ORLEX_STANDIN_CONTROL (control socket
// path), DREMM_PIPE_DIR (pipe folder). Exit codes: see ExitCode in server.h.
#include "server.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

struct Arguments {
    orlex_standin::ServerOptions options;
    QString error;
};

Arguments parseArguments(int argc, char** argv)
{
    Arguments result;
    for (int n = 1; n < argc; ++n) {
        const QString arg = QString::fromLocal8Bit(argv[n]).trimmed();
        if (arg.startsWith(QLatin1String("--PipeName="))) {
            result.options.pipeName = arg.mid(11);
        } else if (arg.startsWith(QLatin1String("--ClientConnectTimeoutMs="))) {
            bool ok = false;
            const int ms = arg.mid(25).toInt(&ok);
            if (!ok || ms < 0)
                result.error = QStringLiteral("Bad --ClientConnectTimeoutMs: %1").arg(arg);
            else
                result.options.connectTimeout = std::chrono::milliseconds(ms);
        } else if (arg == QLatin1String("--PreferNvidia") || arg.isEmpty()) {
            // nothing to prefer here
        } else {
            std::fprintf(stderr, "Tavrin.Dremm.Orlex.exe stand-in: ignoring argument %s\n", argv[n]);
        }
    }
    if (result.options.pipeName.isEmpty() && result.error.isEmpty())
        result.error = QStringLiteral("Missing --PipeName=<name>");
    result.options.logPath = qEnvironmentVariable("ORLEX_STANDIN_LOG");
    result.options.controlPath = qEnvironmentVariable("ORLEX_STANDIN_CONTROL");
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = parseArguments(argc, argv);
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "Tavrin.Dremm.Orlex.exe stand-in: %s\n", qPrintable(arguments.error));
        return orlex_standin::kExitBadArguments;
    }
    // Without a display the server still answers, only without a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows are drawn with QPainter: no GLX, whose set-up alone can take seconds on a busy
    // machine while the client waits for its viewer.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    std::signal(SIGPIPE, SIG_IGN);

    // The client tries the pipes for a short while only and tests use the control socket at once;
    // connecting to the display and loading the platform plugin can take longer on a busy machine.
    orlex_standin::ServerSockets sockets;
    QString error;
    if (!orlex_standin::openServerSockets(arguments.options, &sockets, &error)) {
        std::fprintf(stderr, "Tavrin.Dremm.Orlex.exe stand-in: %s\n", qPrintable(error));
        return orlex_standin::kExitCannotListen;
    }

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return orlex_standin::kExitCannotListen;
    platform::UniqueFd signalRead(g_signalPipe[0]);
    platform::UniqueFd signalWrite(g_signalPipe[1]);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    orlex_standin::Server server(arguments.options);
    int exitCode = orlex_standin::kExitDone;
    QObject::connect(&server, &orlex_standin::Server::finished, &app, [&](int code) {
        exitCode = code;
        QMetaObject::invokeMethod(&app, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    });
    QSocketNotifier signalNotifier(signalRead.get(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &server,
                     [&] { server.stop(orlex_standin::kExitDone, QStringLiteral("ended by a signal")); });

    if (!server.start(std::move(sockets), &error)) {
        std::fprintf(stderr, "Tavrin.Dremm.Orlex.exe stand-in: %s\n", qPrintable(error));
        return orlex_standin::kExitCannotListen;
    }
    std::printf("listening %s\n", qPrintable(arguments.options.pipeName));
    std::fflush(stdout);
    app.exec();
    return exitCode;
}

// A companion program stand-in: records how it was started and ends at once.
//
// With CORV_COMPANION_LOG set, one line is appended to that file:
//   {"program":"<file name>","workingDirectory":"<folder>","arguments":["...",...]}
// Without it the same line goes to standard output.
//
// Built with CORV_COMPANION_SHOWS_MESSAGE (the error-message program), it then shows its first
// argument to the user in a message box when a display exists, and ends when the box is closed.
#include "companion_record.h"

#ifdef CORV_COMPANION_SHOWS_MESSAGE
#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <string>

namespace {

bool displayExists()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::string(platform) == "offscreen" || std::string(platform) == "minimal"))
        return false;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}

int showMessage(int argc, char* argv[])
{
    if (argc < 2 || QString::fromLocal8Bit(argv[1]).trimmed().isEmpty() || !displayExists())
        return 0;
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Corvane"), QString::fromLocal8Bit(argv[1]), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return 0;
}

} // namespace
#endif

int main(int argc, char* argv[])
{
    const bool recorded = companion::record(argc, argv);
#ifdef CORV_COMPANION_SHOWS_MESSAGE
    showMessage(argc, argv);
#endif
    return recorded ? 0 : 1;
}

// A companion program stand-in: records how it was started and ends at once (built with
// CORV_COMPANION_STAYS: runs on until it is ended by a signal).
//
// With CORV_COMPANION_LOG set, one line is appended to that file:
//   {"program":"<file name>","workingDirectory":"<folder>","arguments":["...",...]}
// Without it the same line goes to standard output.
//
// Built with CORV_COMPANION_SHOWS_MESSAGE (the error-message program), it then shows its first
// argument to the user in a message box when a display exists, and ends when the box is closed.
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#ifdef CORV_COMPANION_SHOWS_MESSAGE
#include <QApplication>
#include <QMessageBox>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string currentFolder()
{
    std::string folder(4096, '\0');
    if (!::getcwd(folder.data(), folder.size()))
        return std::string();
    folder.resize(std::char_traits<char>::length(folder.c_str()));
    return folder;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

#ifdef CORV_COMPANION_SHOWS_MESSAGE
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
#endif

bool record(int argc, char* argv[]);

} // namespace

int main(int argc, char* argv[])
{
    const bool recorded = record(argc, argv);
#ifdef CORV_COMPANION_SHOWS_MESSAGE
    showMessage(argc, argv);
#endif
#ifdef CORV_COMPANION_STAYS
    // Runs until it is ended, like the program it stands in for.
    for (;;)
        ::pause();
#endif
    return recorded ? 0 : 1;
}

namespace {

bool record(int argc, char* argv[])
{
    std::string line = "{\"program\":" + jsonString(baseName(argc > 0 ? argv[0] : ""));
    line += ",\"workingDirectory\":" + jsonString(currentFolder());
    line += ",\"arguments\":[";
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ',';
        line += jsonString(argv[i]);
    }
    line += "]}\n";

    const char* logPath = std::getenv("CORV_COMPANION_LOG");
    if (!logPath || !*logPath)
        return writeAll(STDOUT_FILENO, line);
    // One write of the whole line, appended: lines of programs started together stay whole.
    const platform::UniqueFd fd(::open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!fd) {
        std::perror(logPath);
        return false;
    }
    return writeAll(fd.get(), line);
}

} // namespace

#include "companion_record.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace companion {

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

} // namespace

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

} // namespace companion

// Stands in for the viewer server executable in launcher tests: reports its working folder and
// arguments on the socket named by FAKE_VIEWER_SOCKET, then waits to be ended. The socket closes
// when the process ends, which is how the test sees that.
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* path = std::getenv("FAKE_VIEWER_SOCKET");
    if (!path || std::strlen(path) >= sizeof(sockaddr_un{}.sun_path))
        return 2;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 3;
    char cwd[PATH_MAX] = {};
    std::string report = ::getcwd(cwd, sizeof cwd) ? cwd : "?";
    report += '\n';
    for (int n = 1; n < argc; ++n)
        report += std::string(argv[n]) + '\n';
    report += "END\n";
    for (std::size_t sent = 0; sent < report.size();) {
        const ssize_t n = ::write(fd, report.data() + sent, report.size() - sent);
        if (n <= 0)
            return 4;
        sent += static_cast<std::size_t>(n);
    }
    for (;;)
        ::pause();
}

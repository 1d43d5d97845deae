#include "platform/lock_file.h"

#include <fcntl.h>

#include <QFile>

namespace platform {

namespace {

bool setLock(int fd, short type, std::uint64_t offset, std::uint64_t length)
{
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    lock.l_pid = 0; // required for OFD locks
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

} // namespace

LockFile::LockFile(const QString& localPath)
    : m_fd(::open(QFile::encodeName(localPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666))
{
}

bool LockFile::tryLock(std::uint64_t offset, std::uint64_t length)
{
    return setLock(m_fd.get(), F_WRLCK, offset, length);
}

bool LockFile::unlock(std::uint64_t offset, std::uint64_t length)
{
    return setLock(m_fd.get(), F_UNLCK, offset, length);
}

} // namespace platform

// A file with byte-range locks that, like Windows' LockFile, keep apart both other processes
// and other threads of this one (open-file-description locks).
#pragma once

#include "platform/unique_fd.h"

#include <QString>

#include <cstdint>

namespace platform {

class LockFile {
public:
    // Opens (creating when missing) the file at a local path; see isOpen().
    explicit LockFile(const QString& localPath);

    bool isOpen() const { return m_fd.valid(); }

    // Locks [offset, offset + length) without waiting; false when someone else holds it.
    bool tryLock(std::uint64_t offset, std::uint64_t length);
    bool unlock(std::uint64_t offset, std::uint64_t length);

    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};

} // namespace platform

// The stand-in's log: one JSON object per line, numbered, written whole with one call.
#pragma once

#include "platform/unique_fd.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <mutex>

namespace orlex_standin {

class MessageLog {
public:
    // Appends to 'path'; an empty path logs nowhere (the records still get their numbers).
    explicit MessageLog(const QString& path);

    bool isOpen() const { return m_fd.valid(); }

    // Adds "seq" and "time" to the record, writes it and returns the number; its JSON line (with
    // the newline) goes to *line when given. Any thread.
    std::int64_t write(QJsonObject& record, QByteArray* line = nullptr);

private:
    platform::UniqueFd m_fd;
    std::mutex m_mutex;
    std::int64_t m_next = 1;
};

} // namespace orlex_standin

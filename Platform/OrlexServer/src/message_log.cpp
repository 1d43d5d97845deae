#include "message_log.h"

#include "platform/socket_io.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>

#include <chrono>

#include <fcntl.h>

namespace orlex_standin {

MessageLog::MessageLog(const QString& path)
{
    if (!path.isEmpty())
        m_fd.reset(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
}

std::int64_t MessageLog::write(QJsonObject& record, QByteArray* lineOut)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t seq = m_next++;
    record.insert(QStringLiteral("seq"), static_cast<double>(seq));
    record.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    // The steady clock in microseconds, comparable with other processes' on this machine.
    record.insert(QStringLiteral("monoUs"), static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now().time_since_epoch()).count()));
    if (m_fd || lineOut) {
        const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        if (lineOut)
            *lineOut = line;
        qint64 done = 0;
        while (m_fd && done < line.size()) {
            const ssize_t n = ::write(m_fd.get(), line.constData() + done, static_cast<std::size_t>(line.size() - done));
            if (n <= 0 && errno != EINTR)
                break;
            if (n > 0)
                done += n;
        }
    }
    return seq;
}

} // namespace orlex_standin

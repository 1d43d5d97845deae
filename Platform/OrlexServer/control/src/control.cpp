#include "orlex_standin/control.h"

#include "platform/pipes.h"
#include "platform/socket_io.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

#include <csignal>
#include <unistd.h>

namespace orlex_standin {

using namespace std::chrono_literals;

StandinProcess::StandinProcess()
    : StandinProcess(Options())
{
}

StandinProcess::StandinProcess(Options options)
    : m_options(std::move(options)), m_process(std::make_unique<QProcess>())
{
    const QString dir = platform::pipeDirectory();
    m_logPath = dir + QStringLiteral("/") + m_options.pipeName + QStringLiteral(".log");
    m_controlPath = dir + QStringLiteral("/") + m_options.pipeName + QStringLiteral(".control");
}

StandinProcess::~StandinProcess()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool StandinProcess::start(int timeoutMs)
{
    platform::ensurePipeDirectory();
    QFile::remove(m_logPath);
    QString program = m_options.program;
    if (program.isEmpty())
        program = qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Tavrin.Dremm.Orlex.exe");
    QStringList arguments{QStringLiteral("--PipeName=") + m_options.pipeName};
    if (m_options.connectTimeoutMs >= 0)
        arguments << QStringLiteral("--ClientConnectTimeoutMs=%1").arg(m_options.connectTimeoutMs);
    arguments << m_options.extraArguments;
    QProcessEnvironment environment = m_options.environment.value_or(QProcessEnvironment::systemEnvironment());
    environment.insert(QStringLiteral("ORLEX_STANDIN_LOG"), m_logPath);
    environment.insert(QStringLiteral("ORLEX_STANDIN_CONTROL"), m_controlPath);
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(timeoutMs))
        return false;
    // The server prints its "listening" line once the pipes and the control socket are up.
    QElapsedTimer timer;
    timer.start();
    while (!m_process->canReadLine()) {
        const int left = timeoutMs - static_cast<int>(timer.elapsed());
        if (left <= 0 || m_process->state() == QProcess::NotRunning || !m_process->waitForReadyRead(left))
            return m_process->canReadLine() && m_process->readLine().startsWith("listening");
    }
    return m_process->readLine().startsWith("listening");
}

qint64 StandinProcess::pid() const
{
    return m_process->processId();
}

void StandinProcess::terminate()
{
    m_process->terminate();
}

bool StandinProcess::waitForExit(int timeoutMs)
{
    return m_process->state() == QProcess::NotRunning || m_process->waitForFinished(timeoutMs);
}

int StandinProcess::exitCode() const
{
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

QString StandinProcess::errorOutput()
{
    return QString::fromLocal8Bit(m_process->readAllStandardError());
}

StandinControl::StandinControl() = default;

StandinControl::~StandinControl()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StandinControl::connectTo(const QString& controlPath)
{
    platform::UniqueFd fd = platform::connectSocket(controlPath);
    if (!fd)
        return false;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd.release();
    return true;
}

std::optional<QJsonObject> StandinControl::request(QJsonObject request, int timeoutMs)
{
    if (m_fd < 0)
        return std::nullopt;
    const qint64 id = m_nextId++;
    request.insert(QStringLiteral("id"), static_cast<double>(id));
    const QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    if (platform::writeAll(m_fd, line.constData(), static_cast<std::size_t>(line.size()), 5000ms).status != platform::IoStatus::Ok)
        return std::nullopt;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        int newline;
        while ((newline = m_buffer.indexOf('\n')) >= 0) {
            const QJsonObject reply = QJsonDocument::fromJson(m_buffer.left(newline)).object();
            m_buffer.remove(0, newline + 1);
            if (reply.value(QStringLiteral("id")).toDouble() == static_cast<double>(id))
                return reply; // replies to requests given up on before are passed over
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return std::nullopt;
        if (platform::readAvailable(m_fd, m_buffer, std::chrono::milliseconds(left)).status != platform::IoStatus::Ok)
            return std::nullopt;
    }
}

bool StandinControl::ok(const QJsonObject& r)
{
    const auto reply = request(r);
    return reply && reply->value(QStringLiteral("ok")).toBool();
}

bool StandinControl::send(const QString& type, const QJsonObject& messageBody)
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("send")}, {QStringLiteral("type"), type}, {QStringLiteral("body"), messageBody}});
}

bool StandinControl::sendRaw(const QByteArray& bytes)
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("sendRaw")}, {QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())}});
}

std::optional<QJsonObject> StandinControl::waitFor(const QString& dir, const QString& type, qint64 from, int timeoutMs,
                                                   const QString& contains)
{
    QJsonObject r{{QStringLiteral("cmd"), QStringLiteral("waitFor")},
                  {QStringLiteral("dir"), dir},
                  {QStringLiteral("from"), static_cast<double>(from)},
                  {QStringLiteral("timeoutMs"), timeoutMs}};
    if (!type.isEmpty())
        r.insert(QStringLiteral("type"), type);
    if (!contains.isEmpty())
        r.insert(QStringLiteral("contains"), contains);
    const auto reply = request(r, timeoutMs + 5000);
    if (!reply || !reply->value(QStringLiteral("ok")).toBool())
        return std::nullopt;
    return reply->value(QStringLiteral("entry")).toObject();
}

QJsonArray StandinControl::entries(const QString& dir, const QString& type, qint64 from)
{
    QJsonObject r{{QStringLiteral("cmd"), QStringLiteral("entries")}, {QStringLiteral("dir"), dir},
                  {QStringLiteral("from"), static_cast<double>(from)}};
    if (!type.isEmpty())
        r.insert(QStringLiteral("type"), type);
    const auto reply = request(r);
    return reply ? reply->value(QStringLiteral("entries")).toArray() : QJsonArray();
}

bool StandinControl::suppressReply(const QString& type)
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("rule")}, {QStringLiteral("type"), type}, {QStringLiteral("suppress"), true}});
}

bool StandinControl::delayReply(const QString& type, int ms)
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("rule")}, {QStringLiteral("type"), type}, {QStringLiteral("delayMs"), ms}});
}

bool StandinControl::clearRules()
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("clearRules")}});
}

bool StandinControl::stopReading()
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("stopReading")}});
}

bool StandinControl::resumeReading()
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("resumeReading")}});
}

bool StandinControl::closePipe(const QString& pipe)
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("close")}, {QStringLiteral("pipe"), pipe}});
}

QJsonObject StandinControl::state()
{
    const auto reply = request({{QStringLiteral("cmd"), QStringLiteral("state")}});
    return reply ? reply->value(QStringLiteral("state")).toObject() : QJsonObject();
}

bool StandinControl::exit()
{
    return ok({{QStringLiteral("cmd"), QStringLiteral("exit")}});
}

QList<QJsonObject> readLog(const QString& path)
{
    QList<QJsonObject> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            records.append(QJsonDocument::fromJson(line).object());
    }
    return records;
}

QString coreType(const char* shortName)
{
    return QStringLiteral("Tavrin.Dremm.Orlex.") + QLatin1String(shortName);
}

QString quennetType(const char* shortName)
{
    return QStringLiteral("Tavrin.Dremm.Orlex.Extensions.Quennet.") + QLatin1String(shortName);
}

QJsonObject field(int id, const QString& type, const QJsonValue& value)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("t"), type}, {QStringLiteral("v"), value}};
}

QJsonObject structField(int id, const QJsonArray& levels)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("t"), QStringLiteral("struct")}, {QStringLiteral("levels"), levels}};
}

QJsonObject listField(int id, const QString& elementType, const QJsonArray& elements)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("t"), QStringLiteral("list")}, {QStringLiteral("et"), elementType},
            {QStringLiteral("v"), elements}};
}

QJsonObject body(const QJsonArray& levels)
{
    return {{QStringLiteral("levels"), levels}};
}

} // namespace orlex_standin

#include "server.h"

#include "host_geometry.h"
#include "protocol.h"
#include "sketch_window.h"

#include "platform/socket_io.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orlex_standin {

using namespace std::chrono_literals;

namespace {

// Records kept for waitFor and entries: at most this many, and this much JSON text, so that the
// server's memory stays flat whatever the client sends.
constexpr std::size_t kHistoryLimit = 100000;
constexpr std::size_t kHistoryBytes = 16 * 1024 * 1024;
constexpr int kTerminateGraceMs = 2500;
constexpr int kGoneWindowErrorsMs = 2000;
constexpr std::size_t kReadChunk = 64 * 1024;
// The request pipe's reader: bytes per read, and bytes read and not yet taken by the event loop
// at which it waits.
constexpr std::size_t kInputReadBytes = 1024 * 1024;
constexpr std::size_t kInputHeldBytes = 16 * 1024 * 1024;

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

double steadyMicroseconds()
{
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

} // namespace

// The server-to-client pipe: a thread writes the queued messages in order, each with the time
// limit of the pipe layer, so that a client that stops reading never blocks the event loop.
class OutputPipe {
public:
    OutputPipe(platform::UniqueFd fd, std::function<void(const QString&)> onFailure)
        : m_fd(std::move(fd)), m_onFailure(std::move(onFailure)), m_thread([this] { run(); })
    {
    }

    ~OutputPipe() { close(); }

    int fd() const { return m_fd.get(); }

    void post(std::string bytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failed || m_closing)
            return;
        m_queue.push_back(std::move(bytes));
        m_wake.notify_all();
    }

    // Waits until everything queued is written or has failed, at most 'limit'.
    void drain(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idle.wait_for(lock, limit, [this] { return m_failed || (m_queue.empty() && !m_writing); });
    }

    void close()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
            m_wake.notify_all();
        }
        platform::wakeBlockedIo(m_fd.get());
        if (m_thread.joinable())
            m_thread.join();
        m_fd.reset();
    }

private:
    platform::UniqueFd m_fd;
    std::function<void(const QString&)> m_onFailure;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::string> m_queue;
    bool m_writing = false;
    bool m_failed = false;
    bool m_closing = false;
    std::thread m_thread;

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_closing)
                return;
            const std::string block = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing = true;
            lock.unlock();
            const platform::IoResult result = platform::writeAll(m_fd.get(), block.data(), block.size());
            lock.lock();
            m_writing = false;
            if (result.status != platform::IoStatus::Ok && !m_closing) {
                m_failed = true;
                m_queue.clear();
                const QString reason = result.status == platform::IoStatus::TimedOut ? QStringLiteral("timed out")
                                       : result.status == platform::IoStatus::Closed ? QStringLiteral("the client has gone")
                                                                                     : QString::fromLocal8Bit(std::strerror(result.error));
                m_onFailure(QStringLiteral("writing the Out pipe failed (%1) after %2 of %3 bytes; nothing more is sent")
                                .arg(reason).arg(result.bytes).arg(block.size()));
            }
            m_idle.notify_all();
        }
    }
};

// The request pipe: a thread reads it as soon as bytes arrive, so that logging and drawing on the
// event loop hold no read back; each piece keeps the time its read returned. The thread does not
// read while the control has stopped reading, nor while kInputHeldBytes wait to be taken.
class InputPipe {
public:
    struct Piece {
        QByteArray bytes;
        double readUs = 0;
    };
    struct End {
        platform::IoStatus status = platform::IoStatus::Closed;
        int error = 0;
    };

    // onInput is called on the reader thread when pieces (or the end) wait and were not
    // announced since the last take.
    InputPipe(platform::UniqueFd fd, bool reading, std::function<void()> onInput)
        : m_fd(std::move(fd)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_reading(reading),
          m_onInput(std::move(onInput)), m_thread([this] { run(); })
    {
    }

    ~InputPipe() { close(); }

    // Moves the pieces read so far to 'into'; true, with 'end', once the stream has ended after them.
    bool take(std::deque<Piece>& into, End& end)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool wasFull = m_held >= kInputHeldBytes;
        for (Piece& piece : m_pieces)
            into.push_back(std::move(piece));
        m_pieces.clear();
        m_held = 0;
        m_announced = false;
        end = m_end;
        if (wasFull)
            wake();
        return m_ended;
    }

    // No read starts once this returns with false.
    void setReading(bool reading)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reading = reading;
        wake();
    }

    void close()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
            wake();
        }
        if (m_thread.joinable())
            m_thread.join();
        m_fd.reset();
        m_wake.reset();
    }

private:
    platform::UniqueFd m_fd;
    platform::UniqueFd m_wake; // eventfd: the reader looks at its state again
    std::mutex m_mutex;
    std::deque<Piece> m_pieces;
    std::size_t m_held = 0;
    bool m_reading;
    bool m_announced = false;
    bool m_ended = false;
    End m_end;
    bool m_closing = false;
    std::function<void()> m_onInput;
    std::thread m_thread;

    void wake()
    {
        const std::uint64_t one = 1;
        if (::write(m_wake.get(), &one, sizeof one) < 0) {
            // Already signalled: the counter is full only when nobody reads it.
        }
    }

    bool mayRead() const { return m_reading && m_held < kInputHeldBytes && !m_ended && !m_closing; }

    void run()
    {
        for (;;) {
            bool watchInput = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_closing || m_ended)
                    return;
                watchInput = mayRead();
            }
            pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {watchInput ? m_fd.get() : -1, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                finish({platform::IoStatus::Failed, errno});
                return;
            }
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                if (::read(m_wake.get(), &count, sizeof count) < 0) {
                    // Nothing was signalled after all.
                }
            }
            if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!mayRead())
                continue;
            // Read under the lock, without waiting: setReading(false) is never overtaken.
            QByteArray bytes;
            const platform::IoResult result = platform::readAvailable(m_fd.get(), bytes, 0ms, kInputReadBytes);
            const double readUs = steadyMicroseconds();
            if (result.status == platform::IoStatus::TimedOut)
                continue;
            if (result.status == platform::IoStatus::Ok) {
                m_held += static_cast<std::size_t>(bytes.size());
                m_pieces.push_back({std::move(bytes), readUs});
            } else {
                m_ended = true;
                m_end = {result.status, result.error};
            }
            const bool announce = !m_announced;
            m_announced = true;
            lock.unlock();
            if (announce)
                m_onInput();
        }
    }

    void finish(End end)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ended = true;
            m_end = end;
            if (m_announced)
                return;
            m_announced = true;
        }
        m_onInput();
    }
};

void DeferredDelete::operator()(QObject* object) const
{
    if (auto* notifier = qobject_cast<QSocketNotifier*>(object))
        notifier->setEnabled(false);
    if (auto* timer = qobject_cast<QTimer*>(object))
        timer->stop();
    object->deleteLater();
}

struct Server::ControlClient {
    LaterPtr<QSocketNotifier> notifier; // goes before the descriptor it watches
    platform::UniqueFd fd;
    QByteArray buffer;
    ~ControlClient() { notifier.reset(); }
};

struct Server::Wait {
    ControlClient* client = nullptr;
    QJsonValue requestId;
    QJsonObject filter;
    LaterPtr<QTimer> timer;
};

Server::Server(ServerOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_log(m_options.logPath)
{
}

Server::~Server()
{
    stop(kExitDone, QStringLiteral("server object destroyed"));
}

bool openServerSockets(const ServerOptions& options, ServerSockets* sockets, QString* error)
{
    const QString& pipeName = options.pipeName;
    if (!platform::ensurePipeDirectory(error))
        return false;
    const QString inPath = platform::pipePath(pipeName);
    const QString outPath = platform::pipePath(pipeName + QStringLiteral("Out"));
    if (inPath.isEmpty() || outPath.isEmpty()) {
        if (error)
            *error = QStringLiteral("Bad pipe name \"%1\"").arg(pipeName);
        return false;
    }
    return sockets->in.listen(inPath, error) && sockets->out.listen(outPath, error)
        && (options.controlPath.isEmpty() || sockets->control.listen(options.controlPath, error));
}

bool Server::start(ServerSockets sockets, QString* error)
{
    if (!sockets.in.isListening() || !sockets.out.isListening()
        || (!m_options.controlPath.isEmpty() && !sockets.control.isListening())) {
        if (error)
            *error = QStringLiteral("The sockets of \"%1\" are not open").arg(m_options.pipeName);
        return false;
    }
    m_inListener = std::move(sockets.in);
    m_outListener = std::move(sockets.out);
    m_controlListener = std::move(sockets.control);
    const QString inPath = m_inListener.path();
    const QString outPath = m_outListener.path();

    m_inAccept = LaterPtr<QSocketNotifier>(new QSocketNotifier(m_inListener.fd(), QSocketNotifier::Read));
    connect(m_inAccept.get(), &QSocketNotifier::activated, this, [this] { onAccept(true); });
    m_outAccept = LaterPtr<QSocketNotifier>(new QSocketNotifier(m_outListener.fd(), QSocketNotifier::Read));
    connect(m_outAccept.get(), &QSocketNotifier::activated, this, [this] { onAccept(false); });
    if (m_controlListener.isListening()) {
        m_controlAccept = LaterPtr<QSocketNotifier>(new QSocketNotifier(m_controlListener.fd(), QSocketNotifier::Read));
        connect(m_controlAccept.get(), &QSocketNotifier::activated, this, &Server::onControlAccept);
    }
    m_cameraLogLater = new QTimer(this);
    m_cameraLogLater->setSingleShot(true);
    m_cameraLogLater->setInterval(100);
    connect(m_cameraLogLater, &QTimer::timeout, this, [this] {
        if (!m_stopped)
            logCameraChanges();
    });
    if (m_options.connectTimeout.count() >= 0) {
        m_connectTimer = new QTimer(this);
        m_connectTimer->setSingleShot(true);
        connect(m_connectTimer, &QTimer::timeout, this, [this] {
            if (!m_in || !m_out)
                stop(kExitNoClient, QStringLiteral("no client within %1 ms").arg(m_options.connectTimeout.count()));
        });
        m_connectTimer->start(static_cast<int>(m_options.connectTimeout.count()));
    }
    event(QStringLiteral("listening on %1 and %2 (platform %3)").arg(inPath, outPath, QGuiApplication::platformName()));
    return true;
}

void Server::stop(int exitCode, const QString& reason)
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_out)
        m_out->drain(1000ms);
    event(QStringLiteral("exit %1: %2").arg(exitCode).arg(reason));
    for (auto& wait : m_waits)
        if (wait->client)
            controlReply(wait->client, QJsonObject{{QStringLiteral("id"), wait->requestId}, {QStringLiteral("ok"), false},
                                                   {QStringLiteral("error"), QStringLiteral("the server has stopped")}});
    m_waits.clear();
    m_controlClients.clear();
    m_controlAccept.reset();
    m_controlListener.close();
    m_outHangup.reset();
    m_out.reset();
    m_in.reset();
    m_inAccept.reset();
    m_outAccept.reset();
    m_inListener.close();
    m_outListener.close();
    for (const auto& [id, window] : m_windows) {
        // The client may be gone with its windows: the errors of this destruction arrive later.
        ignoreWindowErrors(window->winId(), kGoneWindowErrorsMs);
        delete window;
    }
    m_windows.clear();
    emit finished(exitCode);
}

QJsonObject Server::record(QJsonObject entry)
{
    QByteArray line;
    m_log.write(entry, &line);
    m_historyBytes += static_cast<std::size_t>(line.size());
    m_history.push_back({Summary::of(entry, m_names), std::move(line)});
    while (m_history.size() > 1 && (m_history.size() > kHistoryLimit || m_historyBytes > kHistoryBytes)) {
        m_historyBytes -= static_cast<std::size_t>(m_history.front().line.size());
        m_history.pop_front();
    }
    checkWaits(entry);
    return entry;
}

void Server::event(const QString& what)
{
    record({{QStringLiteral("dir"), QStringLiteral("event")}, {QStringLiteral("text"), what}});
}

void Server::violation(const QString& what, const std::string& type, std::uint64_t offset)
{
    QJsonObject entry{{QStringLiteral("dir"), QStringLiteral("violation")},
                      {QStringLiteral("text"), what},
                      {QStringLiteral("offset"), static_cast<double>(offset)}};
    if (!type.empty())
        entry.insert(QStringLiteral("type"), text(type));
    record(entry);
}

void Server::onAccept(bool requestPipe)
{
    platform::PipeListener& listener = requestPipe ? m_inListener : m_outListener;
    platform::UniqueFd fd = listener.accept(0ms);
    if (!fd)
        return;
    const bool taken = requestPipe ? m_in || m_inClosedByControl : static_cast<bool>(m_out);
    if (taken) {
        event(QStringLiteral("a second client on %1 was turned away").arg(listener.path()));
        return;
    }
    event(QStringLiteral("client connected to %1").arg(listener.path()));
    if (requestPipe) {
        m_in = std::make_unique<InputPipe>(std::move(fd), !m_readingStopped, [this] {
            QMetaObject::invokeMethod(this, &Server::onInputReadable, Qt::QueuedConnection);
        });
    } else {
        m_out = std::make_unique<OutputPipe>(std::move(fd), [this](const QString& what) {
            QMetaObject::invokeMethod(this, [this, what] { event(what); }, Qt::QueuedConnection);
        });
        m_outHangup = LaterPtr<QSocketNotifier>(new QSocketNotifier(m_out->fd(), QSocketNotifier::Read));
        connect(m_outHangup.get(), &QSocketNotifier::activated, this, &Server::onOutputHangup);
    }
    if (m_in && m_out && m_connectTimer)
        m_connectTimer->stop();
}

void Server::onInputReadable()
{
    if (!m_in)
        return;
    std::deque<InputPipe::Piece> pieces;
    InputPipe::End end;
    const bool ended = m_in->take(pieces, end);
    for (InputPipe::Piece& piece : pieces) {
        if (m_stopped || !m_in)
            return;
        m_inBuffer.append(piece.bytes);
        // Messages completed by this piece were read then, however long logging them takes.
        m_inReadUs = piece.readUs;
        // A message still arriving is looked at again only once it can be whole.
        if (static_cast<std::size_t>(m_inBuffer.size()) >= m_inNeeded)
            processInput(false);
    }
    if (!ended || m_stopped || !m_in)
        return;
    processInput(true);
    if (end.status == platform::IoStatus::Closed)
        onClientGone(QStringLiteral("the client closed the request pipe"));
    else
        onClientGone(QStringLiteral("reading the request pipe failed: %1").arg(QString::fromLocal8Bit(std::strerror(end.error))));
}

void Server::onOutputHangup()
{
    if (!m_out)
        return;
    QByteArray junk;
    const platform::IoResult result = platform::readAvailable(m_out->fd(), junk, 0ms);
    if (result.status == platform::IoStatus::Ok) {
        violation(QStringLiteral("the client wrote %1 bytes into the Out pipe").arg(junk.size()), std::string(), 0);
        return;
    }
    if (result.status == platform::IoStatus::TimedOut)
        return;
    m_outHangup.reset();
    event(QStringLiteral("the client closed the Out pipe"));
    // Without reading, the end of the request pipe cannot be seen: the client counts as gone.
    if (!m_in || m_readingStopped)
        onClientGone(QStringLiteral("the client has gone"));
}

void Server::processInput(bool atEnd)
{
    const char* data = m_inBuffer.constData();
    const std::size_t size = static_cast<std::size_t>(m_inBuffer.size());
    std::size_t pos = 0;
    m_inNeeded = 0;
    while (pos < size && !m_stopped) {
        if (m_resyncing) {
            const std::size_t next = findHeaderStart(data, size, pos);
            m_skipped += next - pos;
            pos = next;
            if (pos >= size)
                break;
        }
        // Where the message ends is found without building its tree; it is decoded once, whole.
        DecodedMessage message = scanMessage(data + pos, size - pos);
        if (message.status == DecodedMessage::Status::NeedMore) {
            m_inNeeded = message.needed; // counted from pos, the buffer's front once pos is removed
            break;
        }
        if (message.status == DecodedMessage::Status::Complete)
            message = decodeMessage(data + pos, message.consumed);
        if (message.status == DecodedMessage::Status::Malformed) {
            if (!m_resyncing) {
                violation(text(message.error) + QStringLiteral("; looking for the next message header"), message.type,
                          m_streamOffset + pos);
                m_resyncing = true;
                m_skipped = 0;
            }
            ++m_skipped;
            ++pos;
            continue;
        }
        if (m_resyncing) {
            violation(QStringLiteral("%1 bytes outside any message were skipped").arg(m_skipped), std::string(),
                      m_streamOffset + pos);
            m_resyncing = false;
        }
        handleMessage(message, m_streamOffset + pos);
        pos += message.consumed;
    }
    if (m_stopped)
        return;
    m_inBuffer.remove(0, static_cast<int>(pos));
    m_streamOffset += pos;
    // Room a large message needed is given back once it is handled.
    if (m_inBuffer.capacity() > static_cast<int>(4 * kReadChunk) && m_inBuffer.size() < m_inBuffer.capacity() / 4)
        m_inBuffer.squeeze();
    if (atEnd && (!m_inBuffer.isEmpty() || m_resyncing)) {
        violation(QStringLiteral("the stream ended inside a message (%1 bytes%2)")
                      .arg(m_inBuffer.size())
                      .arg(m_resyncing ? QStringLiteral(", %1 skipped before").arg(m_skipped) : QString()),
                  decodeMessage(m_inBuffer.constData(), static_cast<std::size_t>(m_inBuffer.size())).type, m_streamOffset);
        m_inBuffer.clear();
    }
}

void Server::handleMessage(const DecodedMessage& message, std::uint64_t offset)
{
    const std::string& type = message.type;
    QJsonObject entry{{QStringLiteral("dir"), QStringLiteral("in")},
                      {QStringLiteral("type"), text(type)},
                      {QStringLiteral("length"), static_cast<double>(message.consumed)},
                      {QStringLiteral("offset"), static_cast<double>(offset)},
                      {QStringLiteral("readUs"), m_inReadUs},
                      {QStringLiteral("body"), structToJson(message.body)}};
    if (message.header.levels.size() != 1 || message.header.levels.front().size() != 1)
        entry.insert(QStringLiteral("header"), structToJson(message.header));
    record(entry);

    for (const std::string& note : message.notes)
        violation(text(note), type, offset);
    const std::optional<int> parts = clientBaseParts(type);
    if (!parts)
        violation(QStringLiteral("a message type the client never sends"), type, offset);
    else if (message.body.levels.size() != static_cast<std::size_t>(*parts) + 1)
        violation(QStringLiteral("a body of %1 base parts where the type has %2").arg(message.body.levels.size() - 1).arg(*parts),
                  type, offset);
    if (!m_sawMessage) {
        m_sawMessage = true;
        if (type != std::string(kCore) + "OrlexVersionMessage")
            violation(QStringLiteral("the first message is not OrlexVersionMessage"), type, offset);
    }

    const Effects fx = m_scene.handle(type, message.body);
    for (const std::string& warning : fx.warnings)
        record({{QStringLiteral("dir"), QStringLiteral("scene")}, {QStringLiteral("type"), text(type)}, {QStringLiteral("text"), text(warning)}});
    for (std::int32_t viewerId : fx.viewersCreated)
        createWindow(viewerId);
    for (std::int32_t viewerId : fx.viewersDestroyed)
        destroyWindow(viewerId);
    for (const Reply& reply : fx.replies)
        sendReply(reply);
    if (fx.terminate && !m_terminateTimer) {
        m_terminateTimer = new QTimer(this);
        m_terminateTimer->setSingleShot(true);
        connect(m_terminateTimer, &QTimer::timeout, this, [this] { stop(kExitDone, QStringLiteral("terminated")); });
        m_terminateTimer->start(kTerminateGraceMs);
    }
    logCameraChanges();
    for (const auto& [id, viewer] : m_scene.viewers()) {
        const auto window = m_windows.find(id);
        if (window != m_windows.end() && viewer.width > 0 && viewer.height > 0
            && (window->second->width() != viewer.width || window->second->height() != viewer.height))
            if (!resizeInPlace(window->second->winId(), QSize(viewer.width, viewer.height)))
                window->second->resize(viewer.width, viewer.height);
    }
    repaintWindows();
}

void Server::logCameraChanges()
{
    for (auto it = m_loggedCameras.begin(); it != m_loggedCameras.end();)
        it = m_scene.viewers().count(it->first) ? std::next(it) : m_loggedCameras.erase(it);
    for (const auto& [id, viewer] : m_scene.viewers()) {
        const Camera& camera = viewer.camera;
        const QString text = QStringLiteral("viewer %1: camera centre %2 / %3, %4 m high")
                                 .arg(id)
                                 .arg(camera.position[0], 0, 'f', 1)
                                 .arg(camera.position[1], 0, 'f', 1)
                                 .arg(camera.viewportHeight, 0, 'f', 1);
        QString& logged = m_loggedCameras[id];
        if (logged != text) {
            logged = text;
            event(text);
        }
    }
}

void Server::onClientGone(const QString& reason)
{
    stop(kExitDone, reason);
}

void Server::createWindow(std::int32_t viewerId)
{
    const Viewer& viewer = m_scene.viewers().at(viewerId);
    if (QGuiApplication::platformName() != QLatin1String("xcb") || viewer.windowHandle == 0) {
        event(QStringLiteral("viewer %1 has no window (platform %2, handle %3)")
                  .arg(viewerId).arg(QGuiApplication::platformName()).arg(viewer.windowHandle));
        return;
    }
    QWindow* host = QWindow::fromWinId(static_cast<WId>(viewer.windowHandle));
    if (!host) {
        event(QStringLiteral("viewer %1: the window handle %2 cannot be used").arg(viewerId).arg(viewer.windowHandle));
        return;
    }
    auto* window = new SketchWindow(m_scene, viewerId, [this](PointerEffects effects) {
        if (m_stopped)
            return;
        for (const Reply& message : effects.messages)
            sendBytes(encodeMessage(message.type, message.body));
        if (effects.cameraChanged && !m_cameraLogLater->isActive())
            m_cameraLogLater->start(); // a drag is logged where it rests, not at every step
    });
    window->winId();
    window->windowHandle()->setParent(host);
    QSize size = viewer.width > 0 && viewer.height > 0 ? QSize(viewer.width, viewer.height)
                                                       : hostWindowSize(static_cast<WId>(viewer.windowHandle));
    if (size.isEmpty())
        size = QSize(640, 480);
    window->setGeometry(0, 0, size.width(), size.height());
    ignoreWindowErrorsWhile(window->winId(), window);
    ignoreForeignWindowErrors();
    window->show();
    QGuiApplication::sync(); // the client looks for the window as soon as the reply arrives
    m_windows[viewerId] = window;
    event(QStringLiteral("viewer %1: window 0x%2 of %4 x %5 created in 0x%3")
              .arg(viewerId).arg(window->winId(), 0, 16).arg(static_cast<quint64>(viewer.windowHandle), 0, 16)
              .arg(window->width()).arg(window->height()));
}

void Server::destroyWindow(std::int32_t viewerId)
{
    const auto found = m_windows.find(viewerId);
    if (found == m_windows.end())
        return;
    // X destroys the window with a parent of the client's: Qt's unmap and destroy of it then fail.
    const WId native = found->second->winId();
    QWindow* host = found->second->windowHandle() ? found->second->windowHandle()->parent() : nullptr;
    ignoreWindowErrors(native, kGoneWindowErrorsMs);
    if (!windowExists(native)) {
        event(QStringLiteral("viewer %1: window 0x%2 was already destroyed with its host")
                  .arg(viewerId).arg(native, 0, 16));
    }
    // The client's window it was made in goes too: Qt would go on asking about it once it is gone.
    delete found->second;
    delete host;
    m_windows.erase(found);
    QGuiApplication::sync();
}

void Server::repaintWindows()
{
    for (const auto& [id, window] : m_windows)
        window->update();
}

void Server::sendReply(const Reply& reply)
{
    const auto rule = m_rules.find(reply.type);
    if (rule != m_rules.end() && rule->second.suppress) {
        event(QStringLiteral("reply %1 suppressed by a rule").arg(text(reply.type)));
        return;
    }
    const std::string bytes = encodeMessage(reply.type, reply.body);
    if (rule != m_rules.end() && rule->second.delayMs > 0) {
        QTimer::singleShot(rule->second.delayMs, this, [this, bytes] {
            if (!m_stopped)
                sendBytes(bytes);
        });
        return;
    }
    sendBytes(bytes);
}

bool Server::sendBytes(const std::string& bytes)
{
    // Log what goes out as the stand-in's own reader sees it.
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const DecodedMessage message = decodeMessage(bytes.data() + pos, bytes.size() - pos);
        if (message.status != DecodedMessage::Status::Complete) {
            record({{QStringLiteral("dir"), QStringLiteral("out")},
                    {QStringLiteral("length"), static_cast<double>(bytes.size() - pos)},
                    {QStringLiteral("hex"), QString::fromLatin1(QByteArray::fromStdString(bytes.substr(pos)).toHex())}});
            break;
        }
        record({{QStringLiteral("dir"), QStringLiteral("out")},
                {QStringLiteral("type"), text(message.type)},
                {QStringLiteral("length"), static_cast<double>(message.consumed)},
                {QStringLiteral("body"), structToJson(message.body)}});
        pos += message.consumed;
    }
    if (!m_out) {
        event(QStringLiteral("nothing sent: no client reads the Out pipe"));
        return false;
    }
    m_out->post(bytes);
    return true;
}

void Server::closeInput()
{
    m_in.reset();
    m_inClosedByControl = true;
    event(QStringLiteral("request pipe closed by the control"));
}

void Server::closeOutput()
{
    m_outHangup.reset();
    m_out.reset();
    event(QStringLiteral("Out pipe closed by the control"));
}

void Server::onControlAccept()
{
    platform::UniqueFd fd = m_controlListener.accept(0ms);
    if (!fd)
        return;
    auto client = std::make_unique<ControlClient>();
    client->fd = std::move(fd);
    client->notifier = LaterPtr<QSocketNotifier>(new QSocketNotifier(client->fd.get(), QSocketNotifier::Read));
    ControlClient* raw = client.get();
    connect(client->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { onControlReadable(raw); });
    m_controlClients.push_back(std::move(client));
}

void Server::onControlReadable(ControlClient* client)
{
    const platform::IoResult result = platform::readAvailable(client->fd.get(), client->buffer, 0ms);
    if (result.status == platform::IoStatus::TimedOut)
        return;
    if (result.status != platform::IoStatus::Ok || client->buffer.size() > (16 << 20)) {
        dropControlClient(client);
        return;
    }
    int newline;
    while ((newline = client->buffer.indexOf('\n')) >= 0 && !m_stopped) {
        const QByteArray line = client->buffer.left(newline);
        client->buffer.remove(0, newline + 1);
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
        if (!document.isObject()) {
            controlReply(client, {{QStringLiteral("ok"), false},
                                  {QStringLiteral("error"), QStringLiteral("not a JSON object: %1").arg(parseError.errorString())}});
            continue;
        }
        bool deferred = false;
        QJsonObject reply = handleControl(client, document.object(), deferred);
        if (!deferred) {
            reply.insert(QStringLiteral("id"), document.object().value(QStringLiteral("id")));
            controlReply(client, reply);
        }
    }
}

void Server::dropControlClient(ControlClient* client)
{
    m_waits.remove_if([client](const std::unique_ptr<Wait>& wait) { return wait->client == client; });
    for (auto it = m_controlClients.begin(); it != m_controlClients.end(); ++it) {
        if (it->get() == client) {
            m_controlClients.erase(it);
            return;
        }
    }
}

void Server::controlReply(ControlClient* client, QJsonObject reply)
{
    const QByteArray line = QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n';
    if (platform::writeAll(client->fd.get(), line.constData(), static_cast<std::size_t>(line.size()), 5000ms).status
        != platform::IoStatus::Ok)
        client->notifier->setEnabled(false); // dropped when it reads as closed
}

Server::Summary Server::Summary::of(const QJsonObject& entry, QSet<QString>& names)
{
    // The set stays small whatever names a client makes up.
    auto shared = [&names](const QString& name) {
        const auto found = names.constFind(name);
        if (found != names.constEnd())
            return *found;
        return names.size() < 1024 ? *names.insert(name) : name;
    };
    const QJsonValue type = entry.value(QStringLiteral("type"));
    return {shared(entry.value(QStringLiteral("dir")).toString()), entry.value(QStringLiteral("seq")).toDouble(),
            type.isString() ? std::optional<QString>(shared(type.toString())) : std::nullopt,
            entry.value(QStringLiteral("text")).toString()};
}

bool Server::matches(const Summary& entry, const QJsonObject& filter)
{
    const QString dir = filter.value(QStringLiteral("dir")).toString(QStringLiteral("in"));
    if (entry.dir != dir)
        return false;
    if (entry.seq < filter.value(QStringLiteral("from")).toDouble(0))
        return false;
    if (filter.contains(QStringLiteral("type"))
        && (!entry.type || !filter.value(QStringLiteral("type")).isString()
            || *entry.type != filter.value(QStringLiteral("type")).toString()))
        return false;
    if (filter.contains(QStringLiteral("contains"))
        && !entry.text.contains(filter.value(QStringLiteral("contains")).toString()))
        return false;
    return true;
}

void Server::checkWaits(const QJsonObject& entry)
{
    if (m_waits.empty())
        return;
    const Summary summary = Summary::of(entry, m_names);
    for (auto it = m_waits.begin(); it != m_waits.end();) {
        if (matches(summary, (*it)->filter)) {
            controlReply((*it)->client, {{QStringLiteral("id"), (*it)->requestId}, {QStringLiteral("ok"), true}, {QStringLiteral("entry"), entry}});
            it = m_waits.erase(it);
        } else {
            ++it;
        }
    }
}

QJsonObject Server::handleControl(ControlClient* client, const QJsonObject& request, bool& deferred)
{
    const QString command = request.value(QStringLiteral("cmd")).toString();
    auto failure = [](const QString& what) {
        return QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), what}};
    };
    const QJsonObject ok{{QStringLiteral("ok"), true}};

    if (command == QLatin1String("send")) {
        const std::string type = request.value(QStringLiteral("type")).toString().toStdString();
        QString error;
        const std::optional<Value> body = structFromJson(request.value(QStringLiteral("body")).toObject(), &error);
        if (type.empty() || !body)
            return failure(QStringLiteral("send needs \"type\" and a \"body\" struct: %1").arg(error));
        return sendBytes(encodeMessage(type, *body)) ? ok : failure(QStringLiteral("no client reads the Out pipe"));
    }
    if (command == QLatin1String("sendRaw")) {
        const QByteArray hex = request.value(QStringLiteral("hex")).toString().toLatin1();
        const QByteArray bytes = QByteArray::fromHex(hex);
        if (bytes.toHex() != hex.toLower() || bytes.isEmpty())
            return failure(QStringLiteral("sendRaw needs \"hex\" with an even number of hex digits"));
        return sendBytes(bytes.toStdString()) ? ok : failure(QStringLiteral("no client reads the Out pipe"));
    }
    if (command == QLatin1String("waitFor") || command == QLatin1String("entries")) {
        QJsonObject filter = request;
        QJsonArray found;
        for (const Recorded& recorded : m_history) {
            if (!matches(recorded.summary, filter))
                continue;
            const QJsonObject entry = QJsonDocument::fromJson(recorded.line).object();
            if (command == QLatin1String("waitFor"))
                return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("entry"), entry}};
            found.append(entry);
        }
        if (command == QLatin1String("entries"))
            return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("entries"), found}};
        const int timeoutMs = request.value(QStringLiteral("timeoutMs")).toInt(10000);
        if (timeoutMs <= 0)
            return failure(QStringLiteral("timeout"));
        auto wait = std::make_unique<Wait>();
        wait->client = client;
        wait->requestId = request.value(QStringLiteral("id"));
        wait->filter = filter;
        wait->timer = LaterPtr<QTimer>(new QTimer);
        wait->timer->setSingleShot(true);
        Wait* raw = wait.get();
        connect(wait->timer.get(), &QTimer::timeout, this, [this, raw] {
            controlReply(raw->client, {{QStringLiteral("id"), raw->requestId}, {QStringLiteral("ok"), false},
                                       {QStringLiteral("error"), QStringLiteral("timeout")}});
            m_waits.remove_if([raw](const std::unique_ptr<Wait>& w) { return w.get() == raw; });
        });
        wait->timer->start(timeoutMs);
        m_waits.push_back(std::move(wait));
        deferred = true;
        return QJsonObject();
    }
    if (command == QLatin1String("rule")) {
        const std::string type = request.value(QStringLiteral("type")).toString().toStdString();
        if (type.empty())
            return failure(QStringLiteral("rule needs the \"type\" of a reply"));
        if (request.value(QStringLiteral("clear")).toBool()) {
            m_rules.erase(type);
        } else {
            Rule& rule = m_rules[type];
            rule.suppress = request.value(QStringLiteral("suppress")).toBool();
            rule.delayMs = std::max(0, request.value(QStringLiteral("delayMs")).toInt());
        }
        return ok;
    }
    if (command == QLatin1String("clearRules")) {
        m_rules.clear();
        return ok;
    }
    if (command == QLatin1String("stopReading") || command == QLatin1String("resumeReading")) {
        m_readingStopped = command == QLatin1String("stopReading");
        if (m_in)
            m_in->setReading(!m_readingStopped);
        event(m_readingStopped ? QStringLiteral("reading stopped by the control") : QStringLiteral("reading resumed"));
        return ok;
    }
    if (command == QLatin1String("close")) {
        const QString pipe = request.value(QStringLiteral("pipe")).toString();
        if (pipe == QLatin1String("in"))
            closeInput();
        else if (pipe == QLatin1String("out"))
            closeOutput();
        else
            return failure(QStringLiteral("close needs \"pipe\": \"in\" or \"out\""));
        if (!m_in && !m_out) // nothing is left of the connection
            QTimer::singleShot(0, this, [this] { stop(kExitDone, QStringLiteral("both pipes closed by the control")); });
        return ok;
    }
    if (command == QLatin1String("state")) {
        QJsonObject state = m_scene.toJson();
        QJsonArray windows;
        for (const auto& [id, window] : m_windows)
            windows.append(QJsonObject{{QStringLiteral("viewer"), id}, {QStringLiteral("winId"), QString::number(window->winId())},
                                       {QStringLiteral("width"), window->width()}, {QStringLiteral("height"), window->height()}});
        state.insert(QStringLiteral("windows"), windows);
        state.insert(QStringLiteral("connected"), m_in != nullptr && m_out != nullptr);
        return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("state"), state}};
    }
    if (command == QLatin1String("exit")) {
        QTimer::singleShot(0, this, [this] { stop(kExitDone, QStringLiteral("asked by the control")); });
        return ok;
    }
    return failure(QStringLiteral("unknown command \"%1\"").arg(command));
}

} // namespace orlex_standin

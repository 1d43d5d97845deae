// The stand-in viewer server: the pipe pair, the message stream, the scene, the windows, the
// log and the control socket through which tests script it.
#pragma once

#include "message_log.h"
#include "scene.h"
#include "wire.h"

#include "platform/pipes.h"

#include <QJsonObject>
#include <QSet>
#include <QObject>
#include <QString>

#include <chrono>
#include <list>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QSocketNotifier>
#include <QTimer>

namespace orlex_standin {

// Owns a notifier or timer that may be the sender of the signal being handled: it is switched
// off at once and deleted by the event loop.
struct DeferredDelete {
    void operator()(QObject* object) const;
};
template <class T>
using LaterPtr = std::unique_ptr<T, DeferredDelete>;

class InputPipe;
class OutputPipe;
class SketchWindow;

struct ServerOptions {
    QString pipeName;
    std::chrono::milliseconds connectTimeout{60000};
    QString logPath;      // the JSON-lines log; empty: none
    QString controlPath;  // the control socket; empty: none
};

enum ExitCode {
    kExitDone = 0,          // the client left, terminated, SIGTERM or the control's "exit"
    kExitBadArguments = 2,
    kExitNoClient = 3,      // no client within the connect time-out
    kExitCannotListen = 4,
};

// The pipe pair and the control socket, listening. main opens them before the window system is
// up, so a client finds them at once however long the application then takes to start.
struct ServerSockets {
    platform::PipeListener in;
    platform::PipeListener out;
    platform::PipeListener control; // only with a control path
};
bool openServerSockets(const ServerOptions& options, ServerSockets* sockets, QString* error);

class Server : public QObject {
    Q_OBJECT
public:
    explicit Server(ServerOptions options, QObject* parent = nullptr);
    ~Server() override;

    // Serves the pipe pair and the control socket.
    bool start(ServerSockets sockets, QString* error);

    // Ends the server once: closes everything, removes the socket files, emits finished.
    void stop(int exitCode, const QString& reason);

signals:
    void finished(int exitCode);

private:
    struct ControlClient;
    struct Wait;

    ServerOptions m_options;
    MessageLog m_log;
    Scene m_scene;
    std::map<std::int32_t, SketchWindow*> m_windows;
    // What a control filter looks at in a record (copies: a QJsonValue taken from a record would
    // keep the whole record alive).
    struct Summary {
        QString dir;
        double seq = 0;
        std::optional<QString> type;
        QString text;
        // 'names' holds one copy of each dir and type, which the summaries share.
        static Summary of(const QJsonObject& entry, QSet<QString>& names);
    };
    // The latest records, for waitFor and entries, as their JSON lines (a record held as a
    // QJsonObject takes several times the memory of its text); the log file keeps them all.
    struct Recorded {
        Summary summary;
        QByteArray line;
    };
    std::deque<Recorded> m_history;
    std::size_t m_historyBytes = 0;
    QSet<QString> m_names;

    platform::PipeListener m_inListener;
    platform::PipeListener m_outListener;
    platform::PipeListener m_controlListener;
    LaterPtr<QSocketNotifier> m_inAccept, m_outAccept, m_controlAccept;
    std::unique_ptr<InputPipe> m_in;
    std::unique_ptr<OutputPipe> m_out;
    LaterPtr<QSocketNotifier> m_outHangup;
    QTimer* m_connectTimer = nullptr;
    QTimer* m_terminateTimer = nullptr;
    QTimer* m_cameraLogLater = nullptr;
    std::map<std::int32_t, QString> m_loggedCameras; // the camera record last logged per viewer

    QByteArray m_inBuffer;
    std::size_t m_inNeeded = 0; // the message at the front is not looked at again below this size
    std::uint64_t m_streamOffset = 0;
    double m_inReadUs = 0; // steady clock of the last read of the request pipe, microseconds
    bool m_sawMessage = false;
    bool m_resyncing = false;
    std::uint64_t m_skipped = 0;
    bool m_readingStopped = false;
    bool m_inClosedByControl = false;
    bool m_stopped = false;

    struct Rule {
        bool suppress = false;
        int delayMs = 0;
    };
    std::map<std::string, Rule> m_rules;

    std::vector<std::unique_ptr<ControlClient>> m_controlClients;
    std::list<std::unique_ptr<Wait>> m_waits;

    QJsonObject record(QJsonObject entry);
    void event(const QString& text);
    void violation(const QString& text, const std::string& type, std::uint64_t offset);

    void onAccept(bool requestPipe);
    void onInputReadable();
    void onOutputHangup();
    void processInput(bool atEnd);
    void handleMessage(const DecodedMessage& message, std::uint64_t offset);
    void onClientGone(const QString& reason);
    void createWindow(std::int32_t viewerId);
    void destroyWindow(std::int32_t viewerId);
    void repaintWindows();
    void logCameraChanges();

    void sendReply(const Reply& reply);
    bool sendBytes(const std::string& bytes);
    void closeInput();
    void closeOutput();

    void onControlAccept();
    void onControlReadable(ControlClient* client);
    void dropControlClient(ControlClient* client);
    void controlReply(ControlClient* client, QJsonObject reply);
    QJsonObject handleControl(ControlClient* client, const QJsonObject& request, bool& deferred);
    static bool matches(const Summary& entry, const QJsonObject& filter);
    void checkWaits(const QJsonObject& entry);
};

} // namespace orlex_standin

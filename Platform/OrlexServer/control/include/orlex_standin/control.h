// For tests: start the viewer-server stand-in, script it through its control socket and read
// its log. The stand-in answers the client by itself; the control adds scripted messages, raw
// bytes, waits for what the client sent, rules that delay or suppress replies, and pipe faults.
//
// Records (log lines and control answers) are JSON objects with "seq", "time" (UTC), "monoUs" (the
// steady clock in microseconds) and "dir":
//   "in"/"out"  a message: "type", "length", "body" {"levels": [[fields], ...]} ("in" also
//               "offset" in the stream and "readUs", the steady clock when the read that
//               completed it returned); an "out" of bytes that decode as no message has "hex"
//   "violation" a breach of the protocol by the client: "text", "type" when known, "offset"
//   "scene"     a create of an existing id, an update or destroy of an unknown one: "type", "text"
//   "event"     connections, windows, rules applied, the exit ("exit <code>: <reason>"): "text"
// A field is {"id": n, "t": wire type, "v": value}: "bool", "uint8" ... "uint64", "int8" ...
// "int64" (numbers, or decimal text beyond 2^53), "float", "double" (numbers, or "nan", "inf",
// "-inf"), "string" ("v" text, or "hex" for bytes that are no UTF-8), "struct" ("levels"),
// "list" ("et" and "v" with bare elements), "map" ("kt", "vt", "v" as [key, value] pairs).
// Control requests are JSON lines {"cmd": ...}: send, sendRaw, waitFor, entries, rule,
// clearRules, stopReading, resumeReading, close, state, exit; each gets one JSON line back.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace orlex_standin {

// The stand-in server process of one test.
class StandinProcess {
public:
    struct Options {
        QString pipeName = QStringLiteral("dremmCorv");
        int connectTimeoutMs = 20000;    // --ClientConnectTimeoutMs; negative: not passed
        QString program;                 // default: $CORV_BIN_DIR/Tavrin.Dremm.Orlex.exe
        QStringList extraArguments;
        std::optional<QProcessEnvironment> environment; // default: this process's
    };

    StandinProcess();
    explicit StandinProcess(Options options);
    ~StandinProcess(); // ends the server (SIGKILL) if it still runs

    // Starts the server and returns once it listens on both pipes and the control socket.
    bool start(int timeoutMs = 10000);

    QString logPath() const { return m_logPath; }          // $ORLEX_STANDIN_LOG of the server
    QString controlPath() const { return m_controlPath; }  // $ORLEX_STANDIN_CONTROL of the server
    qint64 pid() const;
    QProcess& process() { return *m_process; }

    void terminate();                       // SIGTERM
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const;                   // after waitForExit
    QString errorOutput();                  // what it wrote on standard error

private:
    Options m_options;
    std::unique_ptr<QProcess> m_process;
    QString m_logPath;
    QString m_controlPath;
};

// One connection to the control socket; requests and replies are JSON lines.
class StandinControl {
public:
    StandinControl();
    ~StandinControl();

    bool connectTo(const QString& controlPath);

    // Sends one request and returns its reply, or nothing when none came in time.
    std::optional<QJsonObject> request(QJsonObject request, int timeoutMs = 20000);

    // Sends a message to the client: 'body' is {"levels": [[fields of the first base part], ...,
    // [the struct's own fields]]}, each field {"id": n, "t": type, "v": value} (see fields below).
    bool send(const QString& type, const QJsonObject& body);
    bool sendRaw(const QByteArray& bytes);

    // The first record from seq 'from' on whose "dir" is 'dir' ("in", "out", "violation",
    // "scene" or "event") and, if given, whose "type" equals 'type' and whose "text" holds
    // 'contains'; waits for it at most 'timeoutMs'.
    std::optional<QJsonObject> waitFor(const QString& dir, const QString& type = QString(), qint64 from = 0,
                                       int timeoutMs = 10000, const QString& contains = QString());
    QJsonArray entries(const QString& dir, const QString& type = QString(), qint64 from = 0);

    bool suppressReply(const QString& type);
    bool delayReply(const QString& type, int ms);
    bool clearRules();
    bool stopReading();
    bool resumeReading();
    bool closePipe(const QString& pipe); // "in" or "out"
    QJsonObject state();                 // viewers, objects, extensions, windows
    bool exit();

private:
    int m_fd = -1;
    qint64 m_nextId = 1;
    QByteArray m_buffer;
    bool ok(const QJsonObject& request);
};

// Every record of a stand-in log file, in order.
QList<QJsonObject> readLog(const QString& path);

// Pieces of scripted bodies.
QString coreType(const char* shortName);     // "Tavrin.Dremm.Orlex." + name
QString quennetType(const char* shortName);  // "Tavrin.Dremm.Orlex.Extensions.Quennet." + name
QJsonObject field(int id, const QString& type, const QJsonValue& value);
QJsonObject structField(int id, const QJsonArray& levels);
QJsonObject listField(int id, const QString& elementType, const QJsonArray& elements);
QJsonObject body(const QJsonArray& levels);

} // namespace orlex_standin

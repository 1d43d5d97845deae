// The live feed: a stand-in for the installation's main station and sounder runtime that plays a
// synthetic survey to the display on this machine (see README "Running the live feed").
#include "feed.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSettings>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

struct Option {
    const char* name;
    const char* help;
    const char* value;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corv_live_feed"));
    livefeed::FeedOptions o;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a synthetic survey to the display: positions, real-time depths, runtime sentences, the grid."));
    parser.addHelpOption();
    const Option options[] = {
        {"host", "Address the datagrams go to (a multicast group works too).", "address"},
        {"port-add", "The display's CorvPortAdd: added to the position, depth and control ports.", "n"},
        {"rate", "Position datagrams per second and vessel.", "hz"},
        {"depth-rate", "Depth datagrams per second (vessels in turn).", "hz"},
        {"soundings", "Soundings per depth datagram (1 to 1199).", "n"},
        {"depth-form", "geographic, projected or both (alternating).", "form"},
        {"vessels", "Number of vessels (1 to 5).", "n"},
        {"burst", "All vessels' positions and the depth datagram together in each interval (a stress run); "
                  "by default every vessel and the depths send at a phase of their own.", nullptr},
        {"duration", "Seconds to run after the lead-in; 0 runs until stopped.", "s"},
        {"lead-in", "Seconds of opening sentences before the vessels move.", "s"},
        {"zone", "UTM zone of the survey (1 to 60).", "n"},
        {"south", "The zone is on the southern hemisphere.", nullptr},
        {"wait-for-page", "Open the grid a lead-in after the display asked for its page; vessels 3 s later.", nullptr},
        {"centre", "Survey centre as east,north in metres.", "e,n"},
        {"survey", "Survey folder name.", "name"},
        {"grid-root", "Grid root as the display names it.", "path"},
        {"record", "Write every datagram sent to this file.", "file"},
        {"replay", "Send a recorded run instead of the survey.", "file"},
        {"http-port", "Port of the status page (0: none).", "port"},
        {"tcp-port", "Port of the remote-station link (0: none).", "port"},
        {"request-port", "Port of requests to the sounder runtime (0: none).", "port"},
        {"coverage-port", "Port of coverage-angle requests (0: none).", "port"},
        {"tile-send-interval", "Seconds between tile sends to remote stations.", "s"},
        {"display-ini", "Set the display's gui.ini to receive from this feed, then start.", "file"},
    };
    for (const Option& option : options) {
        if (option.value)
            parser.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.help),
                                                QString::fromLatin1(option.value)));
        else
            parser.addOption(QCommandLineOption(QString::fromLatin1(option.name), QString::fromLatin1(option.help)));
    }
    parser.process(app);

    QStringList errors;
    auto number = [&](const char* name, double& target, double low, double high) {
        if (!parser.isSet(QString::fromLatin1(name)))
            return;
        bool ok = false;
        const double v = parser.value(QString::fromLatin1(name)).toDouble(&ok);
        if (!ok || v < low || v > high)
            errors << QStringLiteral("--%1 takes a number from %2 to %3").arg(QLatin1String(name)).arg(low).arg(high);
        else
            target = v;
    };
    auto integer = [&](const char* name, int& target, int low, int high) {
        double v = target;
        number(name, v, low, high);
        target = static_cast<int>(v);
    };
    if (parser.isSet(QStringLiteral("host")))
        o.host = parser.value(QStringLiteral("host"));
    integer("port-add", o.portAdd, 0, 30000);
    number("rate", o.positionRate, 0, 1000);
    number("depth-rate", o.depthRate, 0, 1000);
    integer("soundings", o.soundings, 1, 1199);
    integer("vessels", o.survey.vessels, 1, 5);
    number("duration", o.duration, 0, 1e7);
    number("lead-in", o.leadIn, 0, 3600);
    integer("zone", o.survey.zone, 1, 60);
    integer("http-port", o.httpPort, 0, 65535);
    integer("tcp-port", o.tcpPort, 0, 65535);
    integer("request-port", o.requestPort, 0, 65535);
    integer("coverage-port", o.coveragePort, 0, 65535);
    number("tile-send-interval", o.sendInterval, 0.5, 3600);
    o.survey.south = parser.isSet(QStringLiteral("south"));
    o.waitForPage = parser.isSet(QStringLiteral("wait-for-page"));
    o.burst = parser.isSet(QStringLiteral("burst"));
    if (parser.isSet(QStringLiteral("depth-form"))) {
        const QString form = parser.value(QStringLiteral("depth-form"));
        if (form == QLatin1String("geographic"))
            o.depthForm = livefeed::DepthForm::Geographic;
        else if (form == QLatin1String("projected"))
            o.depthForm = livefeed::DepthForm::Projected;
        else if (form == QLatin1String("both"))
            o.depthForm = livefeed::DepthForm::Both;
        else
            errors << QStringLiteral("--depth-form is geographic, projected or both");
    }
    if (parser.isSet(QStringLiteral("centre"))) {
        const QStringList parts = parser.value(QStringLiteral("centre")).split(QLatin1Char(','));
        bool okEast = false, okNorth = false;
        if (parts.size() == 2) {
            o.survey.centreEast = parts[0].toDouble(&okEast);
            o.survey.centreNorth = parts[1].toDouble(&okNorth);
        }
        if (!okEast || !okNorth)
            errors << QStringLiteral("--centre takes east,north in metres");
    }
    if (parser.isSet(QStringLiteral("survey"))) {
        o.surveyName = parser.value(QStringLiteral("survey"));
        if (o.surveyName.isEmpty() || o.surveyName.contains(QLatin1Char('/')) || o.surveyName.contains(QLatin1Char('\\'))
            || o.surveyName.contains(QLatin1Char(',')))
            errors << QStringLiteral("--survey takes a plain folder name");
    }
    if (parser.isSet(QStringLiteral("grid-root")))
        o.gridRoot = parser.value(QStringLiteral("grid-root"));
    o.recordPath = parser.value(QStringLiteral("record"));
    o.replayPath = parser.value(QStringLiteral("replay"));
    if (!errors.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(errors.join(QLatin1Char('\n'))));
        return 2;
    }

    if (parser.isSet(QStringLiteral("display-ini"))) {
        QSettings ini(parser.value(QStringLiteral("display-ini")), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("RUNTIME"));
        ini.setValue(QStringLiteral("CorvNoMCAST"), !QHostAddress(o.host).isMulticast());
        if (QHostAddress(o.host).isMulticast())
            ini.setValue(QStringLiteral("CorvMcastGrp"), o.host);
        ini.setValue(QStringLiteral("CorvPortAdd"), o.portAdd);
        ini.endGroup();
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(parser.value(QStringLiteral("display-ini"))));
            return 1;
        }
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return 1;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    livefeed::Feed feed(o);
    QObject::connect(&feed, &livefeed::Feed::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        feed.stop();
        QCoreApplication::quit();
    });
    QString error;
    if (!feed.start(&error)) {
        std::fprintf(stderr, "live feed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("live feed: grid %s, datagrams to %s (ports %d, %d, %d)\n", qPrintable(feed.localGridFolder()),
                qPrintable(o.host), o.positionPort + o.portAdd, o.depthPort + o.portAdd, o.controlPort + o.portAdd);
    std::fflush(stdout);
    const int code = app.exec();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    return code;
}

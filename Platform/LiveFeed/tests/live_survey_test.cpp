// The live path on one machine: the feed plays the survey to the program, the program drives
// the viewer-server stand-in; the stand-in's message log shows the grid opened, the vessels
// moving in the order of their positions and the depth tail's soundings, and a screenshot
// shows the survey.
#include "feed.h"

#include "orlex_standin/control.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSettings>

#include <cmath>
#include <map>
#include <memory>
#include <set>

using namespace livefeed;

namespace {

constexpr int kPortAdd = 1400;

QString dataFolder(const QString& root)
{
    return root + QStringLiteral("/c/ProgramData/Tavrin Nautic/tqel");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A field of one level of a logged body, by id; an empty object when it was left out.
QJsonObject field(const QJsonArray& level, int id)
{
    for (const QJsonValue& f : level)
        if (f.toObject().value(QStringLiteral("id")).toInt() == id)
            return f.toObject();
    return QJsonObject();
}

QJsonArray level(const QJsonObject& record, int index)
{
    return record.value(QStringLiteral("body")).toObject().value(QStringLiteral("levels")).toArray().at(index).toArray();
}

double number(const QJsonArray& fields, int id)
{
    return field(fields, id).value(QStringLiteral("v")).toDouble(0);
}

// Every list of numbers in a logged body, in order.
void numberLists(const QJsonValue& value, QList<QJsonArray>& lists)
{
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (!array.isEmpty() && array.first().isDouble())
            lists << array;
        for (const QJsonValue& item : array)
            numberLists(item, lists);
    } else if (value.isObject()) {
        for (const QJsonValue& item : value.toObject())
            numberLists(item, lists);
    }
}

struct Sent {
    int vessel;
    double east, north;
};

class LiveSurveyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        m_base = qEnvironmentVariable("CORV_TEST_SCRATCH");
        m_root = qEnvironmentVariable("CORV_WINROOT");
        QDir().mkpath(m_base + QStringLiteral("/work/bin"));
        QDir().mkpath(dataFolder(m_root) + QStringLiteral("/proj4"));
        QFile::link(QStringLiteral("/usr/share/proj/proj.db"), dataFolder(m_root) + QStringLiteral("/proj4/proj.db"));
        QFile::remove(standinLog());
        // The program receives the feed on 127.0.0.1 with its ports moved out of the way.
        QSettings gui(dataFolder(m_root) + QStringLiteral("/gui.ini"), QSettings::IniFormat);
        gui.setValue(QStringLiteral("RUNTIME/CorvNoMCAST"), true);
        gui.setValue(QStringLiteral("RUNTIME/CorvPortAdd"), kPortAdd);
        gui.sync();
    }

    void TearDown() override
    {
        if (m_program && m_program->state() != QProcess::NotRunning) {
            m_program->terminate();
            if (!m_program->waitForFinished(15000)) {
                m_program->kill();
                m_program->waitForFinished(5000);
            }
        }
    }

    QString standinLog() const { return m_base + QStringLiteral("/standin.log"); }

    void startProgram()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_base + QStringLiteral("/config"));
        env.insert(QStringLiteral("ORLEXDIR"), qEnvironmentVariable("CORV_BIN_DIR"));
        env.insert(QStringLiteral("ORLEX_STANDIN_LOG"), standinLog());
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
        env.remove(QStringLiteral("ProgramData"));
        m_program = std::make_unique<QProcess>();
        m_program->setProcessEnvironment(env);
        m_program->setWorkingDirectory(m_base + QStringLiteral("/work/bin"));
        m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program->start(qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Corv"),
                         {QStringLiteral("-logfile"), m_base + QStringLiteral("/corv.log")});
        ASSERT_TRUE(m_program->waitForStarted(10000));
    }

    void startProgramInLiveView()
    {
        startProgram();
        ASSERT_TRUE(corvtest::waitUntil([&] { return readFile(standinLog()).contains("SetCameraDataMessage"); }, 90000))
            << "the program did not reach its live view";
    }

    // A survey at a modest rate for the program on this test's ports.
    static FeedOptions feedOptions()
    {
        FeedOptions options;
        options.portAdd = kPortAdd;
        options.positionRate = 5;
        options.depthRate = 4;
        options.soundings = 300;
        options.leadIn = 2;
        options.tileInterval = 1;
        return options;
    }

    // The messages the stand-in read, of one type.
    QList<QJsonObject> read(const char* shortName) const
    {
        QList<QJsonObject> found;
        const QString suffix = QLatin1Char('.') + QLatin1String(shortName);
        for (const QJsonObject& record : orlex_standin::readLog(standinLog()))
            if (record.value(QStringLiteral("dir")).toString() == QLatin1String("in")
                && record.value(QStringLiteral("type")).toString().endsWith(suffix))
                found << record;
        return found;
    }

    QString m_base;
    QString m_root;
    std::unique_ptr<QProcess> m_program;
};

} // namespace

TEST_F(LiveSurveyTest, TheViewerServerSeesTheGridTheVesselsAndTheirDepthTails)
{
    ASSERT_NO_FATAL_FAILURE(startProgramInLiveView());
    FeedOptions options = feedOptions();
    options.survey.vessels = 2;
    Feed feed(options);
    std::vector<Sent> sent;
    QObject::connect(&feed, &Feed::positionSent, [&](int vessel, quint16, double east, double north, qint64) {
        sent.push_back({vessel, east, north});
    });
    QString error;
    ASSERT_TRUE(feed.start(&error)) << error.toStdString();

    // The grid opens as the feed names it; the vessels move and their depth tails fill.
    ASSERT_TRUE(corvtest::waitUntil([&] {
        return read("PositionUpdateMessage").size() >= 20 && read("AddToPointBufferMessage").size() >= 4;
    }, 90000)) << readFile(standinLog()).right(3000).toStdString();
    corvtest::waitUntil([&] { return false; }, 3000); // a few more tiles and pings for the picture

    const QList<QJsonObject> terrains = read("CreateGridEngineTerrainMessage");
    ASSERT_FALSE(terrains.isEmpty());
    EXPECT_EQ(field(level(terrains.first(), 2), 0).value(QStringLiteral("v")).toString(),
              QStringLiteral("C:/qeldata/Grids/SIM/LiveFeed/Terrain"));

    // Every vessel position the server got is one the feed sent, in the order sent.
    std::map<qint64, std::size_t> lastMatch; // object id -> index in 'sent'
    std::map<qint64, int> vesselOf;
    int moves = 0;
    for (const QJsonObject& record : read("PositionUpdateMessage")) {
        const QJsonArray ids = field(level(record, 1), 0).value(QStringLiteral("v")).toArray();
        const QJsonArray positions = field(level(record, 2), 0).value(QStringLiteral("v")).toArray();
        for (int n = 0; n < ids.size() && n < positions.size(); ++n) {
            const qint64 id = static_cast<qint64>(ids.at(n).toDouble());
            if (id < 40000 || id > 44999)
                continue;
            const QJsonArray xyz = positions.at(n).toObject().value(QStringLiteral("levels")).toArray().at(0).toArray();
            const double x = number(xyz, 0), y = number(xyz, 1);
            if (x == 0 && y == 0)
                continue; // where the ship model puts its vessels before their first position
            std::size_t from = lastMatch.count(id) ? lastMatch[id] : 0;
            std::size_t match = from;
            while (match < sent.size()
                   && !(std::fabs(sent[match].east - x) < 0.05 && std::fabs(sent[match].north - y) < 0.05
                        && (!vesselOf.count(id) || vesselOf[id] == sent[match].vessel)))
                ++match;
            ASSERT_LT(match, sent.size()) << "object " << id << " at " << x << " / " << y << " out of order or never sent";
            vesselOf[id] = sent[match].vessel;
            lastMatch[id] = match;
            ++moves;
        }
    }
    EXPECT_GE(moves, 10);
    std::set<int> vessels;
    for (const auto& [id, vessel] : vesselOf)
        vessels.insert(vessel);
    EXPECT_EQ(vessels.size(), 2u) << "both vessels move";

    // The depth tails hold soundings of the seabed the feed plays.
    const Survey survey(options.survey);
    int points = 0;
    for (const QJsonObject& record : read("AddToPointBufferMessage")) {
        // The log shows the first 1,000 values of a list and its length as "n".
        const QJsonObject list = field(level(record, 2), 0);
        const QJsonArray values = list.value(QStringLiteral("v")).toArray();
        ASSERT_EQ(list.value(QStringLiteral("n")).toInt(values.size()) % 3, 0);
        for (int n = 0; n + 2 < values.size(); n += 3) {
            const double x = values.at(n).toDouble(), y = values.at(n + 1).toDouble(), z = values.at(n + 2).toDouble();
            ASSERT_NEAR(z, -survey.depthAt(x, y), 0.05) << "at " << x << " / " << y;
            ++points;
        }
    }
    EXPECT_GE(points, 300);

    // The program took the feed as its station: it asked for the page and joined the link.
    EXPECT_GE(feed.counters().pagesServed, 1u);
    EXPECT_TRUE(corvtest::waitUntil([&] { return feed.stationsConnected() == 1; }, 20000));

    const QString shot = m_base + QStringLiteral("/live_survey.png");
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_TRUE(image.save(shot));
    // The vessels' fill colour is on the screen.
    int vesselPixels = 0;
    for (int y = 0; y < image.height(); y += 1)
        for (int x = 0; x < image.width(); x += 1)
            vesselPixels += image.pixel(x, y) == qRgb(250, 200, 40) ? 1 : 0;
    EXPECT_GT(vesselPixels, 20) << shot.toStdString();
    feed.stop();
}

// A display station that receives the survey over the remote-station link: the converter turns
// the tiles the link carried into a terrain the viewer server opens, and the ship tracks the feed
// writes as its vessel runs are drawn once the runtime reports new tracks (event 33).
TEST_F(LiveSurveyTest, TheReceivedGridBecomesATerrainAndTheTracksAreDrawn)
{
    // The converter is started beside the program's working folder.
    QFile::remove(m_base + QStringLiteral("/work/bin/Converter"));
    ASSERT_TRUE(QFile::link(qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Converter"),
                            m_base + QStringLiteral("/work/bin/Converter")));
    ASSERT_NO_FATAL_FAILURE(startProgramInLiveView());
    FeedOptions options = feedOptions();
    options.sendInterval = 2;
    options.survey.speed = 20;
    Feed feed(options);
    QString error;
    ASSERT_TRUE(feed.start(&error)) << error.toStdString();

    const QString remoteTerrain = QStringLiteral("C:/qeldata/Grids/default/LiveFeed/Terrain");
    auto opened = [&] {
        for (const QJsonObject& record : read("CreateGridEngineTerrainMessage"))
            if (field(level(record, 2), 0).value(QStringLiteral("v")).toString().compare(remoteTerrain, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    ASSERT_TRUE(corvtest::waitUntil(opened, 120000)) << readFile(standinLog()).right(3000).toStdString();
    // What the viewer server opened is the converter's work: the received tiles, placed.
    const QString localTerrain = m_root + QStringLiteral("/c/qeldata/Grids/default/LiveFeed/Terrain");
    EXPECT_TRUE(QFile::exists(localTerrain + QStringLiteral("/surveyinfo.json")));
    QDirIterator tiles(localTerrain + QStringLiteral("/zMedian"), {QStringLiteral("*.tiff")}, QDir::Files,
                       QDirIterator::Subdirectories);
    EXPECT_TRUE(tiles.hasNext());

    // The track lines lie on the survey's north-south lines.
    const Survey survey(options.survey);
    QList<QJsonArray> trackPositions;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        trackPositions.clear();
        for (const QJsonObject& record : read("CreateLineMessage"))
            if (QJsonDocument(record).toJson(QJsonDocument::Compact).contains("\"Tracks\""))
                numberLists(record.value(QStringLiteral("body")), trackPositions);
        return !trackPositions.isEmpty();
    }, 60000)) << readFile(standinLog()).right(3000).toStdString();
    int points = 0;
    for (const QJsonArray& positions : trackPositions) {
        // The positions: x, y, z triples in projected metres (ids, indices and colours are small).
        if (positions.size() < 6 || positions.size() % 3 != 0 || positions.first().toDouble() < 100000)
            continue;
        for (int n = 0; n + 2 < positions.size(); n += 3) {
            const double east = positions.at(n).toDouble();
            bool onALine = false;
            for (const Survey::Line& line : survey.lines())
                onALine = onALine || std::fabs(line.east0 - east) < 0.5;
            EXPECT_TRUE(onALine) << "track point at east " << east;
            ++points;
        }
    }
    EXPECT_GE(points, 2);

    const QString shot = m_base + QStringLiteral("/received_grid.png");
    EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).toImage().save(shot));
    feed.stop();
}

// The running program driven as a person drives it: the tool bar clicked and the map view dragged
// and pointed at through the XTest extension (xdotool), nothing injected into the viewer link.
// The viewer-server stand-in turns the pointer into the viewer's events; what the program makes
// of them is read from the window and from the stand-in's log.
#include "OrlexViewer/Prompter.h"
#include "orlex_standin/control.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"
#include "WindowWithViewer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QRegularExpression>
#include <QScreen>
#include <QToolBar>
#include <QToolTip>

#include <cmath>

// Last: Xlib's macros would clash with the headers above.
#include "ProgramOnScreen.h"

static void initCorvResources()
{
    Q_INIT_RESOURCE(corv);
}

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool moveTo(const QPoint& at)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
}

// Field 'id' of a logged struct's last level, or of its level 'level'.
QJsonValue fieldOf(const QJsonObject& structJson, int id, int level = -1)
{
    const QJsonArray levels = structJson.value(QStringLiteral("levels")).toArray();
    const QJsonArray fields = (level < 0 ? levels.last() : levels.at(level)).toArray();
    for (const QJsonValue& f : fields)
        if (f.toObject().value(QStringLiteral("id")).toInt() == id)
            return f.toObject().contains(QStringLiteral("levels")) ? f : f.toObject().value(QStringLiteral("v")); // a struct
    return QJsonValue();
}

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the job dialog with a file of the test's.
class JobPrompter : public CPrompter
{
public:
    QString job;
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return job; }
};

// Chooses an entry of the next popup menu through the pointer, from inside the menu's own loop.
class MenuChooser
{
public:
    explicit MenuChooser(QString entry, QString shot)
        : m_entry(std::move(entry)), m_shot(std::move(shot))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start(100);
    }
    bool chosen() const { return m_chosen; }
    QStringList entries() const { return m_entries; }

private:
    QString m_entry, m_shot;
    QTimer m_timer;
    bool m_chosen = false;
    int m_seen = 0;
    QStringList m_entries;

    void look()
    {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return;
        if (++m_seen < 4) // drawn on the screen before it is grabbed
            return;
        m_timer.stop();
        QGuiApplication::primaryScreen()->grabWindow(0).save(m_shot);
        for (QAction* action : menu->actions()) {
            m_entries << action->text();
            if (action->text() == m_entry && !m_chosen) {
                m_chosen = moveTo(menu->mapToGlobal(menu->actionGeometry(action).center()))
                           && xdotool({QStringLiteral("click"), QStringLiteral("1")});
            }
        }
        if (!m_chosen)
            menu->close();
    }
};

class PointerRoadsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(corvtest::WindowWithViewer::prepareProcess());
        initCorvResources();
        // A window manager on the test's own display, as on the installation's.
        s_windowManager = new QProcess();
        s_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(s_windowManager->waitForStarted(10000));
        ASSERT_TRUE(corvtest::waitUntil(corvtest::windowManagerRuns, 10000));
        const QString scratch = corvtest::scratchDir();
        // Context menus in the view, and the logs of the planning and object libraries.
        qputenv("ORLEXMENU", "1");
        qputenv("CORV_PLANNING_LOG", (scratch + QStringLiteral("/planning.jsonl")).toUtf8());
        qputenv("CORV_OBJECTS_LOG", (scratch + QStringLiteral("/objects.jsonl")).toUtf8());
        s_underTest = new corvtest::WindowWithViewer();
        ASSERT_TRUE(s_underTest->start());
        s_underTest->window()->resize(1200, 900);
    }

    static void TearDownTestSuite()
    {
        delete s_underTest;
        s_underTest = nullptr;
        if (s_windowManager) {
            s_windowManager->terminate();
            s_windowManager->waitForFinished(5000);
            delete s_windowManager;
            s_windowManager = nullptr;
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_underTest && s_underTest->window());
        ASSERT_TRUE(m_control.connectTo(s_underTest->server()->controlPath()));
        ASSERT_TRUE(corvtest::waitUntil([&] { return !m_control.state().value(QStringLiteral("windows")).toArray().isEmpty(); }, 20000));
        ASSERT_TRUE(corvtest::waitUntil([&] { return s_underTest->window()->isInitialised(); }, 20000));
        // Boxes of the start (a port held by another program) would cover the view.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(top) && top->isVisible())
                top->close();
        const WId server = m_control.state().value(QStringLiteral("windows")).toArray().first().toObject()
                               .value(QStringLiteral("winId")).toString().toULongLong();
        ASSERT_TRUE(corvtest::waitUntil([&] { m_view = corvtest::screenRect(server); return m_view.width() > 200 && m_view.height() > 200; }, 10000));
    }

    // Clicks the tool button of an action, as the operator does; an action the tool bar of this
    // display mode does not show (planning and user-object modes) is toggled.
    void clickToolButton(const char* actionName, bool mayBeHidden = false)
    {
        QAction* action = nullptr;
        for (QAction* candidate : s_underTest->window()->findChildren<QAction*>())
            if (candidate->text() == QLatin1String(actionName))
                action = candidate;
        ASSERT_NE(action, nullptr) << actionName;
        QWidget* button = nullptr;
        for (QToolBar* bar : s_underTest->window()->findChildren<QToolBar*>())
            if (QWidget* w = bar->widgetForAction(action); w && w->isVisible())
                button = w;
        if (!button && mayBeHidden) {
            action->toggle();
            return;
        }
        ASSERT_NE(button, nullptr) << actionName << " has no visible tool button";
        const bool wasChecked = action->isChecked();
        ASSERT_TRUE(moveTo(button->mapToGlobal(button->rect().center())));
        ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
        ASSERT_TRUE(corvtest::waitUntil([&] { return action->isChecked() != wasChecked; }, 5000)) << actionName;
    }

    QJsonObject camera()
    {
        return m_control.state().value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("camera")).toObject();
    }

    // The screen once the sketch has drawn its next frame.
    QString screenshot(const char* name)
    {
        QElapsedTimer drawn;
        drawn.start();
        corvtest::waitUntil([&] { return drawn.elapsed() > 500; }, 2000);
        const QString path = corvtest::scratchDir() + QLatin1Char('/') + QLatin1String(name);
        QGuiApplication::primaryScreen()->grabWindow(0).save(path);
        return path;
    }

    double metresPerPixel() { return camera().value(QStringLiteral("viewportHeight")).toDouble() / m_view.height(); }

    qint64 lastSeq(const char* dir)
    {
        return m_control.entries(QLatin1String(dir)).last().toObject().value(QStringLiteral("seq")).toVariant().toLongLong();
    }

    static corvtest::WindowWithViewer* s_underTest;
    static QProcess* s_windowManager;
    orlex_standin::StandinControl m_control;
    QRect m_view; // the viewer's window on the screen
};

corvtest::WindowWithViewer* PointerRoadsTest::s_underTest = nullptr;
QProcess* PointerRoadsTest::s_windowManager = nullptr;

// Measure Distance, then a drag 150 pixels east across the view: the label the program puts there
// gives the distance those pixels cover at the camera's height, heading 90 degrees.
TEST_F(PointerRoadsTest, MeasuredDistanceShowsInTheLabel)
{
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Measure Distance"));
    ASSERT_TRUE(m_control.waitFor(QStringLiteral("in"), orlex_standin::coreType("SetInteractionModeMessage"), 0, 5000));
    const qint64 from = m_control.entries(QStringLiteral("in")).last().toObject().value(QStringLiteral("seq")).toVariant().toLongLong();
    const double metresPerPixel = camera().value(QStringLiteral("viewportHeight")).toDouble() / m_view.height();

    const QPoint start = m_view.center() - QPoint(75, 0);
    ASSERT_TRUE(moveTo(start));
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(moveTo(start + QPoint(80, 0)));
    ASSERT_TRUE(moveTo(start + QPoint(150, 0)));
    ASSERT_TRUE(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));

    // The result label: "<distance>m <heading>deg".
    QString text;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (const QJsonValue& entry : m_control.entries(QStringLiteral("in"), orlex_standin::coreType("CreateLabelMessage"), from)) {
            const QJsonObject data = fieldOf(entry.toObject().value(QStringLiteral("body")).toObject(), 1).toObject();
            text = fieldOf(data, 0).toString();
        }
        return text.endsWith(QLatin1String("deg"));
    }, 10000)) << qPrintable(screenshot("measure-failed.png")) << " "
               << qPrintable(QJsonDocument(m_control.entries(QStringLiteral("in"), orlex_standin::coreType("CreateLabelMessage"), from)).toJson());
    const QString shot = screenshot("measured.png");
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^([0-9.]+)m ([0-9.]+)deg$")).match(text);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(text);
    EXPECT_NEAR(match.captured(1).toDouble(), 150 * metresPerPixel, 0.02 * 150 * metresPerPixel) << qPrintable(shot);
    EXPECT_NEAR(match.captured(2).toDouble(), 90.0, 1.0);
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Measure Distance"));
}

// Position Under Cursor, then the pointer in the view: the tooltip follows it with the position
// the viewer reported there.
TEST_F(PointerRoadsTest, ReadOutFollowsThePointer)
{
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle Position Under Cursor"));
    for (const QPoint& offset : {QPoint(-100, -60), QPoint(120, 80)}) {
        const qint64 from = m_control.entries(QStringLiteral("out")).last().toObject().value(QStringLiteral("seq")).toVariant().toLongLong() + 1;
        ASSERT_TRUE(moveTo(m_view.center() + offset));
        const auto moved = m_control.waitFor(QStringLiteral("out"), orlex_standin::coreType("MouseMovedMessage"), from, 5000);
        ASSERT_TRUE(moved);
        const QJsonObject at = fieldOf(moved->value(QStringLiteral("body")).toObject(), 1).toArray().first().toObject();
        const qint64 east = static_cast<qint64>(fieldOf(at, 0).toDouble()), north = static_cast<qint64>(fieldOf(at, 1).toDouble());
        QString shown;
        const bool readOut = corvtest::waitUntil([&] {
            shown = QToolTip::isVisible() ? QToolTip::text() : QString();
            return shown.startsWith(QLatin1String("East/North: ")) || shown.startsWith(QLatin1String("Lat/Lon: "));
        }, 5000);
        const QString shot = screenshot("readout.png");
        ASSERT_TRUE(readOut) << qPrintable(shown) << ", see " << qPrintable(shot);
        if (shown.startsWith(QLatin1String("East/North: "))) {
            EXPECT_EQ(shown, QStringLiteral("East/North: %1, %2").arg(east).arg(north));
        }
    }
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle Position Under Cursor"));
}

// A plan job opened, planning mode on, a right-click on a plan line: the planning menu offers the
// line's entries, and "Reverse line" chosen with the pointer reaches the planning library.
TEST_F(PointerRoadsTest, PlanLineMenuEntryChangesThePlan)
{
    const QJsonArray centre = camera().value(QStringLiteral("position")).toArray();
    const double x = centre.at(0).toDouble(), y = centre.at(1).toDouble(), half = 100 * metresPerPixel();
    const QString job = corvtest::scratchDir() + QStringLiteral("/pointer.asciiplan");
    QFile file(job);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("ASCIIPLAN 1\nLINE 1\nP %1 %2\nP %3 %2\nEND\n").arg(x - half, 0, 'f', 2).arg(y, 0, 'f', 2)
                   .arg(x + half, 0, 'f', 2).toUtf8());
    file.close();
    JobPrompter prompter;
    prompter.job = job;
    CPrompter* previous = CPrompter::install(&prompter);
    QAction* open = nullptr;
    for (QAction* candidate : s_underTest->window()->findChildren<QAction*>())
        if (candidate->text() == QLatin1String("Open Job"))
            open = candidate;
    ASSERT_NE(open, nullptr);
    open->trigger();
    CPrompter::install(previous);
    const QString log = corvtest::scratchDir() + QStringLiteral("/planning.jsonl");
    ASSERT_TRUE(corvtest::waitUntil([&] { return fileText(log).contains("__openjob__"); }, 10000));
    // The plan's line is drawn in the view.
    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (const QJsonValue& object : m_control.state().value(QStringLiteral("objects")).toArray())
            if (object.toObject().value(QStringLiteral("id")).toString() == QLatin1String("1"))
                return true;
        return false;
    }, 10000));

    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle Planning mode", true));
    const QString shot = corvtest::scratchDir() + QStringLiteral("/plan-menu.png");
    MenuChooser chooser(QStringLiteral("Reverse line"), shot);
    ASSERT_TRUE(moveTo(m_view.center() + QPoint(30, 0)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(corvtest::waitUntil([&] { return chooser.chosen() || !chooser.entries().isEmpty(); }, 10000)) << "no menu";
    EXPECT_TRUE(chooser.entries().contains(QStringLiteral("Make parallels"))) << qPrintable(chooser.entries().join(QLatin1Char(',')));
    ASSERT_TRUE(chooser.chosen()) << qPrintable(shot);
    EXPECT_TRUE(corvtest::waitUntil([&] { return fileText(log).contains("__reverseLine__"); }, 10000)) << qPrintable(fileText(log));
    screenshot("plan-reversed.png");
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle Planning mode", true));
}

// User-object mode, "Line" from the view's menu, then three points clicked, the last twice: the
// object library gets a line of three points and the view shows it.
TEST_F(PointerRoadsTest, DrawnUserLineReachesTheObjectLibrary)
{
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle User Objects mode", true));
    const QString shot = corvtest::scratchDir() + QStringLiteral("/user-menu.png");
    const qint64 from = lastSeq("in");
    MenuChooser chooser(QStringLiteral("Line"), shot);
    ASSERT_TRUE(moveTo(m_view.center() + QPoint(-150, 120)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(corvtest::waitUntil([&] { return chooser.chosen() || !chooser.entries().isEmpty(); }, 10000)) << "no menu";
    ASSERT_TRUE(chooser.chosen()) << qPrintable(chooser.entries().join(QLatin1Char(',')));
    // Drawing mode.
    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (const QJsonValue& entry : m_control.entries(QStringLiteral("in"), orlex_standin::coreType("SetInteractionModeMessage"), from))
            if (fieldOf(entry.toObject().value(QStringLiteral("body")).toObject(), 0).toInt() == 3)
                return true;
        return false;
    }, 10000));

    for (const QPoint& at : {QPoint(-150, 120), QPoint(-60, 160)}) {
        ASSERT_TRUE(moveTo(m_view.center() + at));
        ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
        ASSERT_TRUE(xdotool({QStringLiteral("sleep"), QStringLiteral("0.4")})); // no double-click of the two
    }
    ASSERT_TRUE(moveTo(m_view.center() + QPoint(20, 110)));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                         QStringLiteral("80"), QStringLiteral("1")}));
    const QString log = corvtest::scratchDir() + QStringLiteral("/objects.jsonl");
    QJsonObject added;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (const QByteArray& line : fileText(log).split('\n'))
            if (line.contains("newDremmLine"))
                added = QJsonDocument::fromJson(line).object();
        return !added.isEmpty();
    }, 10000)) << qPrintable(fileText(log));
    screenshot("user-line.png");
    // Longitude and latitude of each of the three points.
    EXPECT_EQ(added.value(QStringLiteral("points")).toArray().size(), 6) << qPrintable(QJsonDocument(added).toJson());
    EXPECT_TRUE(added.value(QStringLiteral("store")).toBool());
    ASSERT_NO_FATAL_FAILURE(clickToolButton("Toggle User Objects mode", true));
}

} // namespace

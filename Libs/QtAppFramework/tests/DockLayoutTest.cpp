#include "QtAppFramework/AppDockWidget.h"
#include "QtAppFramework/LayoutFile.h"
#include "QtAppFramework/NestedMainWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>

namespace {

QString nativeOf(const QString& strWinPath)
{
    return QDir(qEnvironmentVariable("CORV_WINROOT")).filePath(QStringLiteral("c") + strWinPath.mid(2));
}

QByteArray readNative(const QString& strWinPath)
{
    QFile oFile(nativeOf(strWinPath));
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("<missing>");
}

void writeNative(const QString& strWinPath, const QByteArray& baBytes)
{
    QFile oFile(nativeOf(strWinPath));
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    oFile.write(baBytes);
}

// Opens the dock's context menu and runs fnInspect on it while it is shown.
void withContextMenu(CAppDockWidget& oDock, const std::function<void(QMenu*)>& fnInspect)
{
    bool bSeen = false;
    QTimer::singleShot(0, [&] {
        auto* poMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (poMenu) {
            bSeen = true;
            fnInspect(poMenu);
            poMenu->close();
        }
    });
    QContextMenuEvent oEvent(QContextMenuEvent::Mouse, QPoint(5, 5), oDock.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&oDock, &oEvent);
    EXPECT_TRUE(bSeen);
}

QMenu* subMenu(QMenu* poMenu, const QString& strTitle)
{
    for (QAction* poAction : poMenu->actions())
        if (poAction->menu() && poAction->text() == strTitle)
            return poAction->menu();
    return nullptr;
}

QList<QPair<QString, bool>> checkMarks(QMenu* poMenu)
{
    QList<QPair<QString, bool>> lstMarks;
    if (poMenu)
        for (QAction* poAction : poMenu->actions())
            lstMarks.append(qMakePair(poAction->text(), poAction->isCheckable() && poAction->isChecked()));
    return lstMarks;
}

TEST(AppDockWidget, ContextMenuShowsAndTogglesAreasAndFeatures)
{
    QMainWindow oWindow;
    auto* poDock = new CAppDockWidget(QStringLiteral("Pane"), &oWindow, Qt::WindowFlags(), Qt::BottomDockWidgetArea);
    oWindow.addDockWidget(Qt::BottomDockWidgetArea, poDock);
    oWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&oWindow));
    EXPECT_EQ(poDock->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);

    withContextMenu(*poDock, [](QMenu* poMenu) {
        QMenu* poAreas = subMenu(poMenu, QStringLiteral("Allowed Areas"));
        QMenu* poFeatures = subMenu(poMenu, QStringLiteral("Features"));
        ASSERT_NE(poAreas, nullptr);
        ASSERT_NE(poFeatures, nullptr);
        EXPECT_EQ(checkMarks(poAreas), (QList<QPair<QString, bool>>{{QStringLiteral("Top"), false},
                                                                    {QStringLiteral("Right"), false},
                                                                    {QStringLiteral("Bottom"), true},
                                                                    {QStringLiteral("Left"), false}}));
        EXPECT_EQ(checkMarks(poFeatures), (QList<QPair<QString, bool>>{{QStringLiteral("Closable"), true},
                                                                       {QStringLiteral("Movable"), true},
                                                                       {QStringLiteral("Floatable"), true},
                                                                       {QStringLiteral("VerticalTitleBar"), false}}));
        poAreas->actions().at(0)->trigger();    // Top on
        poAreas->actions().at(2)->trigger();    // Bottom off
        poFeatures->actions().at(2)->trigger(); // Floatable off
    });
    EXPECT_EQ(poDock->allowedAreas(), Qt::TopDockWidgetArea);
    EXPECT_EQ(poDock->features(), QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    // The next opening shows the new state.
    withContextMenu(*poDock, [](QMenu* poMenu) {
        EXPECT_EQ(checkMarks(subMenu(poMenu, QStringLiteral("Features"))).at(2),
                  qMakePair(QStringLiteral("Floatable"), false));
    });
}

// A nested window with a tool bar and two docks, shown at a known size.
class NestedLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(nativeOf(QStringLiteral("C:/layouts")));
        m_oWindow.setCentralWidget(new QLabel(QStringLiteral("map")));
        m_poToolBar = m_oWindow.addToolBar(QStringLiteral("Tools"));
        m_poToolBar->setObjectName(QStringLiteral("tools"));
        m_poToolBar->addAction(QStringLiteral("Zoom"));
        m_poLeft = new CAppDockWidget(QStringLiteral("Left"), &m_oWindow);
        m_poLeft->setObjectName(QStringLiteral("leftDock"));
        m_poLeft->setWidget(new QLabel(QStringLiteral("left")));
        m_poBottom = new CAppDockWidget(QStringLiteral("Bottom"), &m_oWindow);
        m_poBottom->setObjectName(QStringLiteral("bottomDock"));
        m_poBottom->setWidget(new QLabel(QStringLiteral("bottom")));
        m_oWindow.addDockWidget(Qt::LeftDockWidgetArea, m_poLeft);
        m_oWindow.addDockWidget(Qt::BottomDockWidgetArea, m_poBottom);
        m_oWindow.setGeometry(100, 120, 800, 600);
        m_oWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_oWindow));
    }

    // The window's geometry record with the window moved elsewhere, of the same length.
    QByteArray movedGeometry()
    {
        const QRect oOld = m_oWindow.geometry();
        m_oWindow.setGeometry(10, 20, 300, 200);
        const QByteArray baGeometry = m_oWindow.saveGeometry();
        m_oWindow.setGeometry(oOld);
        return baGeometry;
    }

    enum class HostileState { AreaIndex, LineCount, NameLength, Nesting };
    // Window state records that Qt's reader would index out of bounds with, loop on or allocate
    // for.
    static QByteArray hostileState(HostileState eKind)
    {
        QByteArray baState;
        QDataStream oStream(&baState, QIODevice::WriteOnly);
        oStream << qint32(0xff) << qint32(0);
        switch (eKind) {
        case HostileState::AreaIndex:
            oStream << quint8(0xfd) << qint32(1) << qint32(7) << QSize(100, 100) << quint8(0xfc) << quint8(1) << qint32(0)
                    << QSize(100, 100) << qint32(1) << qint32(2) << qint32(4) << qint32(8);
            break;
        case HostileState::LineCount:
            oStream << quint8(0xfc) << qint32(0x7fffffff) << qint32(0) << qint32(0);
            break;
        case HostileState::NameLength:
            oStream << quint8(0xfc) << qint32(1) << qint32(0) << qint32(1) << quint32(0xfffffff0) << QByteArray(64, 'a');
            break;
        case HostileState::Nesting:
            oStream << quint8(0xfd) << qint32(1) << qint32(0) << QSize(100, 100);
            for (int i = 0; i < 40; ++i)
                oStream << quint8(0xfc) << quint8(1) << qint32(1) << quint8(0xfc) << qint32(0) << qint32(10) << qint32(0)
                        << qint32(0);
            oStream << quint8(0xfc) << quint8(1) << qint32(0) << QSize(100, 100) << qint32(1) << qint32(2) << qint32(4)
                    << qint32(8);
            break;
        }
        return baState;
    }

    int m_nData = 7;
    CNestedMainWindow m_oWindow{128, &m_nData};
    QToolBar* m_poToolBar = nullptr;
    CAppDockWidget* m_poLeft = nullptr;
    CAppDockWidget* m_poBottom = nullptr;
};

TEST_F(NestedLayout, SavedLayoutLoadsBackToTheSameGeometryAndDocks)
{
    QString strName = QStringLiteral("C:/layouts/map");
    EXPECT_TRUE(m_oWindow.saveLayout(strName).isEmpty());
    EXPECT_EQ(strName, QStringLiteral("C:/layouts/map"));

    const QByteArray baFile = readNative(QStringLiteral("C:/layouts/map.qel5"));
    const QByteArray baGeometry = m_oWindow.saveGeometry();
    const QByteArray baState = m_oWindow.saveState(0);
    ASSERT_GT(baFile.size(), 1);
    EXPECT_EQ(static_cast<unsigned char>(baFile.at(0)), baGeometry.size());
    EXPECT_EQ(baFile.mid(1, baGeometry.size()), baGeometry);
    EXPECT_EQ(baFile.mid(1 + baGeometry.size()), baState);

    m_oWindow.removeDockWidget(m_poLeft);
    m_oWindow.addDockWidget(Qt::RightDockWidgetArea, m_poLeft);
    m_poLeft->show();
    m_poToolBar->hide();
    m_oWindow.setGeometry(50, 60, 500, 400);
    ASSERT_NE(m_oWindow.saveState(0), baState);

    QString strLoad = QStringLiteral("C:/layouts/map.qel5");
    EXPECT_EQ(m_oWindow.loadLayout(strLoad), QString());
    EXPECT_EQ(m_oWindow.dockWidgetArea(m_poLeft), Qt::LeftDockWidgetArea);
    EXPECT_FALSE(m_poToolBar->isHidden());
    EXPECT_EQ(m_oWindow.geometry(), QRect(100, 120, 800, 600));
    EXPECT_EQ(m_oWindow.saveGeometry(), baGeometry);
    EXPECT_EQ(m_oWindow.saveState(0), baState);
}

TEST_F(NestedLayout, ExtensionIsAddedUnlessTheNameEndsWithIt)
{
    struct Case { const char* szGiven; const char* szWritten; };
    const Case aCases[] = {
        {"C:/layouts/plain", "C:/layouts/plain.qel5"},
        {"C:/layouts/exact.qel5", "C:/layouts/exact.qel5"},
        {"C:/layouts/upper.QEL5", "C:/layouts/upper.QEL5.qel5"},
    };
    for (const Case& c : aCases) {
        QString strName = QString::fromLatin1(c.szGiven);
        EXPECT_TRUE(m_oWindow.saveLayout(strName).isEmpty()) << c.szGiven;
        EXPECT_TRUE(QFile::exists(nativeOf(QString::fromLatin1(c.szWritten)))) << c.szWritten;
        EXPECT_TRUE(m_oWindow.loadLayout(strName).isEmpty()) << c.szGiven;
    }
    EXPECT_FALSE(QFile::exists(nativeOf(QStringLiteral("C:/layouts/upper.QEL5"))));
    EXPECT_EQ(CLayoutFile::completeName(QStringLiteral("main"), QStringLiteral(".cvn")), QStringLiteral("main.cvn"));
}

TEST_F(NestedLayout, ShortOrDamagedFilesAreReportedAndLeaveTheDocks)
{
    const QByteArray baGeometry = m_oWindow.saveGeometry();
    const QByteArray baState = m_oWindow.saveState(0);
    const char cLength = static_cast<char>(baGeometry.size());
    struct Case { const char* szName; QByteArray baFile; };
    const Case aCases[] = {
        {"empty file", QByteArray()},
        {"length byte only", QByteArray(1, '\0')},
        {"length beyond the end", QByteArray(1, static_cast<char>(200)) + QByteArray(10, 'x')},
        {"geometry without state", QByteArray(1, cLength) + baGeometry},
        {"damaged geometry", QByteArray(1, '\5') + "abcde" + baState},
        {"damaged state", QByteArray(1, cLength) + baGeometry + "not a state"},
        // A good head and garbage after it: the geometry alone would be taken.
        {"garbage after the geometry", QByteArray(1, cLength) + movedGeometry() + QByteArray(40, '\x7f')},
        {"good state, garbage appended", QByteArray(1, cLength) + movedGeometry() + baState + "\x01\x02"},
        {"dock area index out of range", QByteArray(1, cLength) + movedGeometry() + hostileState(HostileState::AreaIndex)},
        {"endless tool-bar lines", QByteArray(1, cLength) + movedGeometry() + hostileState(HostileState::LineCount)},
        {"name of 4 GB", QByteArray(1, cLength) + movedGeometry() + hostileState(HostileState::NameLength)},
        {"docks nested 40 deep", QByteArray(1, cLength) + movedGeometry() + hostileState(HostileState::Nesting)},
        {"state of another version", QByteArray(1, cLength) + movedGeometry() + m_oWindow.saveState(3)},
    };
    m_oWindow.removeDockWidget(m_poLeft);
    m_oWindow.addDockWidget(Qt::RightDockWidgetArea, m_poLeft);
    m_poLeft->show();
    const QRect oGeometry = m_oWindow.geometry();
    const QByteArray baStateBefore = m_oWindow.saveState(0);
    for (const Case& c : aCases) {
        writeNative(QStringLiteral("C:/layouts/bad.qel5"), c.baFile);
        QString strName = QStringLiteral("C:/layouts/bad");
        EXPECT_EQ(m_oWindow.loadLayout(strName), QStringLiteral("Error reading C:/layouts/bad.qel5")) << c.szName;
        EXPECT_EQ(m_oWindow.dockWidgetArea(m_poLeft), Qt::RightDockWidgetArea) << c.szName;
        EXPECT_EQ(m_oWindow.geometry(), oGeometry) << c.szName;
        EXPECT_EQ(m_oWindow.saveState(0), baStateBefore) << c.szName;
    }

    QString strMissing = QStringLiteral("C:/layouts/missing");
    EXPECT_TRUE(m_oWindow.loadLayout(strMissing).startsWith(QStringLiteral("Failed to open C:/layouts/missing.qel5\n")));
}

// A geometry that passed the format checks but is larger than every screen is kept within them;
// a window pushed far off the screens comes back onto them.
TEST_F(NestedLayout, GeometryIsKeptWithinTheScreens)
{
    const QRect oArea = QGuiApplication::primaryScreen()->availableGeometry();
    const QByteArray baState = m_oWindow.saveState(0);
    struct Case { const char* szName; QRect oSaved; };
    const Case aCases[] = {
        {"32767 wide", QRect(0, 0, 32767, 480)},
        {"far off to the right and down", QRect(30000, 30000, 400, 300)},
    };
    for (const Case& c : aCases) {
        QWidget oProbe;
        oProbe.setGeometry(c.oSaved);
        QByteArray baGeometry = oProbe.saveGeometry();
        writeNative(QStringLiteral("C:/layouts/huge.qel5"), QByteArray(1, static_cast<char>(baGeometry.size())) + baGeometry + baState);
        QString strName = QStringLiteral("C:/layouts/huge");
        EXPECT_TRUE(m_oWindow.loadLayout(strName).isEmpty()) << c.szName;
        EXPECT_LE(m_oWindow.width(), oArea.width()) << c.szName;
        EXPECT_LE(m_oWindow.height(), oArea.height()) << c.szName;
        EXPECT_TRUE(m_oWindow.geometry().intersects(oArea)) << c.szName;
    }
}

TEST_F(NestedLayout, FailedSavesKeepThePreviousFile)
{
    QString strName = QStringLiteral("C:/layouts/keep.qel5");
    ASSERT_TRUE(m_oWindow.saveLayout(strName).isEmpty());
    const QByteArray baBefore = readNative(strName);

    // A geometry the length byte cannot hold is refused, not wrapped.
    const QString strError = CLayoutFile::write(strName, QByteArray(300, 'g'), m_oWindow.saveState(0));
    EXPECT_TRUE(strError.startsWith(QStringLiteral("Error writing to C:/layouts/keep.qel5\n"))) << strError.toStdString();
    EXPECT_EQ(readNative(strName), baBefore);
    EXPECT_EQ(QDir(nativeOf(QStringLiteral("C:/layouts"))).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("keep")),
              QStringList{QStringLiteral("keep.qel5")});

    QString strNoFolder = QStringLiteral("C:/no such folder/x");
    EXPECT_TRUE(m_oWindow.saveLayout(strNoFolder).startsWith(QStringLiteral("Failed to open C:/no such folder/x.qel5\n")));
}

} // namespace

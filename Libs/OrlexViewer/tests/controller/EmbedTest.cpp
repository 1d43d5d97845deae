// On X the server's window ends up inside the map pane. Also: ORLEXMENU adds the context-menu
// key, display mode 1 has no vessel, and a CAMTIMER that is not a number polls once a second.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"

#include "OrlexQtClient/OrlexHostWindow.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QGuiApplication>
#include <QWidget>

using viewertest::ControllerHarness;

TEST(ControllerEmbedding, TheServersWindowLivesInTheMapPane)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ControllerHarness harness;
    ASSERT_TRUE(harness.startServer());
    COrlexViewer* pViewer = harness.startController();

    const auto hosts = harness.pane()->findChildren<Dremm::Orlex::QtClient::OrlexHostWindow*>();
    ASSERT_EQ(hosts.size(), 1);
    const Dremm::Orlex::QtClient::OrlexHostWindow* pHost = hosts.first();
    EXPECT_EQ(pHost->parentWidget(), harness.pane());

    // The window container around the server's window is the host's only child widget.
    const auto containers = pHost->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(containers.size(), 1);
    const QJsonObject state = harness.control().state();
    const QJsonArray windows = state.value(QStringLiteral("windows")).toArray();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows.first().toObject().value(QStringLiteral("viewer")).toInt(), pHost->viewerId());

    const QJsonObject configuration =
        state.value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("configuration")).toObject();
    EXPECT_EQ(configuration.size(), 17);
    EXPECT_EQ(configuration.value(QStringLiteral("ContextMenuEnabled")).toString(), QStringLiteral("true"));

    // Display mode 1: no vessel cube, no ship model.
    const qint64 nLive = harness.mark();
    pViewer->initViewer(1);
    EXPECT_EQ(pViewer->getShipModel(), nullptr);

    // CAMTIMER=abc polls at the default second.
    ASSERT_TRUE(viewertest::waitUntil(
        [&] { return harness.received(QStringLiteral("QueryNavigationStateMessage"), nLive).size() >= 2; }, 4000));
    EXPECT_TRUE(harness.received(QStringLiteral("CreateCubeMessage"), nLive).isEmpty());
    const QList<QJsonObject> queries = harness.received(QStringLiteral("QueryNavigationStateMessage"), nLive);
    auto time = [](const QJsonObject& entry) {
        return QDateTime::fromString(entry.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
    };
    const qint64 nGap = time(queries[1]) - time(queries[0]);
    EXPECT_GE(nGap, 800);
    EXPECT_LE(nGap, 1300);

    COrlexViewer::destroyInstance();
}

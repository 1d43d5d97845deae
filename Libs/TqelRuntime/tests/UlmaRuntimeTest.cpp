// The runtime link object: one per process, its station mode, the multicast group chosen by
// sounder model, and its life on a thread of its own.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "platform/paths.h"
#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPointer>
#include <QThread>

namespace {

QString runtimeGroup()
{
    return QLatin1String(GuiIni::GroupRuntime);
}

TEST(UlmaRuntime, MulticastGroupBySounderModel)
{
    const QPair<int, const char*> aCases[] = {{110, "225.1.13.14"},  {330, "225.1.13.34"},  {770, "225.1.13.71"},
                                              {2200, "225.1.13.24"}, {2201, "225.1.13.24"}, {2202, "225.1.13.24"},
                                              {2205, "225.1.13.24"}, {2203, "225.1.13.37"}, {0, "225.1.13.37"}};
    for (const auto& oCase : aCases)
        EXPECT_EQ(CUlmaRuntime::multicastGroupForModel(oCase.first), QLatin1String(oCase.second)) << oCase.first;
}

// One runtime link for the whole process: the steps of its life in order.
TEST(UlmaRuntime, LifeOfTheOneLink)
{
    corvtest::prepareScratch();
    platform::ensureWindowsEnvironment();
    ASSERT_TRUE(GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvMcastGrp"), QStringLiteral("239.1.1.1")));
    // The link opens its sockets: on ports of this test's own.
    ASSERT_TRUE(GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvPortAdd"), 600));
    ASSERT_TRUE(GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvNoMCAST"), true));

    CUlmaRuntime* poLink = CUlmaRuntime::instance(4);
    ASSERT_NE(poLink, nullptr);
    EXPECT_EQ(CUlmaRuntime::instance(0), poLink);
    EXPECT_EQ(poLink->stationMode(), 4);
    EXPECT_EQ(poLink->parent(), nullptr);
    EXPECT_EQ(poLink->multicastGroup(), QStringLiteral("239.1.1.1"));
    EXPECT_EQ(poLink->getVesselId(), QStringLiteral("default"));
    EXPECT_EQ(poLink->getVesselGridPath(QStringLiteral("Vessel 7")), QString());

    // On its own thread: calls from here are queued to it.
    QThread oThread;
    poLink->moveToThread(&oThread);
    QObject::connect(&oThread, &QThread::finished, poLink, &QObject::deleteLater);
    QPointer<CUlmaRuntime> poWatch(poLink);
    oThread.start();

    ASSERT_TRUE(QMetaObject::invokeMethod(poLink, "setCorvGrp", Qt::BlockingQueuedConnection, Q_ARG(int, 330)));
    EXPECT_EQ(GuiIni::value(runtimeGroup(), QStringLiteral("CorvModel")).toInt(), 330);
    // The configured group still wins over the model's.
    EXPECT_EQ(poLink->multicastGroup(), QStringLiteral("239.1.1.1"));
    GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvMcastGrp"), QString());
    QMetaObject::invokeMethod(poLink, "setCorvGrp", Qt::BlockingQueuedConnection, Q_ARG(int, 770));
    EXPECT_EQ(poLink->multicastGroup(), QStringLiteral("225.1.13.71"));
    ASSERT_TRUE(QMetaObject::invokeMethod(poLink, "shutdown", Qt::BlockingQueuedConnection));

    // The link ends with its thread, and no one reaches a destroyed link afterwards.
    oThread.quit();
    ASSERT_TRUE(oThread.wait(10000));
    EXPECT_TRUE(poWatch.isNull());
    EXPECT_EQ(CUlmaRuntime::instance(4), nullptr);
}

} // namespace

// The start-up ends the program when the viewer cannot be had: no server means no host window
// (exit code -2), and a projection PROJ refuses ends the event loop with 1 before anything of the
// live view is sent.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"

#include "Common/CorvPaths.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

using viewertest::ControllerHarness;

namespace {

// Closes the next modal box, remembering its title and text.
struct BoxCloser
{
    QString strTitle;
    QString strText;

    void arm()
    {
        QTimer::singleShot(50, [this] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!pBox) {
                arm();
                return;
            }
            strTitle = pBox->windowTitle();
            strText = pBox->text();
            pBox->accept();
        });
    }
};

} // namespace

TEST(ControllerFailureDeathTest, NoServerEndsTheProgramWithMinusTwo)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            ControllerHarness harness; // no server started
            COrlexViewer* pViewer = COrlexViewer::instance(QStringLiteral("dremmCorv"));
            if (!pViewer || pViewer->getDispatcher())
                std::exit(10);
            pViewer->removeObject(5); // nothing to send to: no harm
            pViewer->moveToArea(1, 2, 3);
            BoxCloser closer;
            closer.arm();
            harness.startController(); // the critical box, then the end
            std::exit(11);
        },
        ::testing::ExitedWithCode(254), "");
}

TEST(ControllerFailure, ARefusedProjectionEndsTheEventLoopWithOne)
{
    ControllerHarness harness;
    QFile file(platform::toNativePath(programDataPath() + QStringLiteral("qel_projv6.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=nosuchprojection +units=cm\r\n");
    file.close();
    ASSERT_TRUE(harness.startServer());
    COrlexViewer* pViewer = harness.startController();
    harness.sync();
    const qint64 nFrom = harness.mark();

    BoxCloser closer;
    closer.arm();
    QTimer::singleShot(0, [pViewer] { pViewer->initViewer(3); });
    EXPECT_EQ(QApplication::exec(), 1);
    EXPECT_EQ(closer.strTitle, QStringLiteral("Projection error"));
    EXPECT_EQ(closer.strText, QStringLiteral("Projection is missing or invalid!"));

    harness.sync();
    EXPECT_TRUE(harness.receivedTypes(nFrom, {QStringLiteral("ResizeViewerMessage")}).isEmpty());
    EXPECT_EQ(pViewer->getShipModel(), nullptr);
    COrlexViewer::destroyInstance();
}

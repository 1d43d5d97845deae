// The GUI side of a started survey's projection: taken into the data folder, or refused with a
// warning box while the data folder's file stays.
#include "Common/CorvPaths.h"
#include "TqelRuntime/RuntimeGuiSink.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

namespace {

const QByteArray s_baMercator = "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n";

bool writeFile(const QString& strWindowsPath, const QByteArray& baContent)
{
    const QString strPath = platform::toNativePath(strWindowsPath);
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

QByteArray readFile(const QString& strWindowsPath)
{
    QFile oFile(platform::toNativePath(strWindowsPath));
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("(missing)");
}

QMessageBox* warningBox(const QString& strTitle)
{
    for (QWidget* poWidget : QApplication::topLevelWidgets())
        if (auto* poBox = qobject_cast<QMessageBox*>(poWidget); poBox && poBox->isVisible() && poBox->windowTitle() == strTitle)
            return poBox;
    return nullptr;
}

TEST(PostingGuiSink, SurveyProjectionTakenOrRefused)
{
    corvtest::prepareScratch();
    platform::ensureWindowsEnvironment();
    const QString strDataFile = programDataPath() + QStringLiteral("qel_projv6.txt");
    ASSERT_TRUE(writeFile(strDataFile, "previous"));
    CPostingGuiSink oSink;

    const QString strGood = QStringLiteral("D:/Surveys/Good/qel_projv6.txt");
    ASSERT_TRUE(writeFile(strGood, s_baMercator));
    QStringList lstUsed;
    oSink.applySurveyProjection(strGood, QStringLiteral("D:/Surveys/Good"), [&](const QString& strFile) { lstUsed << strFile; });
    ASSERT_TRUE(corvtest::waitUntil([&] { return !lstUsed.isEmpty(); }));
    EXPECT_EQ(lstUsed, QStringList{strGood});
    EXPECT_EQ(readFile(strDataFile), s_baMercator);

    const QString strBad = QStringLiteral("D:/Surveys/Bad/qel_projv6.txt");
    ASSERT_TRUE(writeFile(strBad, "<QEL_Projection>\r\nEPSG:4326\r\nnot a projection\r\n"));
    oSink.applySurveyProjection(strBad, QStringLiteral("D:/Surveys/Bad"), [&](const QString& strFile) { lstUsed << strFile; });
    ASSERT_TRUE(corvtest::waitUntil([&] { return warningBox(QStringLiteral("Invalid projection")) != nullptr; }));
    EXPECT_EQ(warningBox(QStringLiteral("Invalid projection"))->text(), QStringLiteral("Survey D:/Surveys/Bad has an invalid projection!"));
    EXPECT_EQ(lstUsed.size(), 1);
    EXPECT_EQ(readFile(strDataFile), s_baMercator);
    warningBox(QStringLiteral("Invalid projection"))->close();
}

} // namespace

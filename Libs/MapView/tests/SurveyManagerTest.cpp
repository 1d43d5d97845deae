// The survey manager's tables and file hash, the survey display settings and the map pane's
// status handling.
#include "MapView/MapViewPane.h"
#include "MapView/QaSurveyManager.h"
#include "MapView/SettingsSurvey.h"

#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace {

QString writeFile(const QString& strName, const QByteArray& baContent)
{
    const QString strPath = QDir(corvtest::scratchDir()).filePath(strName);
    QFile oFile(strPath);
    if (!oFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    oFile.write(baContent);
    return strPath;
}

TEST(HashFileText, Fnv1aOfTheTextLow32Bits)
{
    corvtest::prepareScratch();
    EXPECT_EQ(hashFileText(writeFile(QStringLiteral("empty.txt"), QByteArray())), static_cast<int>(0x84222325u));
    // FNV-1a 64 of "a" is 0xAF63DC4C8601EC8C.
    EXPECT_EQ(hashFileText(writeFile(QStringLiteral("a.txt"), "a")), static_cast<int>(0x8601EC8Cu));
    // The text counts, not the bytes: a byte-order mark is dropped.
    const QByteArray baProjection = "<QEL_Projection>\nEPSG:4326\n+proj=merc +datum=WGS84 +units=cm\n";
    EXPECT_EQ(hashFileText(writeFile(QStringLiteral("bom.txt"), "\xEF\xBB\xBF" + baProjection)),
              hashFileText(writeFile(QStringLiteral("plain.txt"), baProjection)));
    EXPECT_EQ(hashFileText(QDir(corvtest::scratchDir()).filePath(QStringLiteral("missing.txt"))), -1);
}

TEST(SurveyManager, ColourTablesReportMissingEntriesWithTheirDefaults)
{
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    int nColour = 0;
    EXPECT_TRUE(poManager->getFlagColor(7, nColour));
    EXPECT_EQ(static_cast<unsigned>(nColour), 0xFFFFFF00u);
    EXPECT_FALSE(poManager->getFlagColor(0, nColour));
    EXPECT_EQ(nColour, 0x0000FF00);
    EXPECT_TRUE(poManager->getSensorColor(9, nColour));
    EXPECT_EQ(nColour, 0x00FFFF00);
    bool bShow = true;
    EXPECT_TRUE(poManager->getSensorShowFlags(9, bShow));
    EXPECT_FALSE(bShow);

    // A new entry made by one setter starts with the other part's default.
    poManager->setSensorShowFlags(12, true);
    EXPECT_FALSE(poManager->getSensorColor(12, nColour));
    EXPECT_EQ(nColour, 0x00FFFF00);
    poManager->setSensorColor(12, 0x11223300);
    EXPECT_FALSE(poManager->getSensorShowFlags(12, bShow));
    EXPECT_TRUE(bShow);
}

TEST(SettingsSurvey, PositionColoursAreReadFromTheSurveyManager)
{
    CSettingsSurvey oGroup(1, QStringLiteral("Survey"), nullptr);
    QVariant vValue;
    oGroup.get(CSettingsSurvey::GridOperation, vValue);
    EXPECT_EQ(vValue, QVariant(1));
    oGroup.get(CSettingsSurvey::GridVariable, vValue);
    EXPECT_EQ(vValue, QVariant(0));

    // Flags 0, 255, 255: blue, red, red, whatever was set.
    oGroup.set(38, QColor(Qt::green));
    const QColor aFlags[] = {Qt::blue, Qt::red, Qt::red};
    for (int i = 0; i < 3; ++i) {
        oGroup.get(38 + i, vValue);
        EXPECT_EQ(vValue.value<QColor>(), aFlags[i]) << 38 + i;
    }
    // Sensor 4 is green, 2 cyan, 9 has no entry and reads cyan.
    const QPair<int, QColor> aSensors[] = {{4, Qt::green}, {2, Qt::cyan}, {9, Qt::cyan}};
    for (const auto& oSensor : aSensors) {
        oGroup.set(43, oSensor.first);
        oGroup.get(44, vValue);
        EXPECT_EQ(vValue.value<QColor>(), oSensor.second) << oSensor.first;
    }
}

TEST(SettingsSurvey, KeysOfTheStore)
{
    CSettingsSurvey oGroup(1, QStringLiteral("Survey"), nullptr);
    const char* szKey = nullptr;
    oGroup.keyName(20, &szKey);
    const QString strTwenty = QString::fromLatin1(szKey);
    oGroup.keyName(21, &szKey);
    EXPECT_EQ(strTwenty, QString::fromLatin1(szKey));
    oGroup.keyName(75, &szKey);
    EXPECT_STREQ(szKey, "HightlightColor");
    oGroup.keyName(78, &szKey);
    EXPECT_EQ(szKey, nullptr);
}

// A pane with the status widgets that the map view may give it.
class MapPaneStatusTest : public ::testing::Test {
protected:
    MapPaneStatusTest()
    {
        m_oPane.setStatusWidgets(&m_oLabel, &m_oProgress);
        m_oPane.show();
        m_oLabel.hide();
        m_oProgress.hide();
    }
    QTimer* statusTimer() const { return m_oPane.findChild<QTimer*>(); }

    QWidget m_oHost;
    QLabel m_oLabel{&m_oHost};
    QProgressBar m_oProgress{&m_oHost};
    CMapViewPane m_oPane;
};

TEST_F(MapPaneStatusTest, ViewerPhasesAreIgnored)
{
    m_oHost.show();
    for (const char* szStatus : {"Generating geometry 45%", "error", "Ready"}) {
        m_oPane.updateStatus(QLatin1String(szStatus), 1, 1);
        EXPECT_TRUE(m_oLabel.isHidden()) << szStatus;
        EXPECT_EQ(statusTimer(), nullptr) << szStatus;
    }
}

TEST_F(MapPaneStatusTest, FinishedWorkHidesTheStatusFiveTicksLater)
{
    m_oHost.show();
    m_oPane.updateStatus(QStringLiteral("Loading"), 3, 10);
    EXPECT_FALSE(m_oLabel.isHidden());
    EXPECT_EQ(m_oProgress.value(), 3);
    EXPECT_EQ(m_oProgress.maximum(), 10);
    EXPECT_EQ(statusTimer(), nullptr);

    m_oPane.updateStatus(QStringLiteral("Loading"), 10, 10);
    ASSERT_NE(statusTimer(), nullptr);
    EXPECT_TRUE(statusTimer()->isActive());
    for (int i = 0; i < 3; ++i)
        m_oPane.timeout();
    // A second finished report restarts the count without a second timer.
    m_oPane.updateStatus(QStringLiteral("Loading"), 0, 0);
    EXPECT_EQ(m_oPane.findChildren<QTimer*>().size(), 1);
    for (int i = 0; i < 4; ++i)
        m_oPane.timeout();
    EXPECT_FALSE(m_oLabel.isHidden());
    m_oPane.timeout();
    EXPECT_TRUE(m_oLabel.isHidden());
    EXPECT_TRUE(m_oProgress.isHidden());
    EXPECT_FALSE(statusTimer()->isActive());
}

} // namespace

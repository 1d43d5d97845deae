// The survey manager's tables and file hash, the survey display settings and the map pane's
// status handling.
#include "MapView/MapViewPane.h"
#include "MapView/QaSurveyManager.h"
#include "MapView/SettingsSurvey.h"
#include "QtAppFramework/PersistentStore.h"
#include "QtAppFramework/SettingsManager.h"

#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
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

TEST(SettingsSurvey, PositionRowsReadAndWriteTheSurveyManagersTables)
{
    CSettingsSurvey oGroup(1, QStringLiteral("Survey"), nullptr);
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    QVariant vValue;
    oGroup.get(CSettingsSurvey::GridOperation, vValue);
    EXPECT_EQ(vValue, QVariant(1));
    oGroup.get(CSettingsSurvey::GridVariable, vValue);
    EXPECT_EQ(vValue, QVariant(0));

    // Flag1 shows quality flag 0, Flag2 flag 255 and Flag3 a flag of its own (none yet: white).
    const QColor aFlags[] = {Qt::blue, Qt::red, Qt::white};
    for (int i = 0; i < 3; ++i) {
        oGroup.get(CSettingsSurvey::PositionLineColorFlag1 + i, vValue);
        EXPECT_EQ(vValue.value<QColor>(), aFlags[i]) << i;
    }
    // A set colour is the flag's colour from then on, and reads back; Flag2 keeps its own.
    oGroup.set(CSettingsSurvey::PositionLineColorFlag3, QColor(Qt::yellow));
    oGroup.get(CSettingsSurvey::PositionLineColorFlag3, vValue);
    EXPECT_EQ(vValue.value<QColor>(), QColor(Qt::yellow));
    oGroup.get(CSettingsSurvey::PositionLineColorFlag2, vValue);
    EXPECT_EQ(vValue.value<QColor>(), QColor(Qt::red));
    oGroup.set(CSettingsSurvey::PositionLineColorFlag1, QColor(Qt::green));
    int nColour = 0;
    EXPECT_FALSE(poManager->getFlagColor(0, nColour));
    EXPECT_EQ(static_cast<unsigned>(nColour), 0x00FF0000u);

    // Sensor 4 is green, 2 cyan, 9 has no entry and reads cyan.
    const QPair<int, QColor> aSensors[] = {{4, Qt::green}, {2, Qt::cyan}, {9, Qt::cyan}};
    for (const auto& oSensor : aSensors) {
        oGroup.set(CSettingsSurvey::PositionSystemSensorId0, oSensor.first);
        oGroup.get(CSettingsSurvey::PositionSystemLineColor0, vValue);
        EXPECT_EQ(vValue.value<QColor>(), oSensor.second) << oSensor.first;
    }
    // The colour row belongs to the sensor named at the time; another sensor keeps its own.
    oGroup.set(CSettingsSurvey::PositionSystemSensorId0, 4);
    oGroup.set(CSettingsSurvey::PositionSystemLineColor0, QColor(Qt::magenta));
    oGroup.set(CSettingsSurvey::PositionSystemShowFlags0, true);
    oGroup.set(CSettingsSurvey::PositionSystemSensorId0, 2);
    // Applying the whole group after switching sensors gives sensor 2 nothing of sensor 4.
    oGroup.applyAll(true);
    oGroup.get(CSettingsSurvey::PositionSystemLineColor0, vValue);
    EXPECT_EQ(vValue.value<QColor>(), QColor(Qt::cyan));
    oGroup.get(CSettingsSurvey::PositionSystemShowFlags0, vValue);
    EXPECT_EQ(vValue, QVariant(false));
    EXPECT_FALSE(poManager->getSensorColor(4, nColour));
    EXPECT_EQ(static_cast<unsigned>(nColour), 0xFF00FF00u);
    bool bShow = false;
    EXPECT_FALSE(poManager->getSensorShowFlags(4, bShow));
    EXPECT_TRUE(bShow);
}

TEST(SettingsSurvey, KeysOfTheStore)
{
    CSettingsSurvey oGroup(1, QStringLiteral("Survey"), nullptr);
    const std::pair<int, const char*> aKeys[] = {
        {20, "PointsColorMapColor"}, {21, "PointsColorMap"}, {38, "PositionLineColorFlag1"}, {75, "HightlightColor"},
        {77, "PlanningGroup"}, {78, nullptr}, {-1, nullptr},
    };
    for (const auto& oKey : aKeys) {
        const char* szKey = "unset";
        oGroup.keyName(oKey.first, &szKey);
        EXPECT_STREQ(szKey, oKey.second) << oKey.first;
    }
}

// Values by "group/key", as a settings file keeps them.
class MemoryStore : public CPersistentStore {
public:
    void write(const QString& strKey, const QVariant& vValue) override { m_mapValues.insert(path(strKey), vValue); }
    void read(const QString& strKey, QVariant& vOut) override { vOut = m_mapValues.value(path(strKey)); }
    void beginGroup(const QString& strName) override { m_strGroup = strName; }
    void endGroup() override { m_strGroup.clear(); }

    QMap<QString, QVariant> m_mapValues;

private:
    QString path(const QString& strKey) const { return m_strGroup + QLatin1Char('/') + strKey; }
    QString m_strGroup;
};

TEST(SettingsSurvey, ValuesSurviveTheStore)
{
    CSettingsSurvey oGroup(1, QStringLiteral("Survey"), nullptr);
    CSettingsManager* poSettings = CSettingsManager::instance();
    poSettings->addGroup(&oGroup);
    const QList<QPair<int, QVariant>> lstValues = {
        {CSettingsSurvey::PointsColorMapColor, QColor(Qt::darkGreen)},
        {CSettingsSurvey::PointsColorMap, 3},
        {CSettingsSurvey::DepthFactor, 2},
        {CSettingsSurvey::TrackLineColor, QColor(10, 20, 30)},
        {CSettingsSurvey::HightlightColor, QColor(Qt::cyan)},
        {CSettingsSurvey::GridVariable, 4},
    };
    for (const auto& oValue : lstValues)
        poSettings->setValue(Survey, oValue.first, oValue.second, true);
    MemoryStore oStore;
    poSettings->save(&oStore);

    CSettingsSurvey oLoaded(1, QStringLiteral("Survey"), nullptr);
    poSettings->addGroup(&oLoaded);
    poSettings->load(&oStore);
    QVariant vValue;
    for (const auto& oValue : lstValues) {
        oLoaded.getValue(oValue.first, vValue, false);
        // GridVariable is written but never read back.
        const QVariant vExpected = oValue.first == CSettingsSurvey::GridVariable ? QVariant(0) : oValue.second;
        EXPECT_EQ(vValue.toString(), vExpected.toString()) << oValue.first;
    }

    // A file of before the two points-colour keys were split: its one value is id 21's.
    MemoryStore oOld;
    oOld.m_mapValues.insert(QStringLiteral("Survey/PointsColorMap"), QStringLiteral("5"));
    CSettingsSurvey oFromOld(1, QStringLiteral("Survey"), nullptr);
    poSettings->addGroup(&oFromOld);
    poSettings->load(&oOld);
    oFromOld.getValue(CSettingsSurvey::PointsColorMap, vValue, false);
    EXPECT_EQ(vValue.toInt(), 5);
    oFromOld.getValue(CSettingsSurvey::PointsColorMapColor, vValue, false);
    EXPECT_EQ(vValue.value<QColor>(), QColor(Qt::red));
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

// The main station's display-station configuration: sounder lists and table, relays, stored
// keys, the "$SETSOUNDER" notice and the display group.
#include "RecordingGuiSink.h"

#include "Common/GuiIni.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSignalSpy>
#include <QUdpSocket>

#include <memory>

namespace {

QString runtimeGroup()
{
    return QLatin1String(GuiIni::GroupRuntime);
}

// A configuration datagram; the fields not given are those of a plain one.
QByteArray guiConf(const QMap<int, QString>& mapFields, int nFields = 17)
{
    QStringList lstFields = {QStringLiteral("$GUICONF"), QStringLiteral("default"), QStringLiteral("AB770_7"),
                             QStringLiteral("AB2200P_101:AB770_7"), QStringLiteral("AB2200P_101:x"),
                             QStringLiteral("f5"), QStringLiteral("f6"), QStringLiteral("f7"), QStringLiteral("10"),
                             QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("42"), QStringLiteral("f12"),
                             QStringLiteral("a:b"), QStringLiteral("D:\\grids\\S1"), QStringLiteral("f15"),
                             QStringLiteral("f16")};
    for (auto it = mapFields.cbegin(); it != mapFields.cend(); ++it)
        lstFields[it.key()] = it.value();
    return (lstFields.mid(0, nFields).join(QLatin1Char(',')) + QStringLiteral("\n\r")).toLatin1();
}

class GuiSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        m_poSink = std::make_shared<RecordingGuiSink>();
        m_poRuntime = std::make_unique<CUlmaRuntime>(3, m_poSink);
        m_poRelays = std::make_unique<QSignalSpy>(m_poRuntime.get(), &CUlmaRuntime::relayToMapView);
    }

    QStringList relays()
    {
        QStringList lstRelays;
        for (const QList<QVariant>& lstArgs : *m_poRelays)
            lstRelays << lstArgs.at(0).toString() + QLatin1Char(':') + lstArgs.at(1).toString();
        m_poRelays->clear();
        return lstRelays;
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    std::unique_ptr<QSignalSpy> m_poRelays;
};

TEST_F(GuiSetup, OwnVesselRelaysStoresAndAnnounces)
{
    QUdpSocket oSetSounder;
    ASSERT_TRUE(oSetSounder.bind(QHostAddress::LocalHost, 4811));

    m_poRuntime->processGUISetup(guiConf({}));

    EXPECT_EQ(relays(), (QStringList{
                            QStringLiteral("450:AB2200P_101:AB770_7;AB770_7"),
                            QStringLiteral("451:AB2200P_101;0;f5;f6;f7;f15;f16"),
                            QStringLiteral("461:AB2200P_101;S1;1"),
                            QStringLiteral("453:AB2200P_101;10;1"),
                            QStringLiteral("454:AB2200P_101;20;1"),
                            QStringLiteral("469:AB2200P_101;30;1"),
                            QStringLiteral("457:AB2200P_101;0042;1"),
                            QStringLiteral("459:AB2200P_101;f12;1"),
                            QStringLiteral("460:AB2200P_101;a:b;1"),
                        }));
    EXPECT_EQ(m_poRuntime->sounderListB(QStringLiteral("default")), (QStringList{"AB2200P_101", "AB770_7"}));
    EXPECT_EQ(m_poRuntime->sounderListA(QStringLiteral("default")), QStringList{"AB770_7"});
    const auto& mapTable = m_poRuntime->sounderTable();
    ASSERT_EQ(mapTable.size(), 2);
    EXPECT_EQ(mapTable.value(QStringLiteral("default:AB2200P_101")).started, 1);
    EXPECT_EQ(mapTable.value(QStringLiteral("default:AB2200P_101")).index, 0);
    EXPECT_EQ(mapTable.value(QStringLiteral("default:AB770_7")).started, 0);
    EXPECT_EQ(mapTable.value(QStringLiteral("default:AB770_7")).index, 1);
    EXPECT_EQ(m_poRuntime->activeModelCode(), 2201);
    EXPECT_EQ(m_poRuntime->activeSerialNumber(), 101);
    EXPECT_EQ(m_poRuntime->activeSounder(), QStringLiteral("AB2200P_101"));
    EXPECT_EQ(m_poRuntime->getVesselGridPath(QStringLiteral("default")), QStringLiteral("D:\\grids\\S1"));
    EXPECT_EQ(m_poRuntime->multicastGroup(), QStringLiteral("225.1.13.24"));
    EXPECT_EQ(GuiIni::value(runtimeGroup(), QStringLiteral("CorvMcastGrpActive"), QString()).toString(),
              QStringLiteral("225.1.13.24"));
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("updateCorvAddr(225.1.13.24)")});

    ASSERT_TRUE(corvtest::waitUntil([&] { return oSetSounder.hasPendingDatagrams(); }, 5000));
    EXPECT_EQ(oSetSounder.receiveDatagram().data(), QByteArray("$SETSOUNDER,default,AB2200P_101"));

    // A later configuration without the first sounder: it leaves the list, its record stays.
    m_poRuntime->processGUISetup(guiConf({{3, QStringLiteral("AB770_7")}, {4, QStringLiteral("AB770_7")}}));
    EXPECT_EQ(m_poRuntime->sounderListB(QStringLiteral("default")), QStringList{"AB770_7"});
    EXPECT_TRUE(m_poRuntime->sounderTable().contains(QStringLiteral("default:AB2200P_101")));
    EXPECT_EQ(m_poRuntime->activeModelCode(), 770);
    EXPECT_EQ(m_poRuntime->multicastGroup(), QStringLiteral("225.1.13.71"));
}

TEST_F(GuiSetup, SettingRelaysBySign)
{
    struct Case {
        const char* e8;
        const char* e9;
        const char* e10;
        const char* e11;
        QStringList relays;
    };
    const Case aCases[] = {
        {"-3", "5", "7", "7", {"453:AB2200P_101;3;0", "454:AB2200P_101;5;0", "469:AB2200P_101;7;0", "457:AB2200P_101;0007;1"}},
        {"3", "-5", "7", "0", {"453:AB2200P_101;3;1", "454:AB2200P_101;5;0", "469:AB2200P_101;7;0", "457:AB2200P_101;0000;1"}},
        {"3", "5", "-7", "12345", {"453:AB2200P_101;3;1", "454:AB2200P_101;5;1", "469:AB2200P_101;7;0", "457:AB2200P_101;12345;1"}},
    };
    for (const Case& oCase : aCases) {
        m_poRuntime->processGUISetup(guiConf({{8, oCase.e8}, {9, oCase.e9}, {10, oCase.e10}, {11, oCase.e11}}));
        QStringList lstSettings;
        for (const QString& strRelay : relays())
            if (QStringList{"453", "454", "469", "457"}.contains(strRelay.left(3)))
                lstSettings << strRelay;
        EXPECT_EQ(lstSettings, oCase.relays) << oCase.e8 << " " << oCase.e9 << " " << oCase.e10;
    }
    // A setting that is not a number stops the configuration there; what came before stays.
    m_poRuntime->processGUISetup(guiConf({{8, QStringLiteral("deep")}}));
    const QStringList lstRelays = relays();
    EXPECT_TRUE(lstRelays.contains(QStringLiteral("461:AB2200P_101;S1;1")));
    EXPECT_FALSE(lstRelays.join(QLatin1Char(' ')).contains(QLatin1String("453:")));
}

TEST_F(GuiSetup, OtherVesselsUnknownSoundersAndShortDatagrams)
{
    struct Case {
        QByteArray datagram;
        QStringList relays;
    };
    const Case aCases[] = {
        // Another vessel: its survey is announced, the rest dropped.
        {guiConf({{1, QStringLiteral("alpha")}}), {QStringLiteral("494:alpha;AB2200P_101;S1;1")}},
        // No active sounder: the lists only (and no 494 even for another vessel).
        {guiConf({{4, QStringLiteral("Unknown")}}), {QStringLiteral("450:AB2200P_101:AB770_7;AB770_7")}},
        {guiConf({{1, QStringLiteral("alpha")}, {4, QString()}}), {}},
        // An empty stopped list: the field as received.
        {guiConf({{2, QString()}, {4, QStringLiteral("Unknown")}}), {QStringLiteral("450:AB2200P_101:AB770_7;")}},
        // Vessel ids and folder names that would leave the grid root are not taken.
        {guiConf({{1, QStringLiteral("../x")}}), {}},
        {guiConf({{1, QStringLiteral("alpha")}, {14, QStringLiteral("D:/grids/..")}}), {}},
        // Too short to hold a survey folder.
        {guiConf({}, 14), {}},
        {"$GUICONF\n\r", {}},
    };
    for (const Case& oCase : aCases) {
        m_poRuntime->processGUISetup(oCase.datagram);
        EXPECT_EQ(relays(), oCase.relays) << oCase.datagram.constData();
    }
    EXPECT_EQ(m_poRuntime->getVesselGridPath(QStringLiteral("alpha")), QStringLiteral("D:\\grids\\S1"));
    EXPECT_EQ(m_poRuntime->getVesselGridPath(QStringLiteral("../x")), QString());
    // Only the vessels' own configurations set the sounder state.
    EXPECT_EQ(m_poRuntime->activeModelCode(), 0);
    EXPECT_TRUE(m_poSink->take().isEmpty());
}

TEST_F(GuiSetup, DisplayGroupByModelOrSetting)
{
    struct Case {
        const char* sounder;
        QVariant configured; // invalid: no key
        const char* group;
        int model;
    };
    const Case aCases[] = {
        {"AB2200P_1", QVariant(), "225.1.13.24", 2201}, {"AB2200C_1", QVariant(), "225.1.13.24", 2205},
        {"AB770_1", QVariant(), "225.1.13.71", 770},    {"AB999_1", QVariant(), "225.1.13.37", 999},
        {"ABxyz_1", QVariant(), "225.1.13.37", 0},      {"AB110", QVariant(), "225.1.13.14", 110},
        {"AB330_1", QString("239.1.1.1"), "239.1.1.1", 330}, {"AB330_1", QString(), "", 330},
    };
    for (const Case& oCase : aCases) {
        QSettings oIni(GuiIni::localPath(), QSettings::IniFormat);
        oIni.remove(runtimeGroup() + QStringLiteral("/CorvMcastGrp"));
        if (oCase.configured.isValid())
            oIni.setValue(runtimeGroup() + QStringLiteral("/CorvMcastGrp"), oCase.configured);
        oIni.sync();
        m_poRuntime->processGUISetup(guiConf({{3, QLatin1String(oCase.sounder)}, {4, QLatin1String(oCase.sounder)}}));
        EXPECT_EQ(m_poRuntime->activeModelCode(), oCase.model) << oCase.sounder;
        EXPECT_EQ(m_poRuntime->multicastGroup(), QLatin1String(oCase.group)) << oCase.sounder;
        EXPECT_EQ(GuiIni::value(runtimeGroup(), QStringLiteral("CorvMcastGrpActive"), QStringLiteral("none")).toString(),
                  QLatin1String(oCase.group));
        EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("updateCorvAddr(%1)").arg(QLatin1String(oCase.group))});
    }
    EXPECT_EQ(m_poRuntime->activeSerialNumber(), 1);
}

} // namespace

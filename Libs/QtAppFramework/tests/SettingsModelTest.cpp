#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"
#include "TestGroup.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

TEST(Setting, BuiltSettingsStartCleanWithTheLiveValues)
{
    CTestGroup oGroup;
    ASSERT_EQ(oGroup.settings().size(), 3);
    for (int i = 0; i < 3; ++i) {
        CSetting* poSetting = oGroup.findSetting(i);
        ASSERT_NE(poSetting, nullptr);
        EXPECT_EQ(poSetting->id(), i);
        EXPECT_EQ(poSetting->value(), QVariant(i * 10));
        EXPECT_EQ(poSetting->appliedValue(), QVariant(i * 10));
        EXPECT_FALSE(poSetting->valueDirty());
    }
    EXPECT_EQ(oGroup.findSetting(1)->key(), QStringLiteral("Second"));
    EXPECT_TRUE(oGroup.m_lstSets.isEmpty());
}

// One action on setting 1 of a fresh group: how many sets and which signals follow.
TEST(Setting, ApplyRevertAndLoadRules)
{
    struct Case {
        const char* szName;
        std::function<void(CTestGroup&)> fnAction;
        int nSets;
        int nSignals;
        QVariant vCurrent;
        QVariant vApplied;
        bool bDirty;
    };
    const std::vector<Case> aCases = {
        {"apply(false) on a clean setting", [](CTestGroup& g) { g.findSetting(1)->apply(false); }, 0, 0, 10, 10, false},
        {"apply(true) on a clean setting", [](CTestGroup& g) { g.findSetting(1)->apply(true); }, 1, 0, 10, 10, false},
        {"edit without apply", [](CTestGroup& g) { g.setValue(1, 7, false); }, 0, 0, 7, 10, true},
        {"edit and apply", [](CTestGroup& g) { g.setValue(1, 7, true); }, 1, 1, 7, 7, false},
        {"edit equal to the applied value", [](CTestGroup& g) { g.setValue(1, 10, true); }, 1, 0, 10, 10, false},
        {"revert after an edit",
         [](CTestGroup& g) {
             g.setValue(1, 7, false);
             g.findSetting(1)->revert();
         },
         0, 0, 10, 10, false},
        {"reload drops an edit",
         [](CTestGroup& g) {
             g.setValue(1, 7, false);
             QVariant vOut;
             g.getValue(1, vOut, true);
         },
         0, 1, 10, 10, false},
        {"load of an invalid live value",
         [](CTestGroup& g) {
             g.m_aLive[1] = QVariant();
             g.findSetting(1)->load();
         },
         0, 1, QVariant(), QVariant(), false},
        {"load with nothing changed", [](CTestGroup& g) { g.findSetting(1)->load(); }, 0, 0, 10, 10, false},
        {"unknown id", [](CTestGroup& g) { g.setValue(9, 7, true); }, 0, 0, 10, 10, false},
    };
    for (const Case& c : aCases) {
        CTestGroup oGroup;
        CSetting* poSetting = oGroup.findSetting(1);
        QSignalSpy oSettingSpy(poSetting, &CSetting::valueChanged);
        QSignalSpy oGroupSpy(&oGroup, &CSettingsGroup::settingValueChanged);
        c.fnAction(oGroup);
        EXPECT_EQ(oGroup.m_lstSets.size(), c.nSets) << c.szName;
        EXPECT_EQ(oSettingSpy.count(), c.nSignals) << c.szName;
        ASSERT_EQ(oGroupSpy.count(), c.nSignals) << c.szName;
        if (c.nSignals > 0) {
            EXPECT_EQ(oGroupSpy.at(0).at(0).toInt(), 64) << c.szName;
            EXPECT_EQ(oGroupSpy.at(0).at(1).value<CSetting*>(), poSetting) << c.szName;
        }
        EXPECT_EQ(poSetting->value(), c.vCurrent) << c.szName;
        EXPECT_EQ(poSetting->appliedValue(), c.vApplied) << c.szName;
        EXPECT_EQ(poSetting->valueDirty(), c.bDirty) << c.szName;
    }
}

TEST(Setting, GetValueGivesTheCurrentValueAndLeavesUnknownIdsAlone)
{
    CTestGroup oGroup;
    oGroup.setValue(2, QStringLiteral("edited"), false);
    QVariant vOut = 99;
    oGroup.getValue(2, vOut, false);
    EXPECT_EQ(vOut, QVariant(QStringLiteral("edited")));
    EXPECT_EQ(oGroup.m_aLive[2], QVariant(20));

    vOut = 99;
    oGroup.getValue(3, vOut, true);
    EXPECT_EQ(vOut, QVariant(99));
}

TEST(SettingsGroup, LoopsVisitIdsBelowTheEntryCountOnly)
{
    CTestGroup oGroup(64, QStringLiteral("Test"), {"First", "Second", "Third", "Fourth", "Fifth", "Sixth"});
    // Ids 0, 1 and 5 remain: three entries, so ids 0..2 are looked up.
    delete oGroup.settings().take(2);
    delete oGroup.settings().take(3);
    delete oGroup.settings().take(4);
    ASSERT_EQ(oGroup.settings().size(), 3);

    oGroup.applyAll(true);
    QList<int> lstIds;
    for (const auto& oSet : oGroup.m_lstSets)
        lstIds.append(oSet.first);
    EXPECT_EQ(lstIds, (QList<int>{0, 1}));
    EXPECT_EQ(oGroup.m_nAfterApply, 1);

    for (int id : {0, 1, 5})
        oGroup.findSetting(id)->setValue(-1);
    oGroup.revertAll();
    EXPECT_EQ(oGroup.findSetting(0)->value(), QVariant(0));
    EXPECT_EQ(oGroup.findSetting(1)->value(), QVariant(10));
    EXPECT_EQ(oGroup.findSetting(5)->value(), QVariant(-1));
}

TEST(SettingsGroup, ApplyAllPushesEditsOnlyUnlessForced)
{
    CTestGroup oGroup;
    oGroup.setValue(2, 5, false);
    oGroup.applyAll(false);
    ASSERT_EQ(oGroup.m_lstSets.size(), 1);
    EXPECT_EQ(oGroup.m_lstSets.at(0), qMakePair(2, QVariant(5)));
    oGroup.applyAll(true);
    EXPECT_EQ(oGroup.m_lstSets.size(), 4);
    EXPECT_EQ(oGroup.m_nAfterApply, 2);
}

TEST(SettingsGroup, AddSettingReplacesByIdAndIgnoresNull)
{
    CTestGroup oGroup;
    oGroup.addSetting(nullptr);
    EXPECT_EQ(oGroup.settings().size(), 3);
    std::unique_ptr<CSetting> poOld(oGroup.findSetting(1));
    auto* poNew = new CAppSetting<CTestGroup>(1, QStringLiteral("Other"));
    oGroup.addSetting(poNew);
    EXPECT_EQ(oGroup.settings().size(), 3);
    EXPECT_EQ(oGroup.findSetting(1), poNew);
}

TEST(SettingsGroup, WarnNotImplementedNamesGroupAndSetting)
{
    static QStringList s_lstMessages;
    s_lstMessages.clear();
    const QtMessageHandler pPrevious = qInstallMessageHandler(
        [](QtMsgType eType, const QMessageLogContext&, const QString& strMsg) {
            if (eType == QtWarningMsg)
                s_lstMessages.append(strMsg);
        });
    CTestGroup oGroup(8, QStringLiteral("Test Group"));
    oGroup.warnNotImplemented(2);
    oGroup.warnNotImplemented(7);
    qInstallMessageHandler(pPrevious);
    EXPECT_EQ(s_lstMessages,
              (QStringList{QStringLiteral("Not Implemented: 8=Test Group 2=Third"),
                           QStringLiteral("Not Implemented: 8=Test Group 7=")}));
}

TEST(SettingsGroup, ColorVariantReadsTheTopThreeBytes)
{
    struct Case { unsigned nArg; QColor oColour; };
    const Case aCases[] = {
        {0xFF000000u, QColor(255, 0, 0)},
        {0xFF0000FFu, QColor(255, 0, 0)},
        {0x12345678u, QColor(0x12, 0x34, 0x56)},
        {0x000000FFu, QColor(0, 0, 0)},
    };
    for (const Case& c : aCases) {
        const QVariant v = colorVariant(c.nArg);
        ASSERT_EQ(v.userType(), QMetaType::QColor);
        EXPECT_EQ(v.value<QColor>(), c.oColour) << std::hex << c.nArg;
        EXPECT_EQ(v.value<QColor>().alpha(), 255);
    }
}

TEST(SettingsManager, RegistryRules)
{
    CSettingsManager* poManager = CSettingsManager::instance();
    ASSERT_EQ(poManager, CSettingsManager::instance());
    const int nBefore = poManager->groups().size();

    CTestGroup oFirst(1000);
    auto poSecond = std::make_unique<CTestGroup>(1000, QStringLiteral("Second"));
    poManager->addGroup(nullptr);
    poManager->addGroup(&oFirst);
    poManager->addGroup(&oFirst);
    poManager->addGroup(poSecond.get());
    EXPECT_EQ(poManager->groups().size(), nBefore + 2);
    EXPECT_EQ(poManager->findGroup(1000), &oFirst);
    EXPECT_EQ(poManager->findGroup(1001), nullptr);

    QVariant vOut = QStringLiteral("untouched");
    poManager->getValue(1001, 0, vOut, false);
    poManager->getValue(1000, 9, vOut, false);
    EXPECT_EQ(vOut, QVariant(QStringLiteral("untouched")));
    poManager->getValue(1000, 2, vOut, false);
    EXPECT_EQ(vOut, QVariant(20));

    poManager->setValue(1000, 1, 55, true);
    EXPECT_EQ(oFirst.m_aLive[1], QVariant(55));
    EXPECT_EQ(poSecond->m_aLive[1], QVariant(10));

    // Both groups of the same id are applied.
    poManager->applyAll(true);
    EXPECT_EQ(oFirst.m_nAfterApply, 1);
    EXPECT_EQ(poSecond->m_nAfterApply, 1);

    // A destroyed group leaves the registry.
    poSecond.reset();
    EXPECT_EQ(poManager->groups().size(), nBefore + 1);
}

} // namespace

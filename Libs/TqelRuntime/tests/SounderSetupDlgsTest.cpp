// The sounder set-up dialogs: two different sounders, per-port serial settings, the sensor
// type's panel, folder choices and the button roles.
#include "TqelRuntime/SounderSetupDlgs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

TEST(CombSounderDlg, TheTwoBoxesNeverShowTheSameSounder)
{
    const struct {
        const char* szWhat;
        QStringList lstSounders;
        int nBox;   // 1 or 2: the box the operator changes
        int nIndex; // what is chosen there
        int nExpected1;
        int nExpected2;
    } aCases[] = {
        {"other sounder: nothing moves", {"A", "B", "C"}, 1, 2, 2, 1},
        {"box 2's sounder pushes box 2 on", {"A", "B", "C"}, 1, 1, 1, 2},
        {"box 1's sounder pushes box 1 on", {"A", "B", "C"}, 2, 0, 1, 0},
        {"at the end of the list box 1 moves back", {"A", "B"}, 2, 0, 1, 0},
    };
    for (const auto& oCase : aCases) {
        CCombSounderDlg oDialog({{QStringLiteral("default"), oCase.lstSounders}, {QStringLiteral("other"), {"X"}}});
        EXPECT_EQ(oDialog.sounder1Box()->currentIndex(), 0);
        EXPECT_EQ(oDialog.sounder2Box()->currentIndex(), 1);
        (oCase.nBox == 1 ? oDialog.sounder1Box() : oDialog.sounder2Box())->setCurrentIndex(oCase.nIndex);
        EXPECT_EQ(oDialog.sounder1Box()->currentIndex(), oCase.nExpected1) << oCase.szWhat;
        EXPECT_EQ(oDialog.sounder2Box()->currentIndex(), oCase.nExpected2) << oCase.szWhat;
    }

    // A, B, C with box 2 on C: choosing C in box 1 moves box 2 back to B.
    CCombSounderDlg oThree({{QStringLiteral("default"), {"A", "B", "C"}}});
    oThree.sounder2Box()->setCurrentIndex(2);
    oThree.sounder1Box()->setCurrentIndex(2);
    EXPECT_EQ(oThree.sounder2Box()->currentIndex(), 1);

    // One sounder: the other box is left with no choice.
    CCombSounderDlg oOne({{QStringLiteral("default"), {"A"}}});
    oOne.sounder2Box()->setCurrentIndex(0);
    EXPECT_EQ(oOne.sounder1Box()->currentIndex(), -1);
    oOne.sounder1Box()->setCurrentIndex(0);
    EXPECT_EQ(oOne.sounder2Box()->currentIndex(), -1);

    // No "default" group: empty boxes.
    CCombSounderDlg oNone({{QStringLiteral("other"), {"A", "B"}}});
    EXPECT_EQ(oNone.sounder1Box()->count(), 0);
}

TEST(CombSounderDlg, OkHandsOverTheChoiceCancelDoesNot)
{
    CCombSounderDlg oDialog({{QStringLiteral("default"), {"A", "B", "C"}}});
    QString strChosen;
    int nCancelled = 0;
    QObject::connect(&oDialog, &CCombSounderDlg::applyClicked, [&](QString& strText) { strChosen = strText; });
    QObject::connect(&oDialog, &CCombSounderDlg::cancelClicked, [&] { ++nCancelled; });
    oDialog.sounder2Box()->setCurrentIndex(2);
    auto* poButtons = oDialog.findChild<QDialogButtonBox*>();
    poButtons->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(strChosen, QStringLiteral("A:C"));
    EXPECT_EQ(oDialog.result(), QDialog::Accepted);
    poButtons->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(nCancelled, 1);
    EXPECT_EQ(oDialog.result(), QDialog::Rejected);
}

TEST(DiskDlg, ButtonRolesDecide)
{
    CDiskDlg oDialog;
    int nApplied = 0;
    int nCancelled = 0;
    QObject::connect(&oDialog, &CDiskDlg::applyClicked, [&] { ++nApplied; });
    QObject::connect(&oDialog, &CDiskDlg::cancelClicked, [&] { ++nCancelled; });
    auto* poButtons = oDialog.findChild<QDialogButtonBox*>();
    poButtons->button(QDialogButtonBox::Ok)->click();
    poButtons->button(QDialogButtonBox::Cancel)->click();
    auto* poHelp = poButtons->addButton(QDialogButtonBox::Help);
    poHelp->click();
    EXPECT_EQ(nApplied, 1);
    EXPECT_EQ(nCancelled, 1);
}

// The folder question answered by the test.
class ScriptedExtSensDlg : public CExtSensDlg {
public:
    QString strAnswer;
    QString strAskedAt;

protected:
    QString askDirectory(const QString& strStart) override
    {
        strAskedAt = strStart;
        return strAnswer;
    }
};

TEST(ExtSensDlg, SerialSettingsAreKeptPerPort)
{
    CExtSensDlg oDialog;
    QComboBox* poPort = oDialog.box("cmbPort");
    oDialog.box("cmbBaud")->setCurrentIndex(3);
    oDialog.box("cmbParity")->setCurrentIndex(2);
    poPort->setCurrentIndex(1); // a port never seen: all zero
    for (const char* szBox : {"cmbBaud", "cmbDataBits", "cmbStopBits", "cmbParity"})
        EXPECT_EQ(oDialog.box(szBox)->currentIndex(), 0) << szBox;
    oDialog.box("cmbStopBits")->setCurrentIndex(1);
    poPort->setCurrentIndex(0);
    EXPECT_EQ(oDialog.box("cmbBaud")->currentIndex(), 3);
    EXPECT_EQ(oDialog.box("cmbParity")->currentIndex(), 2);
    EXPECT_EQ(oDialog.box("cmbStopBits")->currentIndex(), 0);
    EXPECT_EQ(oDialog.portSettings().value(QStringLiteral("COM2")).nStopBits, 1);
    EXPECT_EQ(oDialog.portSettings().value(QStringLiteral("COM1")).nBaud, 3);
}

TEST(ExtSensDlg, TheLastSensorTypeShowsItsPanelAndLocksTheChoice)
{
    CExtSensDlg oDialog;
    QComboBox* poType = oDialog.box("cmbSvType");
    QComboBox* poChoice = oDialog.box("cmbSvChoice");
    poType->setCurrentIndex(poType->count() - 1);
    EXPECT_EQ(poType->currentText(), QStringLiteral("Ext. datagrams (C+T)"));
    EXPECT_FALSE(oDialog.lastTypePanel()->isHidden());
    EXPECT_FALSE(poChoice->isEnabled());
    EXPECT_EQ(poChoice->currentIndex(), -1);
    poType->setCurrentIndex(1);
    EXPECT_TRUE(oDialog.lastTypePanel()->isHidden());
    EXPECT_TRUE(poChoice->isEnabled());
}

TEST(ExtSensDlg, FolderChoicesSetTheirOutputsFlag)
{
    ScriptedExtSensDlg oDialog;
    oDialog.folderField(CExtSensDlg::QXB)->setText(QStringLiteral("/data/qxb"));
    oDialog.onChooseQXB(); // cancelled
    EXPECT_EQ(oDialog.strAskedAt, QStringLiteral("/data/qxb"));
    EXPECT_EQ(oDialog.folderField(CExtSensDlg::QXB)->text(), QStringLiteral("/data/qxb"));
    EXPECT_FALSE(oDialog.qxbOutputChanged());

    oDialog.strAnswer = QStringLiteral("/data/new");
    oDialog.onChooseSeaSrh();
    EXPECT_EQ(oDialog.folderField(CExtSensDlg::SeaSrh)->text(), QStringLiteral("/data/new"));
    EXPECT_TRUE(oDialog.seaOutputChanged());
    EXPECT_FALSE(oDialog.appOutputChanged());
    oDialog.onChooseSPO();
    EXPECT_TRUE(oDialog.spoOutputChanged());

    // Of the sea output's own settings only the RTCM start counts as a change.
    CExtSensDlg oSea;
    oSea.onChangeStartSrh();
    oSea.onChangeSeaInterval();
    oSea.onChangeRtcmPort();
    EXPECT_FALSE(oSea.seaOutputChanged());
    oSea.onChangeStartRtcm();
    EXPECT_TRUE(oSea.seaOutputChanged());
}

} // namespace

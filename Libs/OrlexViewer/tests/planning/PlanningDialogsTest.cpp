// The edit, parallels and calibration-line dialogs, driven through their widgets without exec.
#include "OrlexViewer/CalLinesDlg.h"
#include "OrlexViewer/EditObjDlg.h"
#include "OrlexViewer/ParallelsDlg.h"
#include "Projection/ProjEngine.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace {

QPushButton* delButton(CEditObjDlg& dialog, int nRow)
{
    return qobject_cast<QPushButton*>(dialog.table()->cellWidget(nRow, 2));
}

QStringList column(CEditObjDlg& dialog, int nColumn)
{
    QStringList texts;
    for (int nRow = 0; nRow < dialog.table()->rowCount(); ++nRow) {
        const QTableWidgetItem* pItem = dialog.table()->item(nRow, nColumn);
        texts << (pItem ? pItem->text() : QStringLiteral("-"));
    }
    return texts;
}

class PlanningDialogsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        platform::ensureWindowsEnvironment();
        // Plate carree where one degree is 100,000 m.
        ASSERT_TRUE(projection_detail::writeProjectionFile(projection_detail::dataFolderProjectionFile(),
                                                           "+proj=eqc +ellps=WGS84 +to_meter=0.011131949079327357"));
    }
};

TEST_F(PlanningDialogsTest, EditDialogShowsAndReturnsProjectedCoordinates)
{
    CEditObjDlg dialog(3);
    std::vector<float> points{100.5f, 200.25f, 300, 400, -50, 60.125f};
    dialog.setPoints(points, false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit object"));
    EXPECT_EQ(column(dialog, 0), (QStringList{"100.500000", "300.000000", "-50.000000"}));
    EXPECT_EQ(column(dialog, 1), (QStringList{"200.250000", "400.000000", "60.125000"}));
    for (int nRow = 0; nRow < 3; ++nRow)
        ASSERT_NE(delButton(dialog, nRow), nullptr);
    EXPECT_EQ(dialog.table()->horizontalHeaderItem(0)->text(), QStringLiteral("East"));

    dialog.setRuntimeParams(QStringLiteral("speed=4"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(dialog.getRuntimeParams(), QStringLiteral("speed=4"));
    EXPECT_EQ(dialog.coordinateList(),
              (QStringList{"100.500000", "200.250000", "300.000000", "400.000000", "-50.000000", "60.125000"}));
}

TEST_F(PlanningDialogsTest, DelButtonsDeleteTheirOwnRowAndAddedRowsNeedBothCells)
{
    CEditObjDlg dialog(4);
    std::vector<float> points{1, 2, 3, 4, 5, 6, 7, 8};
    dialog.setPoints(points, false);
    // Row 0 goes first; the button shown in row 2 afterwards is the one made for point 4.
    delButton(dialog, 0)->click();
    delButton(dialog, 2)->click();
    EXPECT_EQ(column(dialog, 0), (QStringList{"3.000000", "5.000000"}));

    dialog.onAddPoint();
    dialog.onAddPoint();
    EXPECT_EQ(delButton(dialog, 2), nullptr) << "added rows have no Del button";
    dialog.table()->setItem(2, 0, new QTableWidgetItem(QStringLiteral("9")));
    dialog.table()->setItem(2, 1, new QTableWidgetItem(QStringLiteral("10")));
    dialog.table()->setItem(3, 0, new QTableWidgetItem(QStringLiteral("11")));
    dialog.accept();
    EXPECT_EQ(dialog.coordinateList(), (QStringList{"3.000000", "4.000000", "5.000000", "6.000000", "9", "10"}));
}

TEST_F(PlanningDialogsTest, GeographicFormatsConvertBothWays)
{
    CEditObjDlg dialog(2);
    std::vector<float> points{150000, 250000, 50000, 1000};
    dialog.setPoints(points, false);

    dialog.formatButtons()->button(0)->click();
    EXPECT_EQ(dialog.table()->horizontalHeaderItem(0)->text(), QStringLiteral("Lat"));
    EXPECT_EQ(column(dialog, 0), (QStringList{"2.500000", "0.010000"}));
    EXPECT_EQ(column(dialog, 1), (QStringList{"1.500000", "0.500000"}));
    dialog.accept();
    EXPECT_EQ(dialog.coordinateList(), (QStringList{"150000.00", "250000.00", "50000.00", "1000.00"}));

    dialog.formatButtons()->button(1)->click();
    EXPECT_EQ(column(dialog, 0), (QStringList{"230.000000", "0.600000"}));
    dialog.accept();
    EXPECT_EQ(dialog.coordinateList(), (QStringList{"150000.00", "250000.00", "50000.00", "1000.00"}));

    // Back to projected: typed values in the first rows are replaced by the stored points.
    dialog.table()->item(0, 0)->setText(QStringLiteral("7"));
    dialog.formatButtons()->button(2)->click();
    EXPECT_EQ(column(dialog, 0), (QStringList{"150000.000000", "50000.000000"}));
}

TEST_F(PlanningDialogsTest, ParallelsAndCalibrationLineForms)
{
    CParallelsDlg parallels;
    EXPECT_EQ(parallels.windowTitle(), QStringLiteral("Make Parallels"));
    EXPECT_EQ(parallels.size(), QSize(260, 162));
    for (QLineEdit* pEdit : {parallels.linesPort, parallels.linesStbd, parallels.distPort, parallels.distStbd}) {
        EXPECT_EQ(pEdit->validator(), nullptr);
        EXPECT_TRUE(pEdit->text().isEmpty());
    }
    parallels.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(parallels.result(), QDialog::Rejected);

    CCalLinesDlg lines;
    EXPECT_EQ(lines.windowTitle(), QStringLiteral("Select Lines"));
    EXPECT_EQ(lines.lineList()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(lines.findChild<QDialogButtonBox*>()->isHidden());
}

} // namespace

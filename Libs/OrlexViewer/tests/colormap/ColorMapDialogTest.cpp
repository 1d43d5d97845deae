// The palette editor driven through its controls: what reaches its own map, what stays with the
// map handed in, the band table and the preview.
#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/ColorMapDialog.h"

#include "platform/color_triangle.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>

namespace {

class ColorMapDialogTest : public ::testing::Test
{
protected:
    template <typename T>
    T* control(const char* szName)
    {
        T* poControl = m_dialog.findChild<T*>(QLatin1String(szName));
        EXPECT_NE(poControl, nullptr) << szName;
        return poControl;
    }
    ColorMap& map() { return *m_dialog.getGradient(); }
    QTableWidget* table() { return control<QTableWidget>("staticRanges"); }

    ColorMapDialog m_dialog;
};

} // namespace

TEST_F(ColorMapDialogTest, ANewDialogEditsItsOwnMapWithTheDefaultControls)
{
    EXPECT_EQ(m_dialog.windowTitle(), QStringLiteral("Colour Setup"));
    EXPECT_EQ(map().getStartColor(), QColor::fromHsvF(0, 1, 1).toRgb());
    EXPECT_EQ(map().getStopColor(), QColor::fromHsvF(0.75, 1, 1).toRgb());
    EXPECT_EQ(map().getMin(), 25.0);
    EXPECT_EQ(map().getMax(), 75.0);
    EXPECT_EQ(map().getDirection(), ColorMap::CW);
    EXPECT_EQ(map().getEndMode(), ColorMap::CUT);
    EXPECT_TRUE(control<QCheckBox>("autoMaximum")->isHidden());
    EXPECT_EQ(control<QDoubleSpinBox>("dataMaximum")->value(), 100.0);
    EXPECT_FALSE(control<QDoubleSpinBox>("dataMaximum")->isEnabled());
    EXPECT_GE(control<platform::ColorTriangle>("startTriangle")->minimumSize().width(), 100);
}

TEST_F(ColorMapDialogTest, OpeningCopiesTheMapAndRoundsNothing)
{
    ColorMap given;
    given.setObjectName(QStringLiteral("Depth"));
    given.setMin(0.123);
    given.setMax(9.876);
    given.setAutoMin(true);
    given.setEndMode(ColorMap::WRAP);
    given.setDirection(ColorMap::CCW);
    given.setStartColor(QColor(10, 20, 30, 40));
    given.setStartList({0, 2.5});
    given.setStopList({12.5f, 3.0});
    given.setColorList({QColor(Qt::white), QColor(Qt::green)});
    const QByteArray baGiven = given.save();

    m_dialog.setGradient(&given);
    EXPECT_NE(m_dialog.getGradient(), &given);
    EXPECT_EQ(map().save(), baGiven);
    EXPECT_EQ(control<QDoubleSpinBox>("rangeMinimum")->value(), 0.12);
    EXPECT_TRUE(control<QRadioButton>("wrapButton")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("CCWButton")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("autoMinimum")->isChecked());
    EXPECT_EQ(control<QSlider>("startTransparency")->value(), 40);
    ASSERT_EQ(table()->rowCount(), 2);
    EXPECT_EQ(table()->item(0, 1)->text(), QStringLiteral("12.5"));
    EXPECT_EQ(table()->item(1, 2)->background().color(), QColor(Qt::green));

    // Edits reach the dialog's map only.
    control<QRadioButton>("clampButton")->click();
    control<QDoubleSpinBox>("rangeMaximum")->setValue(20);
    control<QSlider>("startTransparency")->setValue(128);
    EXPECT_EQ(map().getEndMode(), ColorMap::CLAMP);
    EXPECT_EQ(map().getMax(), 20.0);
    EXPECT_EQ(map().getMin(), 0.123);
    EXPECT_EQ(map().getStartColor(), QColor(10, 20, 30, 128));
    EXPECT_EQ(given.save(), baGiven);

    // Handing the dialog's own map in again reloads the controls from it.
    map().setMax(30);
    m_dialog.setGradient(m_dialog.getGradient());
    EXPECT_EQ(control<QDoubleSpinBox>("rangeMaximum")->value(), 30.0);
}

TEST_F(ColorMapDialogTest, ControlsWriteTheMap)
{
    struct Case {
        const char* szName;
        std::function<void()> act;
        std::function<bool(const ColorMap&)> check;
    };
    const Case aCases[] = {
        {"CCW", [&] { control<QRadioButton>("CCWButton")->click(); }, [](const ColorMap& m) { return m.getDirection() == ColorMap::CCW; }},
        {"CW", [&] { control<QRadioButton>("CWButton")->click(); }, [](const ColorMap& m) { return m.getDirection() == ColorMap::CW; }},
        {"wrap", [&] { control<QRadioButton>("wrapButton")->click(); }, [](const ColorMap& m) { return m.getEndMode() == ColorMap::WRAP; }},
        {"cut", [&] { control<QRadioButton>("cutButton")->click(); }, [](const ColorMap& m) { return m.getEndMode() == ColorMap::CUT; }},
        {"range min", [&] { control<QDoubleSpinBox>("rangeMinimum")->setValue(-5.5); }, [](const ColorMap& m) { return m.getMin() == -5.5; }},
        {"auto min", [&] { control<QCheckBox>("autoMinimum")->setChecked(true); }, [](const ColorMap& m) { return m.getAutoMin(); }},
        {"stop opacity", [&] { control<QSlider>("stopTransparency")->setValue(7); }, [](const ColorMap& m) { return m.getStopColor().alpha() == 7; }},
        {"start triangle keeps the opacity",
         [&] {
             control<QSlider>("startTransparency")->setValue(100);
             control<platform::ColorTriangle>("startTriangle")->setColor(Qt::cyan);
         },
         [](const ColorMap& m) { return m.getStartColor() == QColor(0, 255, 255, 100); }},
    };
    for (const Case& c : aCases) {
        c.act();
        EXPECT_TRUE(c.check(map())) << c.szName;
    }
    EXPECT_EQ(control<QPushButton>("startColor")->styleSheet(), QStringLiteral("background-color: #00ffff"));
}

TEST_F(ColorMapDialogTest, BandsAreAddedSelectedEditedAndDeleted)
{
    auto* poStart = control<QDoubleSpinBox>("startStaticRange");
    auto* poStop = control<QDoubleSpinBox>("endStaticRange");
    // With no band selected the band controls change nothing.
    poStart->setValue(5);
    poStop->setValue(2);
    EXPECT_TRUE(map().startList().isEmpty());

    // A band is stored as given, even backwards, in the colour the button shows.
    control<QPushButton>("addButton")->click();
    EXPECT_EQ(map().eval(3, 0, 0).alpha(), 0) << "a backwards band matches nothing";
    poStart->setValue(0);
    poStop->setValue(10);
    control<QPushButton>("addButton")->click();
    EXPECT_EQ(map().startList(), (QVariantList{5.0, 0.0}));
    EXPECT_EQ(map().stopList(), (QVariantList{2.0, 10.0}));
    EXPECT_EQ(map().colorList(), (QVariantList{QColor(Qt::black), QColor(Qt::black)}));
    EXPECT_EQ(map().eval(3, 0, 0), QColor(Qt::black));
    ASSERT_EQ(table()->rowCount(), 2);

    // Selecting loads the band's values without writing them back.
    table()->selectRow(0);
    EXPECT_EQ(poStart->value(), 5.0);
    EXPECT_EQ(poStop->value(), 2.0);
    EXPECT_EQ(map().startList(), (QVariantList{5.0, 0.0}));
    poStop->setValue(8);
    EXPECT_EQ(map().stopList(), (QVariantList{8.0, 10.0}));
    EXPECT_EQ(table()->item(0, 1)->text(), QStringLiteral("8"));

    control<QPushButton>("deleteButton")->click();
    EXPECT_EQ(map().startList(), QVariantList{0.0});
    EXPECT_EQ(map().colorList().size(), 1);
    EXPECT_EQ(table()->rowCount(), 1);
}

TEST_F(ColorMapDialogTest, PreviewFollowsTheDataRangeAndShowsTransparency)
{
    m_dialog.resize(610, 764);
    m_dialog.show();
    const QByteArray baBefore = map().save();
    m_dialog.setDataRange(10, 20);
    EXPECT_EQ(control<QDoubleSpinBox>("dataMinimum")->value(), 10.0);
    EXPECT_EQ(map().save(), baBefore);

    // Over 0..100 the map's own 25..75 is cut at both ends: the checkerboard shows at the left.
    m_dialog.setDataRange(0, 100);
    const QImage preview = control<QLabel>("gradientLabel")->pixmap(Qt::ReturnByValue).toImage();
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(preview.pixelColor(5, 0), QColor(Qt::white));
    const int nMiddle = preview.width() / 2;
    EXPECT_EQ(preview.pixelColor(nMiddle, 0).alpha(), 255);
    EXPECT_NE(preview.pixelColor(nMiddle, 0), QColor(Qt::white));

    // A half-transparent start colour lets the checkerboard through inside the range.
    control<QDoubleSpinBox>("rangeMinimum")->setValue(0);
    control<QSlider>("startTransparency")->setValue(128);
    const QImage half = control<QLabel>("gradientLabel")->pixmap(Qt::ReturnByValue).toImage();
    EXPECT_NE(half.pixelColor(0, 0), half.pixelColor(5, 0));
    EXPECT_NE(half.pixelColor(0, 0), QColor(Qt::black));
}

TEST_F(ColorMapDialogTest, ButtonsAskForFilesAndCloseTheDialog)
{
    QSignalSpy open(&m_dialog, &ColorMapDialog::openButtonClicked);
    QSignalSpy save(&m_dialog, &ColorMapDialog::saveButtonClicked);
    control<QPushButton>("openButton")->click();
    control<QPushButton>("saveButton")->click();
    EXPECT_EQ(open.size(), 1);
    EXPECT_EQ(save.size(), 1);

    QSignalSpy finished(&m_dialog, &QDialog::finished);
    auto* poBox = control<QDialogButtonBox>("buttonBox");
    poBox->button(QDialogButtonBox::Ok)->click();
    poBox->button(QDialogButtonBox::Cancel)->click();
    ASSERT_EQ(finished.size(), 2);
    EXPECT_EQ(finished.at(0).first().toInt(), QDialog::Accepted);
    EXPECT_EQ(finished.at(1).first().toInt(), QDialog::Rejected);
}

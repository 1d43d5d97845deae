// Colour mapping against the stand-in server: the tree of colour targets, the palette editor
// run on a survey's map, palette files, and the safety-contour band.
#include "ControllerHarness.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/ColorMapDialog.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"

#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTimer>

#include <functional>

using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

// Answers every modal widget the code under test runs, while it runs it.
class ModalResponder
{
public:
    explicit ModalResponder(std::function<void(QWidget*)> answer) : m_answer(std::move(answer))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* poModal = QApplication::activeModalWidget()) {
                ++m_nSeen;
                m_answer(poModal);
            }
        });
        m_timer.start();
    }
    int seen() const { return m_nSeen; }

private:
    std::function<void(QWidget*)> m_answer;
    QTimer m_timer;
    int m_nSeen = 0;
};

// Answers the palette editor's file dialogs with one file (empty cancels) and records warnings.
class FilePrompter : public CPrompter
{
public:
    explicit FilePrompter(QString strFile) : m_strFile(std::move(strFile)) { m_pPrevious = CPrompter::install(this); }
    ~FilePrompter() override { CPrompter::install(m_pPrevious); }

    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer(); }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return answer(); }
    QMessageBox::StandardButton warning(QWidget*, const QString&, const QString& strText,
                                        QMessageBox::StandardButtons) override
    {
        strWarning = strText;
        return QMessageBox::Ok;
    }

    int nAsked = 0;
    QString strWarning;

private:
    QString answer()
    {
        ++nAsked;
        return m_strFile;
    }

    QString m_strFile;
    CPrompter* m_pPrevious = nullptr;
};

ColorMapDialog* paletteEditor()
{
    for (QWidget* poWidget : QApplication::topLevelWidgets())
        if (auto* poDialog = qobject_cast<ColorMapDialog*>(poWidget))
            return poDialog;
    return nullptr;
}

struct Band {
    double dMin, dMax;
    QColor colour;
};

class ColourTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        LiveViewTest::SetUpTestSuite();
        // Empty before any survey is open.
        QStandardItemModel* poModel = s_pViewer->getColorMappingModel();
        ASSERT_EQ(poModel->rowCount(), 0);
        s_pViewer->openColorMap(QModelIndex(), 1);

        s_strSurvey = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/Colour"));
        QDir().mkpath(s_strSurvey + QStringLiteral("/Terrain"));
        QFile file(s_strSurvey + QStringLiteral("/standin_survey.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"minX", 0}, {"maxX", 100}, {"minY", 0}, {"maxY", 100}, {"zMin", -40}, {"zMax", -5}}).toJson());
        file.close();
        QSignalSpy completed(s_pViewer->getDataManager(), &COrlexDataManager::openSurveyCompletedSig);
        s_pViewer->getDataManager()->openSurvey(s_strSurvey, false);
        ASSERT_TRUE(viewertest::waitUntil([&] { return completed.size() == 1; }));
        s_pHarness->sync();
    }

    COrlexGrid* grid() { return viewer()->getDataManager()->getSurvey(s_strSurvey); }
    ColorMap* depthMap() { return grid()->getColorMap(0, 0, 0); }

    // The index of the row with that path of texts below the survey row.
    QModelIndex indexOf(const QStringList& lstPath)
    {
        QStandardItemModel* poModel = viewer()->getColorMappingModel();
        QStandardItem* poItem = poModel->item(0);
        for (const QString& strText : lstPath) {
            QStandardItem* poChild = nullptr;
            for (int i = 0; poItem && i < poItem->rowCount(); ++i)
                if (poItem->child(i)->text() == strText)
                    poChild = poItem->child(i);
            poItem = poChild;
        }
        return poItem ? poItem->index() : QModelIndex();
    }

    // The colour records sent for the survey's terrain from a sequence number on.
    QList<LoggedBody> colourRecords(qint64 nFrom)
    {
        harness().sync();
        QList<LoggedBody> lstRecords;
        for (const QJsonObject& entry : harness().received(QStringLiteral("SetColorMapRangeMessage"), nFrom)) {
            const LoggedBody body = bodyOf(entry);
            EXPECT_EQ(static_cast<quint64>(body.number(1, 0)), grid()->getTerrainId());
            lstRecords.append(body.structAt(2, 0));
        }
        return lstRecords;
    }

    static QList<Band> bands(const LoggedBody& record)
    {
        QList<Band> lstBands;
        for (const QJsonValue& value : record.list(0, 6)) {
            const LoggedBody band(value.toObject());
            const LoggedBody colour = band.structAt(0, 0);
            const LoggedBody range = band.structAt(0, 1);
            lstBands.append({range.number(0, 0), range.number(0, 1),
                             QColor::fromRgbF(colour.number(0, 0, 0.5), colour.number(0, 1, 0.5), colour.number(0, 2, 0.5))});
        }
        return lstBands;
    }

    static QString s_strSurvey;
};

QString ColourTest::s_strSurvey;

} // namespace

TEST_F(ColourTest, TheTreeListsTheTargetsOfEachSurvey)
{
    QStandardItemModel* poModel = viewer()->getColorMappingModel();
    ASSERT_EQ(poModel->rowCount(), 1);
    QStandardItem* poSurvey = poModel->item(0);
    EXPECT_EQ(poSurvey->text(), s_strSurvey);
    EXPECT_EQ(poSurvey->data(Qt::UserRole + 1).toString(), s_strSurvey);
    EXPECT_EQ(poSurvey->flags(), Qt::ItemIsEnabled);

    // Rows as "text target/kind", children in brackets.
    std::function<QString(QStandardItem*)> describe = [&](QStandardItem* poItem) {
        QString strLine = poItem->text();
        for (int nRole : {Qt::UserRole + 2, Qt::UserRole + 3, Qt::UserRole + 4})
            if (poItem->data(nRole).isValid())
                strLine += QStringLiteral(" %1=%2").arg(nRole - Qt::UserRole).arg(poItem->data(nRole).toInt());
        QStringList lstChildren;
        for (int i = 0; i < poItem->rowCount(); ++i)
            lstChildren << describe(poItem->child(i));
        return lstChildren.isEmpty() ? strLine : strLine + QStringLiteral(" [") + lstChildren.join(QStringLiteral(", ")) + QLatin1Char(']');
    };
    QStringList lstTargets;
    for (int i = 0; i < poSurvey->rowCount(); ++i)
        lstTargets << describe(poSurvey->child(i));
    // The scalar values list the grid's cell and point attributes by index.
    EXPECT_EQ(lstTargets,
              (QStringList{"Grid 2=0 [Static 3=2, Depth 3=0, Scalar Value 3=1 [Reflect 4=0, Depth Diff 4=1, CellPoints 4=2, "
                           "Distance plane 4=3, StdDeviation.Zt 4=4]]",
                           "Text 2=1 [Static 3=2, Depth 3=0]",
                           "Process Points 2=2 [Static 3=2, Depth 3=0, Scalar Value 3=1 [Time 4=0, Depth Flag 4=1, "
                           "Residual 4=2, Reflect 4=3, Range 4=4, Beam No 4=5, Angle 4=6, Graze Angle 4=7, "
                           "Phase / Amplitude 4=8, Quality factor 4=9, Horizontal error 4=10, Vertical Error 4=11]]",
                           "Contour Lines 2=3 [Static 3=2, Depth 3=0]"}));
    // Rebuilt in place on every call.
    EXPECT_EQ(viewer()->getColorMappingModel(), poModel);
    EXPECT_EQ(poModel->rowCount(), 1);
}

TEST_F(ColourTest, RowsWithoutAMapOpenNothing)
{
    ModalResponder responder([](QWidget* poModal) { qobject_cast<QDialog*>(poModal)->reject(); });
    const qint64 nFrom = harness().mark();
    const QByteArray baBefore = depthMap()->save();
    for (const QStringList& lstPath : {QStringList{}, QStringList{"Grid"}, QStringList{"Text", "Depth"},
                                       QStringList{"Process Points", "Scalar Value"}, QStringList{"Contour Lines", "Static"}}) {
        const QModelIndex index = lstPath.isEmpty() ? viewer()->getColorMappingModel()->index(0, 0) : indexOf(lstPath);
        ASSERT_TRUE(index.isValid()) << lstPath.join('/').toStdString();
        viewer()->openColorMap(index, 1);
    }
    // An index of another model is not taken for one of the tree.
    QStandardItemModel other;
    other.appendRow(new QStandardItem(QStringLiteral("Depth")));
    viewer()->openColorMap(other.index(0, 0), 1);
    EXPECT_EQ(responder.seen(), 0);
    EXPECT_TRUE(colourRecords(nFrom).isEmpty());
    EXPECT_EQ(depthMap()->save(), baBefore);
}

TEST_F(ColourTest, InstalledAtOnceWithoutTheDialog)
{
    qint64 nFrom = harness().mark();
    viewer()->openColorMap(indexOf({"Grid", "Static"}), 0);
    EXPECT_TRUE(depthMap()->isStatic());
    ASSERT_EQ(colourRecords(nFrom).size(), 1);

    depthMap()->setMin(5);
    depthMap()->setMax(40);
    nFrom = harness().mark();
    viewer()->openColorMap(indexOf({"Grid", "Depth"}), 0);
    EXPECT_FALSE(depthMap()->isStatic());
    const QList<LoggedBody> lstRecords = colourRecords(nFrom);
    ASSERT_EQ(lstRecords.size(), 1);
    // Depths run downwards: the range is negated and the colours swapped.
    EXPECT_EQ(lstRecords[0].structAt(0, 4).number(0, 0), -40.0);
    EXPECT_EQ(lstRecords[0].structAt(0, 4).number(0, 1), -5.0);
}

TEST_F(ColourTest, TheDialogEditsACopyThatOnlyOkInstalls)
{
    depthMap()->setDirection(ColorMap::CW);
    depthMap()->setMin(0.123);
    depthMap()->setMax(33.333);
    const QByteArray baBefore = depthMap()->save();

    // Cancel: the survey's map keeps every value, unrounded, though the controls were changed.
    qint64 nFrom = harness().mark();
    {
        ModalResponder cancel([](QWidget* poModal) {
            auto* poDialog = qobject_cast<ColorMapDialog*>(poModal);
            ASSERT_NE(poDialog, nullptr);
            poDialog->findChild<QRadioButton*>(QStringLiteral("CCWButton"))->click();
            poDialog->reject();
        });
        viewer()->openColorMap(indexOf({"Grid", "Static"}), 1);
        EXPECT_EQ(cancel.seen(), 1);
    }
    EXPECT_EQ(depthMap()->save(), baBefore);
    EXPECT_TRUE(colourRecords(nFrom).isEmpty());

    // OK: the edited copy is installed; the survey keeps its own map.
    ColorMap* poOwn = depthMap();
    double dShownMin = 0;
    double dShownMax = 0;
    QString strTitle;
    ModalResponder accept([&](QWidget* poModal) {
        auto* poDialog = qobject_cast<ColorMapDialog*>(poModal);
        ASSERT_NE(poDialog, nullptr);
        dShownMin = poDialog->findChild<QDoubleSpinBox*>(QStringLiteral("dataMinimum"))->value();
        dShownMax = poDialog->findChild<QDoubleSpinBox*>(QStringLiteral("dataMaximum"))->value();
        strTitle = poDialog->windowTitle();
        poDialog->findChild<QRadioButton*>(QStringLiteral("CCWButton"))->click();
        poDialog->accept();
    });
    nFrom = harness().mark();
    viewer()->openColorMap(indexOf({"Grid", "Depth"}), 1);
    EXPECT_EQ(accept.seen(), 1);
    // The data fields show the depths the survey holds (heights -40 to -5), not the map's range,
    // and the title says which layer is edited.
    EXPECT_EQ(dShownMin, 5.0);
    EXPECT_EQ(dShownMax, 40.0);
    EXPECT_EQ(strTitle, QStringLiteral("Colour Setup - Colour: Grid / Depth"));
    EXPECT_EQ(depthMap(), poOwn);
    EXPECT_NE(paletteEditor()->getGradient(), poOwn);
    EXPECT_EQ(depthMap()->getDirection(), ColorMap::CCW);
    EXPECT_EQ(depthMap()->getMin(), 0.123);
    EXPECT_FALSE(depthMap()->isStatic());
    const QList<LoggedBody> lstRecords = colourRecords(nFrom);
    ASSERT_EQ(lstRecords.size(), 1);
    EXPECT_TRUE(lstRecords[0].flag(0, 2));
}

// A depth range entered with "Auto" cleared reaches the view as a fixed range of heights; "Auto"
// set again hands the range back to the view.
TEST_F(ColourTest, ARangeEnteredReachesTheView)
{
    for (const bool bAuto : {false, true}) {
        SCOPED_TRACE(bAuto);
        ModalResponder accept([&](QWidget* poModal) {
            auto* poDialog = qobject_cast<ColorMapDialog*>(poModal);
            ASSERT_NE(poDialog, nullptr);
            auto* poAuto = poDialog->findChild<QCheckBox*>(QStringLiteral("autoMinimum"));
            if (poAuto->isChecked() != bAuto)
                poAuto->click();
            poDialog->findChild<QDoubleSpinBox*>(QStringLiteral("rangeMinimum"))->setValue(30);
            poDialog->findChild<QDoubleSpinBox*>(QStringLiteral("rangeMaximum"))->setValue(50);
            // For review: the dialog as the operator sees it.
            if (!bAuto)
                poDialog->grab().save(QDir(corvtest::scratchDir()).filePath(QStringLiteral("colour-dialog.png")));
            poDialog->accept();
        });
        const qint64 nFrom = harness().mark();
        viewer()->openColorMap(indexOf({"Grid", "Depth"}), 1);
        ASSERT_EQ(accept.seen(), 1);
        const QList<LoggedBody> lstRecords = colourRecords(nFrom);
        ASSERT_FALSE(lstRecords.isEmpty());
        EXPECT_EQ(lstRecords.last().flag(0, 3), bAuto);
        EXPECT_EQ(lstRecords.last().structAt(0, 4).number(0, 0), -50.0);
        EXPECT_EQ(lstRecords.last().structAt(0, 4).number(0, 1), -30.0);
        EXPECT_EQ(depthMap()->getAutoMin(), bAuto);
        EXPECT_EQ(depthMap()->getAutoMax(), bAuto);
    }
}

TEST_F(ColourTest, PaletteFilesAreSavedAndLoadedThroughTheEditor)
{
    ColorMapDialog* poEditor = paletteEditor();
    ASSERT_NE(poEditor, nullptr);
    const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("palettes"));
    QDir(strFolder).removeRecursively();
    QDir().mkpath(strFolder);
    auto* poOpen = poEditor->findChild<QPushButton*>(QStringLiteral("openButton"));
    auto* poSave = poEditor->findChild<QPushButton*>(QStringLiteral("saveButton"));

    // Saved: exactly the editor's palette bytes, under the name given.
    poEditor->getGradient()->setObjectName(QStringLiteral("Saved"));
    const QString strSaved = strFolder + QStringLiteral("/saved.pal");
    {
        FilePrompter files(strSaved);
        poSave->click();
        EXPECT_EQ(files.nAsked, 1);
    }
    QFile saved(strSaved);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), poEditor->getGradient()->save());

    // A cancelled dialog writes nothing.
    {
        FilePrompter files{QString()};
        poSave->click();
        EXPECT_EQ(files.nAsked, 1);
    }
    EXPECT_EQ(QDir(strFolder).entryList(QDir::Files), QStringList{"saved.pal"});

    // Damaged files are refused with a message and leave the editor as it was.
    const QByteArray baBefore = poEditor->getGradient()->save();
    QByteArray baTruncated = baBefore;
    baTruncated.chop(3);
    for (const QByteArray& baDamaged : {QByteArray("not a palette\n"), baTruncated}) {
        QFile damaged(strFolder + QStringLiteral("/damaged.pal"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(baDamaged);
        damaged.close();
        FilePrompter files(damaged.fileName());
        poOpen->click();
        const QString strMessage = files.strWarning;
        EXPECT_TRUE(strMessage.contains(QStringLiteral("cannot be used: Not a palette"))) << strMessage.toStdString();
        EXPECT_EQ(poEditor->getGradient()->save(), baBefore);
    }

    // A palette loads into the editor and its controls.
    ColorMap palette;
    palette.setObjectName(QStringLiteral("Loaded"));
    palette.setMax(12.5);
    palette.setEndMode(ColorMap::WRAP);
    QFile loaded(strFolder + QStringLiteral("/loaded.pal"));
    ASSERT_TRUE(loaded.open(QIODevice::WriteOnly));
    loaded.write(palette.save());
    loaded.close();
    {
        FilePrompter files(loaded.fileName());
        poOpen->click();
    }
    EXPECT_EQ(poEditor->getGradient()->save(), palette.save());
    EXPECT_EQ(poEditor->findChild<QDoubleSpinBox*>(QStringLiteral("rangeMaximum"))->value(), 12.5);
    EXPECT_TRUE(poEditor->findChild<QRadioButton*>(QStringLiteral("wrapButton"))->isChecked());
}

TEST_F(ColourTest, TheSafetyContourBandIsAddedReplacedAndRemoved)
{
    ColorMap* poMap = depthMap();
    poMap->setStartList({});
    poMap->setStopList({});
    poMap->setColorList({});
    struct Step {
        const char* szName;
        float fDepth;
        QColor colour;
        bool bRemove;
        QList<double> lstStops;
    };
    const Step aSteps[] = {
        {"first call appends", 12.5f, Qt::white, false, {12.5}},
        {"second call replaces", 20.0f, Qt::red, false, {20.0}},
        {"removal", 0, QColor(), true, {}},
        {"further removal re-applies only", 0, QColor(), true, {}},
        {"added again", 7.0f, Qt::green, false, {7.0}},
    };
    for (const Step& step : aSteps) {
        const qint64 nFrom = harness().mark();
        viewer()->setSafetyContour(s_strSurvey, step.fDepth, step.colour, step.bRemove);
        QList<double> lstStops;
        for (const QVariant& v : poMap->stopList())
            lstStops << v.toDouble();
        EXPECT_EQ(lstStops, step.lstStops) << step.szName;
        EXPECT_EQ(poMap->startList().size(), lstStops.size()) << step.szName;
        EXPECT_EQ(poMap->colorList().size(), lstStops.size()) << step.szName;
        const QList<LoggedBody> lstRecords = colourRecords(nFrom);
        ASSERT_EQ(lstRecords.size(), 1) << step.szName;
        const QList<Band> lstBands = bands(lstRecords[0]);
        ASSERT_EQ(lstBands.size(), lstStops.size()) << step.szName;
        if (!lstBands.isEmpty()) {
            // From the surface (0) down to the depth, as heights.
            EXPECT_EQ(lstBands[0].dMin, -step.fDepth) << step.szName;
            EXPECT_EQ(lstBands[0].dMax, 0.0) << step.szName;
            EXPECT_EQ(lstBands[0].colour, step.colour) << step.szName;
        }
    }

    // The bands were replaced meanwhile (a loaded palette): the band is appended again, never
    // written outside the lists.
    poMap->setStartList({});
    poMap->setStopList({1.0});
    poMap->setColorList({});
    viewer()->setSafetyContour(s_strSurvey, 9.0f, Qt::blue, false);
    EXPECT_EQ(poMap->stopList(), QVariantList{QVariant(9.0f)});
    EXPECT_EQ(poMap->startList(), QVariantList{QVariant(0)});
    EXPECT_EQ(poMap->colorList(), QVariantList{QVariant(QColor(Qt::blue))});

    // Another survey's name changes nothing.
    harness().sync();
    const qint64 nFrom = harness().mark();
    viewer()->setSafetyContour(QStringLiteral("/no/such/survey"), 3.0f, Qt::red, false);
    EXPECT_TRUE(colourRecords(nFrom).isEmpty());
}

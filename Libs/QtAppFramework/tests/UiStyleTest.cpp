#include <gtest/gtest.h>

#include "QtAppFramework/SvgIconEngine.h"
#include "QtAppFramework/UiStyle.h"

#include "test_scratch.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

QString classOf(const QObject* poObject)
{
    return poObject->property("class").toString();
}

// A square icon: opaque in the middle, transparent at the border.
QIcon squareIcon()
{
    QPixmap oPixmap(100, 100);
    oPixmap.fill(Qt::transparent);
    QPainter oPainter(&oPixmap);
    oPainter.fillRect(20, 20, 60, 60, Qt::black);
    oPainter.end();
    return QIcon(oPixmap);
}

::testing::AssertionResult colourNear(const QColor& oActual, const QColor& oExpected)
{
    const int nDiff = qMax(qMax(qAbs(oActual.red() - oExpected.red()),
                                qAbs(oActual.green() - oExpected.green())),
                           qMax(qAbs(oActual.blue() - oExpected.blue()),
                                qAbs(oActual.alpha() - oExpected.alpha())));
    if (nDiff <= 2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << oActual.name(QColor::HexArgb).toStdString() << " expected "
           << oExpected.name(QColor::HexArgb).toStdString();
}

QColor centrePixel(const QIcon& oIcon, QIcon::Mode eMode = QIcon::Normal,
                 QIcon::State eState = QIcon::Off)
{
    return oIcon.pixmap(QSize(40, 40), eMode, eState).toImage().pixelColor(20, 20);
}

class UiStyleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initUiStyle();
        qunsetenv("UISTYLEDIR");
        qunsetenv("UISTYLE_DEBUG_STYLESHEET");
        qApp->setStyleSheet(QString());
    }
    void TearDown() override
    {
        qunsetenv("UISTYLEDIR");
        qunsetenv("UISTYLE_DEBUG_STYLESHEET");
        qApp->setStyleSheet(QString());
        setDayPalette();
    }

    // Points UISTYLEDIR at a folder holding this template.
    void useTemplate(const QByteArray& oText)
    {
        const QString strDir = QDir(corvtest::scratchDir()).filePath(QStringLiteral("style"));
        QDir().mkpath(strDir + QStringLiteral("/uistyle"));
        QFile oFile(strDir + QStringLiteral("/uistyle/CommonStylesheet.css"));
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        oFile.write(oText);
        qputenv("UISTYLEDIR", strDir.toUtf8());
    }
};

struct ModeCase
{
    int nMode;
    const char* pszContent;  // content_normal of the mode
    const char* pszGPActive; // GP_active_normal of the mode
    QColor oIconNormal;
};

class UiStyleModeTest : public UiStyleTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(UiStyleModeTest, TemplateGivesTheColoursOfTheMode)
{
    const ModeCase& c = GetParam();
    applyStyleSheet(nullptr, c.nMode, 1);
    const QString strSheet = qApp->styleSheet();

    EXPECT_TRUE(strSheet.contains(QStringLiteral("color: %1;").arg(c.pszContent)));
    EXPECT_TRUE(strSheet.contains(QStringLiteral("selection-background-color: %1;").arg(c.pszGPActive)));
    EXPECT_TRUE(strSheet.contains(QStringLiteral("image: url(:/uistyle/zeplin/logo-tavrin.svg);")));
    // Every variable that a rule uses is defined, except the one BrightDay leaves out.
    QString strRest = strSheet;
    strRest.remove(QStringLiteral("@GP_elementBackground_normal;"));
    EXPECT_FALSE(strRest.section(QStringLiteral("*/"), 1).contains(QLatin1Char('@')));
    EXPECT_EQ(strSheet.contains(QStringLiteral("@GP_elementBackground_normal;")), c.nMode == 3);
    EXPECT_EQ(SvgIconEngine::colour(false, QIcon::Normal, QIcon::Off), c.oIconNormal);
}

INSTANTIATE_TEST_SUITE_P(Modes, UiStyleModeTest,
                         ::testing::Values(ModeCase{0, "#616161", "#4a90e2", QColor(97, 97, 97)},
                                           ModeCase{1, "#eaeaea", "#4a90e2", QColor(163, 163, 163)},
                                           ModeCase{2, "#eaeaea", "#4a90e2", QColor(163, 163, 163)},
                                           ModeCase{3, "#56595C", "#56595C", QColor(97, 97, 97)},
                                           ModeCase{-4, "#eaeaea", "#4a90e2", QColor(163, 163, 163)}));

TEST_F(UiStyleTest, ModeBlocksAndDefinitions)
{
    static const char szTemplate[] =
                "/*\n"
                "@top: #111111\n"
                "Mode=Day\n@a: #00000a\n@top: #999999\nMode=\n"
                "Mode=DayExtra\n@b: #00000b\nMode=\n"
                "Mode=BrightDay\n@a: #0000ba\n@b: rgba(1, 2, 3, 4)\nMode=\n"
                "Mode=Dusk\n@a: #0000d0\nMode=\n"
                "*/\n"
                "X { color: @a; background: @b; border-color: @top; outline-color: @none; }\n"
                "\0ignored after a zero byte { color: @a; }\n";
    useTemplate(QByteArray(szTemplate, sizeof(szTemplate) - 1));

    applyStyleSheet(nullptr, 0, 1);
    QString strSheet = qApp->styleSheet();
    // A block whose name begins with the mode name is kept as well.
    EXPECT_TRUE(strSheet.contains(
        "X { color: #00000a; background: #00000b; border-color: #111111; outline-color: @none; }"));
    EXPECT_FALSE(strSheet.contains(QStringLiteral("ignored")));

    applyStyleSheet(nullptr, 3, 1);
    strSheet = qApp->styleSheet();
    EXPECT_TRUE(strSheet.contains("X { color: #0000ba; background: rgba(1, 2, 3, 4);"));
    EXPECT_FALSE(strSheet.contains(QStringLiteral("#00000a")));
    EXPECT_TRUE(strSheet.contains(QStringLiteral("Mode=BrightDay")));

    applyStyleSheet(nullptr, 1, 1);
    EXPECT_TRUE(qApp->styleSheet().contains("X { color: #0000d0; background: @b;"));
}

TEST_F(UiStyleTest, ExtraStyleSheetIsAppendedWhenItOpens)
{
    useTemplate("/*\nMode=Day\n@a: #123456\nMode=\n*/\nA { color: @a; }\n");
    QByteArray oExtra("B { color: @a; }\n");
    QBuffer oBuffer(&oExtra);

    applyStyleSheet(&oBuffer, 0, 1);
    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("B { color: #123456; }\n")));
    EXPECT_FALSE(oBuffer.isOpen());

    QFile oMissing(QDir(corvtest::scratchDir()).filePath(QStringLiteral("no-such.css")));
    applyStyleSheet(&oMissing, 0, 1);
    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("A { color: #123456; }\n")));
}

TEST_F(UiStyleTest, MissingTemplateKeepsTheStyleSheetButSwitchesIconColours)
{
    applyStyleSheet(nullptr, 0, 1);
    const QString strBefore = qApp->styleSheet();
    ASSERT_FALSE(strBefore.isEmpty());
    qputenv("UISTYLEDIR", QDir(corvtest::scratchDir()).filePath("nowhere").toUtf8());

    applyStyleSheet(nullptr, 1, 1);

    EXPECT_EQ(qApp->styleSheet(), strBefore);
    EXPECT_EQ(SvgIconEngine::colour(false, QIcon::Normal, QIcon::Off), QColor(163, 163, 163));
}

TEST_F(UiStyleTest, DebugCopyHoldsWhatTheApplicationGot)
{
    const QString strOld = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(corvtest::scratchDir()));
    QFile::remove(QStringLiteral("stylesheet_debug.css"));
    qputenv("UISTYLE_DEBUG_STYLESHEET", "1");

    applyStyleSheet(nullptr, 1, 2);

    QFile oDebug(QStringLiteral("stylesheet_debug.css"));
    ASSERT_TRUE(oDebug.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(oDebug.readAll()), qApp->styleSheet());
    oDebug.close();
    QFile::remove(QStringLiteral("stylesheet_debug.css"));
    QDir::setCurrent(strOld);
}

TEST_F(UiStyleTest, ScaleMultipliesSpacedSizes)
{
    applyStyleSheet(nullptr, 0, 2);
    const QString strSheet = qApp->styleSheet();
    EXPECT_TRUE(strSheet.contains(QStringLiteral("icon-size: 44px 44px;")));
    EXPECT_TRUE(strSheet.contains(QStringLiteral("font-size: 18pt;")));
    EXPECT_TRUE(strSheet.contains(QStringLiteral("font-size: 32pt;")));

    applyStyleSheet(nullptr, 0, 1);
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("icon-size: 22px 22px;")));
    // A scale below 1 would make every size 0; it is taken as 1.
    applyStyleSheet(nullptr, 0, 0);
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("icon-size: 22px 22px;")));
}

TEST(ScaleStyleSheetSizes, EachSizeOnceAndOnlyAfterWhiteSpace)
{
    struct Case
    {
        QString strIn;
        QString strUnit;
        unsigned nFactor;
        QString strOut;
    };
    const Case aCases[] = {
        {" 2px 4px", "px", 2, " 4px 8px"},
        {"a:3px; b: 3px;", "px", 3, "a:3px; b: 9px;"},
        {"x\t5px", "px", 2, "x 10px"},
        {" 9pt 9px", "pt", 2, " 18pt 9px"},
        {" 12px", "pt", 2, " 12px"},
        {" 7px", "px", 1, " 7px"},
    };
    for (const Case& c : aCases) {
        QString strText = c.strIn;
        scaleStyleSheetSizes(strText, c.strUnit, c.nFactor);
        EXPECT_EQ(strText, c.strOut) << c.strIn.toStdString();
    }
}

TEST_F(UiStyleTest, ClassesFollowTheWidgetTree)
{
    QDialog oDialog;
    auto* poIconButton = new QPushButton(squareIcon(), QString(), &oDialog);
    auto* poTextButton = new QPushButton(QStringLiteral("OK"), &oDialog);
    auto* poOwnClass = new QPushButton(squareIcon(), QString(), &oDialog);
    poOwnClass->setProperty("class", "Special");
    const qint64 nOwnKey = poOwnClass->icon().cacheKey();

    auto* poBar = new QToolBar(&oDialog);
    poBar->setProperty("class", "GP");
    auto* poWithText = new QToolButton(poBar);
    poWithText->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* poAction = new QAction(squareIcon(), QStringLiteral("Go"), poBar);
    poWithText->setDefaultAction(poAction);
    poBar->addWidget(poWithText);
    QAction* poBarAction = poBar->addAction(squareIcon(), QStringLiteral("Zoom"));
    auto* poPlain = new QWidget(poBar);

    auto* poMenuBar = new QMenuBar(&oDialog);
    markSystemMenu(poMenuBar);
    QMenu* poMenu = poMenuBar->addMenu(QStringLiteral("File"));

    applyStyleClasses(&oDialog);

    EXPECT_EQ(classOf(poIconButton), QStringLiteral("Icon"));
    EXPECT_EQ(classOf(poTextButton), QString());
    EXPECT_EQ(classOf(poOwnClass), QStringLiteral("Special"));
    EXPECT_EQ(poOwnClass->icon().cacheKey(), nOwnKey);
    EXPECT_EQ(classOf(poBar), QStringLiteral("GP"));
    EXPECT_EQ(classOf(poWithText), QStringLiteral("GPIconWithText"));
    EXPECT_EQ(classOf(poPlain), QStringLiteral("GP"));
    EXPECT_EQ(classOf(poMenuBar), QStringLiteral("SystemMenu"));
    EXPECT_EQ(classOf(poMenu), QStringLiteral("SystemMenu"));
    EXPECT_TRUE(classOf(&oDialog).isEmpty());

    // Recoloured icons: the button's in the plain colours, the bar's in the GP colours.
    EXPECT_TRUE(colourNear(centrePixel(poIconButton->icon()), QColor(97, 97, 97)));
    EXPECT_TRUE(colourNear(centrePixel(poAction->icon()), QColor(163, 163, 163)));
    EXPECT_TRUE(colourNear(centrePixel(poBarAction->icon()), QColor(163, 163, 163)));
    EXPECT_TRUE(colourNear(centrePixel(poBarAction->icon(), QIcon::Normal, QIcon::On),
                           QColor(74, 144, 226)));
}

TEST_F(UiStyleTest, LogoToolBar)
{
    std::unique_ptr<QToolBar> poBar(createLogoToolBar(QStringLiteral("CORV")));
    ASSERT_NE(poBar, nullptr);
    EXPECT_EQ(poBar->parent(), nullptr);
    EXPECT_EQ(classOf(poBar.get()), QStringLiteral("GP"));
    auto* poLogo = poBar->findChild<QFrame*>(QStringLiteral("TavrinLogo"));
    auto* poName = poBar->findChild<QLabel*>(QStringLiteral("ProductName"));
    ASSERT_NE(poLogo, nullptr);
    ASSERT_NE(poName, nullptr);
    EXPECT_EQ(poName->text(), QStringLiteral("CORV"));
    EXPECT_EQ(poName->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    EXPECT_EQ(poName->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

struct IconCase
{
    const char* pszName;
    bool bGP;
    bool bDusk;
    QIcon::Mode eMode;
    QIcon::State eState;
    QColor oExpected;
};

class SvgIconColourTest : public UiStyleTest, public ::testing::WithParamInterface<IconCase>
{
};

TEST_P(SvgIconColourTest, DrawsTheShapeInTheColourOfModeAndState)
{
    const IconCase& c = GetParam();
    if (c.bDusk)
        setDuskPalette();
    const QIcon oIcon(new SvgIconEngine(squareIcon(), c.bGP));

    const QImage oImage = oIcon.pixmap(QSize(40, 40), c.eMode, c.eState).toImage();
    ASSERT_EQ(oImage.size(), QSize(40, 40));
    EXPECT_TRUE(colourNear(oImage.pixelColor(20, 20), c.oExpected));
    EXPECT_EQ(qAlpha(oImage.pixel(1, 1)), 0); // outside the shape stays transparent
}

INSTANTIATE_TEST_SUITE_P(
    Colours, SvgIconColourTest,
    ::testing::Values(
        IconCase{"GPNormal", true, false, QIcon::Normal, QIcon::Off, QColor(163, 163, 163)},
        IconCase{"GPDisabled", true, false, QIcon::Disabled, QIcon::Off, QColor(245, 245, 245, 128)},
        IconCase{"GPOn", true, true, QIcon::Normal, QIcon::On, QColor(74, 144, 226)},
        IconCase{"ActiveOn", false, false, QIcon::Active, QIcon::On, QColor(74, 144, 226)},
        IconCase{"DisabledOnIsNormal", false, false, QIcon::Disabled, QIcon::On, QColor(97, 97, 97)},
        IconCase{"SelectedIsNormal", false, false, QIcon::Selected, QIcon::Off, QColor(97, 97, 97)},
        IconCase{"DayDisabled", false, false, QIcon::Disabled, QIcon::Off, QColor(97, 97, 97, 128)},
        IconCase{"DuskNormal", false, true, QIcon::Normal, QIcon::Off, QColor(163, 163, 163)},
        IconCase{"DuskDisabled", false, true, QIcon::Disabled, QIcon::Off, QColor(234, 234, 234, 128)}),
    [](const ::testing::TestParamInfo<IconCase>& info) { return info.param.pszName; });

TEST_F(UiStyleTest, RecolouredIconsKeepTheirShapeAndFollowTheMode)
{
    const QIcon oOnce(new SvgIconEngine(squareIcon(), false));
    const QIcon oTwice(new SvgIconEngine(oOnce, false));
    const QIcon oCopy = oTwice; // shares the engine
    const QIcon oSnapshot(oTwice.pixmap(40)); // a plain pixmap, for contrast
    EXPECT_TRUE(colourNear(centrePixel(oTwice), QColor(97, 97, 97)));
    EXPECT_EQ(qAlpha(oTwice.pixmap(QSize(40, 40)).toImage().pixel(2, 2)), 0);

    // Icons already made take the new colours the next time they are drawn.
    setDuskPalette();
    EXPECT_TRUE(colourNear(centrePixel(oCopy), QColor(163, 163, 163)));
    EXPECT_TRUE(colourNear(centrePixel(oSnapshot), QColor(97, 97, 97)));

    // Resource artwork goes through the same engine.
    const QIcon oWidgets(new SvgIconEngine(QIcon(":/uistyle/md/device/ic_widgets_24px.svg"), true));
    const QImage oImage = oWidgets.pixmap(QSize(24, 24)).toImage();
    EXPECT_TRUE(colourNear(oImage.pixelColor(7, 17), QColor(163, 163, 163)));
    EXPECT_EQ(qAlpha(oImage.pixel(12, 12)), 0);
}

// The logo tool bar is light in Bright Day: its icons must not take the pale colour that reads as
// disabled there; the other modes take the pale colour back.
TEST_F(UiStyleTest, BrightDayDrawsLogoBarIconsDark)
{
    const QIcon oLogoBar(new SvgIconEngine(squareIcon(), true));
    applyStyleSheet(nullptr, 3, 1);
    EXPECT_TRUE(colourNear(centrePixel(oLogoBar), QColor(86, 89, 92)));
    for (int nMode : {0, 1}) {
        applyStyleSheet(nullptr, 3, 1);
        applyStyleSheet(nullptr, nMode, 1);
        EXPECT_TRUE(colourNear(centrePixel(oLogoBar), QColor(163, 163, 163))) << nMode;
    }
}

TEST_F(UiStyleTest, ResourcesHoldFontsAndTheNamedArtwork)
{
    EXPECT_TRUE(QFontDatabase().families().contains(QStringLiteral("Lato")));
    const char* const apszIcons[] = {
        ":/uistyle/md/action/ic_zoom_in_24px.svg",
        ":/uistyle/md/action/ic_zoom_out_24px.svg",
        ":/uistyle/md/image/ic_straighten_24px.svg",
        ":/uistyle/zeplin/boresight-d.svg",
        ":/uistyle/zeplin/boresight-p.svg",
        ":/uistyle/zeplin/increase.svg",
        ":/uistyle/zeplin/decrease.svg",
        ":/uistyle/zeplin/logo-tavrin.svg",
        ":/uistyle/md/action/ic_timeline_24px.svg",
        ":/uistyle/md/device/ic_widgets_24px.svg",
        ":/uistyle/md/image/ic_grain_24px.svg",
        ":/uistyle/md/action/ic_open_with_24px.svg",
        ":/uistyle/md/action/ic_picture_in_picture_24px.svg",
        ":/uistyle/md/maps/ic_directions_boat_24px.svg",
        ":/uistyle/md/action/ic_aspect_ratio_24px.svg",
        ":/uistyle/md/device/ic_brightness_auto_24px.svg",
        ":/uistyle/md/device/ic_screen_rotation_24px.svg",
        ":/uistyle/md/communication/ic_clear_all_24px.svg",
        ":/uistyle/md/action/ic_autorenew_24px.svg",
        ":/uistyle/md/maps/ic_place_24px.svg",
        ":/uistyle/images/logo-tavrin.svg",
        ":/uistyle/images/tavrin_logo_white_notext.svg",
        ":/uistyle/images/tavrin_logo_#EAEDF3_notext.svg",
        ":/uistyle/images/ic_arrow_drop_down_black_24px.svg",
        ":/uistyle/images/ic_arrow_drop_down_white_24px.svg",
    };
    for (const char* pszPath : apszIcons) {
        const QImage oImage = QIcon(QString::fromLatin1(pszPath)).pixmap(24).toImage();
        bool bDrawn = false;
        for (int y = 0; y < oImage.height() && !bDrawn; ++y) {
            for (int x = 0; x < oImage.width() && !bDrawn; ++x)
                bDrawn = qAlpha(oImage.pixel(x, y)) > 0;
        }
        EXPECT_TRUE(bDrawn) << pszPath;
    }
}

} // namespace

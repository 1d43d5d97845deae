// The main application's parts that stand without the viewer server: the message handler, the
// viewer folder, the QA log entries, the scale text, the settings groups, the option pages and
// the status fields.
#include "CorvMain.h"
#include "MainWindowText.h"
#include "PropertiesSurvey.h"
#include "SettingsApplication.h"
#include "SettingsMapViewer.h"
#include "StatusInformationWidget.h"

#include "MapView/SettingsSurvey.h"
#include "QtAppFramework/PersistentStore.h"
#include "QtAppFramework/SettingsManager.h"
#include "platform/debug_output.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <qttreepropertybrowser.h>

#include <thread>

namespace {

TEST(QaLogEntry, FirstEntryOfARunCarriesTheSessionHeader)
{
    const QDateTime dtNow(QDate(2024, 3, 5), QTime(7, 8, 9, 10));
    EXPECT_EQ(qaLogEntry(QStringLiteral("start"), dtNow, QDateTime(), true),
              QStringLiteral("\n\n") + QString(40, QLatin1Char('-')) + QStringLiteral("\nQELQA New Session\n")
                  + QStringLiteral("20240305 - 07:08:09:010\n") + QString(40, QLatin1Char('-'))
                  + QStringLiteral("\n\n\n20240305 - 07:08:09:010 - start"));
}

TEST(QaLogEntry, LaterEntriesAreOneLineWithAnEmptyLineUnlessInTheSameMillisecond)
{
    const QDateTime dtNow(QDate(2024, 3, 5), QTime(7, 8, 9, 10));
    struct Case {
        QString strMsg;
        QDateTime dtLast;
        QString strExpected;
    };
    const Case aCases[] = {
        {QStringLiteral("two\nlines\n"), dtNow.addMSecs(-1), QStringLiteral("20240305 - 07:08:09:010 - twolines\n")},
        {QStringLiteral("same ms"), dtNow, QStringLiteral("20240305 - 07:08:09:010 - same ms")},
        {QStringLiteral("no last"), QDateTime(), QStringLiteral("20240305 - 07:08:09:010 - no last\n")},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(qaLogEntry(oCase.strMsg, dtNow, oCase.dtLast, false), oCase.strExpected) << qPrintable(oCase.strMsg);
}

TEST(ScaleText, ReadsTheDenominatorWithOrWithoutThePrefix)
{
    const QMap<QString, int> mapGood{{QStringLiteral("1:25000"), 25000}, {QStringLiteral("25000"), 25000},
                                     {QStringLiteral("1:10000"), 10000}, {QStringLiteral("1:2:3"), 2}};
    for (auto it = mapGood.cbegin(); it != mapGood.cend(); ++it) {
        int nScale = 0;
        EXPECT_TRUE(scaleFromText(it.key(), nScale)) << qPrintable(it.key());
        EXPECT_EQ(nScale, it.value()) << qPrintable(it.key());
    }
    // 1 or less would reach the controller as a zoom step or as nothing.
    for (const QString& strBad : {QString(), QStringLiteral("1:"), QStringLiteral("1:abc"), QStringLiteral("abc"),
                                  QStringLiteral("1:1"), QStringLiteral("1"), QStringLiteral("-1"), QStringLiteral("1:-1"),
                                  QStringLiteral("0"), QStringLiteral("1:0"), QStringLiteral("1:99999999999")}) {
        int nScale = 7;
        EXPECT_FALSE(scaleFromText(strBad, nScale)) << qPrintable(strBad);
        EXPECT_EQ(nScale, 7) << qPrintable(strBad);
    }
}

// Runtime events in order: which lines reach the Output pane.
TEST(RuntimeEventLines, EmptyAndRepeatedEventsStayOutOfTheOutputPane)
{
    struct Step {
        int nCode;
        const char* szParams;
        bool bOutput;
    };
    const Step aSteps[] = {
        {479, "", false},                // nothing to say
        {479, "1;65;65;200;2", true},    // the first ping mode
        {479, "1;65;65;200;2", false},   // the same every two seconds
        {22, "1;65;65;200;2", true},     // another event with that text
        {479, "1;80;80;200;2", true},    // a change
        {479, "1;65;65;200;2", true},    // and back
        {33, "   ", false},
    };
    CRuntimeEventLines oLines;
    for (const Step& oStep : aSteps)
        EXPECT_EQ(oLines.forOutput(oStep.nCode, QString::fromLatin1(oStep.szParams)), oStep.bOutput)
            << oStep.nCode << " \"" << oStep.szParams << "\"";
}

TEST(ViewerServerFolder, OrlexDirWhenItExistsElseTheDefaultFolder)
{
    corvtest::prepareScratch();
    const QByteArray baOld = qgetenv("ORLEXDIR");
    qunsetenv("ORLEXDIR");
    EXPECT_EQ(viewerServerFolder(), QStringLiteral("..\\Orlex\\"));
    qputenv("ORLEXDIR", "");
    EXPECT_EQ(viewerServerFolder(), QStringLiteral("..\\Orlex\\"));
    qputenv("ORLEXDIR", QFile::encodeName(corvtest::scratchDir() + QStringLiteral("/no-such-folder")));
    EXPECT_EQ(viewerServerFolder(), QStringLiteral("..\\Orlex\\"));
    // An existing folder is taken as it is, without a separator added.
    qputenv("ORLEXDIR", QFile::encodeName(corvtest::scratchDir()));
    EXPECT_EQ(viewerServerFolder(), corvtest::scratchDir());
    qputenv("ORLEXDIR", baOld);
}

// The handler installed for one test; debugger output is collected.
class MessageHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oPreviousSink = platform::setDebugSink([this](const QString& strText) {
            std::lock_guard<std::mutex> oLock(m_oMutex);
            m_lstDebug << strText;
        });
        m_pPrevious = qInstallMessageHandler(qtMessageHandler);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_pPrevious);
        clearMessageTarget();
        platform::setDebugSink(m_oPreviousSink);
    }
    QStringList debugOutput()
    {
        std::lock_guard<std::mutex> oLock(m_oMutex);
        return m_lstDebug;
    }

    std::mutex m_oMutex;
    QStringList m_lstDebug;
    platform::DebugSink m_oPreviousSink;
    QtMessageHandler m_pPrevious = nullptr;
};

TEST_F(MessageHandlerTest, BeforeTheMainWindowMessagesGoToDebuggerOutputWithTheirColour)
{
    qDebug("plain");
    qWarning("careful");
    qCritical("broken");
    qInfo("not shown");
    EXPECT_EQ(debugOutput(), QStringList({QStringLiteral("plain\n"),
                                          QStringLiteral("<font color=\"#FF7F00\">careful</font>\n"),
                                          QStringLiteral("<font color=\"#FF0000\">broken</font>\n"),
                                          QStringLiteral("\n")}));
}

TEST_F(MessageHandlerTest, AfterwardsTheDebugPaneShowsThemAsTextFromAnyThread)
{
    QPlainTextEdit oPane;
    setMessageTarget(&oPane);
    qWarning("  a <b>bold</b> & claim  ");
    std::thread oOther([] { qDebug("from the runtime thread"); });
    oOther.join();
    ASSERT_TRUE(corvtest::waitUntil([&] { return oPane.blockCount() >= 2; }));
    EXPECT_TRUE(debugOutput().isEmpty());
    EXPECT_EQ(oPane.document()->findBlockByNumber(0).text(), QStringLiteral("a <b>bold</b> & claim"));
    QTextCursor oCursor(oPane.document()->findBlockByNumber(0));
    oCursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(oCursor.charFormat().foreground().color(), QColor(0xFF, 0x7F, 0x00));
    EXPECT_EQ(oPane.document()->findBlockByNumber(1).text(), QStringLiteral("from the runtime thread"));

    // The window is built but has no pane: nothing is shown anywhere.
    setMessageTarget(nullptr);
    qWarning("lost");
    EXPECT_TRUE(debugOutput().isEmpty());
}

// A store in memory, for the settings manager.
class CMemoryStore : public CPersistentStore {
public:
    void write(const QString& key, const QVariant& value) override { m_mapValues.insert(m_strGroup + key, value); }
    void read(const QString& key, QVariant& vOut) override { vOut = m_mapValues.value(m_strGroup + key); }
    void beginGroup(const QString& name) override { m_strGroup = name + QLatin1Char('/'); }
    void endGroup() override { m_strGroup.clear(); }

    QMap<QString, QVariant> m_mapValues;
    QString m_strGroup;
};

// The application's groups, registered once with the process-wide settings manager.
class AppSettingsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CSettingsManager* poManager = CSettingsManager::instance();
        if (poManager->findGroup(Application))
            return;
        poManager->addGroup(new CSettingsApplication(Application, QStringLiteral("Application"), nullptr, nullptr));
        poManager->addGroup(new CSettingsSurvey(Survey, QStringLiteral("Survey"), nullptr));
        poManager->addGroup(new CSettingsMapViewer(MapViewer, QStringLiteral("MapViewer"), nullptr));
    }
    static QVariant value(int nGroup, int nSetting)
    {
        QVariant vValue;
        CSettingsManager::instance()->getValue(nGroup, nSetting, vValue, false);
        return vValue;
    }
};

TEST_F(AppSettingsTest, SavedSettingsComeBackAndUnkeyedOnesStartFromTheirDefaults)
{
    CSettingsManager* poManager = CSettingsManager::instance();
    CMemoryStore oStore;
    poManager->save(&oStore);
    EXPECT_EQ(oStore.m_mapValues.value(QStringLiteral("Application/RecentSurveyListLength")), QVariant(5));
    EXPECT_EQ(oStore.m_mapValues.value(QStringLiteral("Application/RezarPort")), QVariant(15678));
    EXPECT_EQ(oStore.m_mapValues.value(QStringLiteral("MapViewer/QEL5PCAddr")), QVariant(QStringLiteral("127.0.0.1")));
    // COG vector visible, real-time positions shown, their colour and id 31 have no key.
    EXPECT_EQ(oStore.m_mapValues.keys().filter(QStringLiteral("MapViewer/")).size(), 41);

    poManager->setValue(Application, CSettingsApplication::RecentSurveyListLength, 9, true);
    poManager->setValue(MapViewer, CSettingsMapViewer::CogVectorVisible, true, true);
    poManager->setValue(MapViewer, CSettingsMapViewer::RealtimePositionColour, QColor(Qt::red), true);
    poManager->save(&oStore);
    poManager->setValue(Application, CSettingsApplication::RecentSurveyListLength, 3, true);
    poManager->setValue(MapViewer, CSettingsMapViewer::CogVectorVisible, false, true);

    poManager->load(&oStore);
    poManager->applyAll(true);
    EXPECT_EQ(value(Application, CSettingsApplication::RecentSurveyListLength), QVariant(9));
    // Not stored: the value set last stays, nothing comes from the store.
    EXPECT_EQ(value(MapViewer, CSettingsMapViewer::CogVectorVisible), QVariant(false));
    poManager->setValue(Application, CSettingsApplication::RecentSurveyListLength, 5, true);
    poManager->setValue(MapViewer, CSettingsMapViewer::RealtimePositionColour, QColor(Qt::lightGray), true);
}

// Settings kept without effect: the start's load of the stored (or default) values stays quiet,
// an operator's change warns.
TEST_F(AppSettingsTest, SettingWithoutConsumerWarnsOnlyWhenChanged)
{
    CSettingsGroup* poGroup = CSettingsManager::instance()->findGroup(MapViewer);
    static QStringList* s_plstWarnings = nullptr;
    QStringList lstWarnings;
    s_plstWarnings = &lstWarnings;
    struct Case {
        int nId;
        QVariant vValue;
        int nWarnings;
    };
    const QVariant vDefault3D = [&] { QVariant v; poGroup->get(16, v); return v; }();
    const Case aCases[] = {
        {16, vDefault3D, 0},                         // the value it has (a start's load)
        {13, QStringLiteral("navigation2d.xml"), 0}, // its default
        {16, QColor(Qt::darkBlue), 1},               // changed
        {16, QColor(Qt::darkBlue), 0},               // the same again
        {14, QStringLiteral("other3d.xml"), 1},
    };
    const QtMessageHandler pPrevious = qInstallMessageHandler([](QtMsgType eType, const QMessageLogContext&, const QString& strMsg) {
        if (eType == QtWarningMsg)
            s_plstWarnings->append(strMsg);
    });
    for (const Case& oCase : aCases) {
        lstWarnings.clear();
        poGroup->set(oCase.nId, oCase.vValue);
        EXPECT_EQ(lstWarnings.size(), oCase.nWarnings) << oCase.nId << " " << qPrintable(lstWarnings.join(QLatin1Char('|')));
    }
    qInstallMessageHandler(pPrevious);
    poGroup->set(16, vDefault3D);
    poGroup->set(14, QStringLiteral("navigation3d.xml"));
}

TEST_F(AppSettingsTest, MapViewerIdsOutsideTheTableAndSettingsWithoutConsumer)
{
    CSettingsGroup* poGroup = CSettingsManager::instance()->findGroup(MapViewer);
    QVariant vOut = 7;
    poGroup->get(45, vOut);
    EXPECT_FALSE(vOut.isValid());

    QStringList lstWarnings;
    static QStringList* s_plstWarnings = nullptr;
    s_plstWarnings = &lstWarnings;
    const QtMessageHandler pPrevious = qInstallMessageHandler([](QtMsgType eType, const QMessageLogContext&, const QString& strMsg) {
        if (eType == QtWarningMsg)
            s_plstWarnings->append(strMsg);
    });
    poGroup->set(2, QStringLiteral("Arial"));
    poGroup->set(CSettingsMapViewer::QEL5PCAddr, QStringLiteral("10.0.0.5"));
    poGroup->set(CSettingsMapViewer::DepthTailPointSize, 0);
    qInstallMessageHandler(pPrevious);
    ASSERT_EQ(lstWarnings.size(), 1);
    EXPECT_TRUE(lstWarnings.first().startsWith(QStringLiteral("Not Implemented"))) << qPrintable(lstWarnings.first());
    poGroup->get(2, vOut);
    EXPECT_EQ(vOut, QVariant(QStringLiteral("Arial")));
    // Without a map view the value is only stored, the number given kept.
    poGroup->get(CSettingsMapViewer::DepthTailPointSize, vOut);
    EXPECT_EQ(vOut, QVariant(0));
    poGroup->set(2, QStringLiteral("CourierNew"));
    poGroup->set(CSettingsMapViewer::QEL5PCAddr, QStringLiteral("127.0.0.1"));
    poGroup->set(CSettingsMapViewer::DepthTailPointSize, 2);
}

TEST_F(AppSettingsTest, ApplicationIdsOutsideTheTableChangeNothing)
{
    CSettingsGroup* poGroup = CSettingsManager::instance()->findGroup(Application);
    poGroup->set(30, 99);
    QVariant vOut = QStringLiteral("untouched");
    poGroup->get(30, vOut);
    EXPECT_EQ(vOut, QVariant(QStringLiteral("untouched")));
    const char* szKey = "x";
    poGroup->keyName(30, &szKey);
    EXPECT_EQ(szKey, nullptr);
}

TEST_F(AppSettingsTest, SurveyPageOpensCollapsedWithItsLimits)
{
    CPropertiesSurvey oPage(QStringLiteral("Survey"), nullptr);
    const QList<QtBrowserItem*> lstTop = oPage.browser()->topLevelItems();
    ASSERT_EQ(lstTop.size(), 5);
    for (QtBrowserItem* poItem : lstTop)
        EXPECT_FALSE(oPage.browser()->isExpanded(poItem)) << poItem->property()->propertyName().toStdString();
    EXPECT_EQ(lstTop.last()->property()->propertyName(), QStringLiteral("Planning and User objects "));

    struct Limit {
        int nGroup;
        int nSetting;
        int nMinimum;
        int nMaximum;
    };
    for (const Limit& oLimit : {Limit{MapViewer, 20, 1, 8}, Limit{MapViewer, 25, 1, 20}, Limit{Survey, 28, 1, 8}}) {
        QtVariantProperty* poRow =
            oPage.manager()->variantProperty(oPage.property(CPropertiesNode::propertyId(oLimit.nGroup, oLimit.nSetting)));
        ASSERT_NE(poRow, nullptr) << oLimit.nSetting;
        EXPECT_EQ(poRow->attributeValue(QStringLiteral("minimum")), QVariant(oLimit.nMinimum)) << oLimit.nSetting;
        EXPECT_EQ(poRow->attributeValue(QStringLiteral("maximum")), QVariant(oLimit.nMaximum)) << oLimit.nSetting;
        poRow->setValue(oLimit.nMaximum + 5);
        EXPECT_EQ(poRow->value(), QVariant(oLimit.nMaximum)) << oLimit.nSetting;
    }
    oPage.cancel();
}

TEST_F(AppSettingsTest, SurveyPageEditsReachTheirGroups)
{
    CPropertiesSurvey oPage(QStringLiteral("Survey"), nullptr);
    oPage.activate();
    const auto row = [&](int nGroup, int nSetting) {
        return oPage.manager()->variantProperty(oPage.property(CPropertiesNode::propertyId(nGroup, nSetting)));
    };
    row(MapViewer, CSettingsMapViewer::LightDirection)->setValue(2);       // "South East"
    row(MapViewer, CSettingsMapViewer::GraticuleLabelFormat)->setValue(2); // "DD MM SS.SS"
    row(Survey, CSettingsSurvey::HightlightColor)->setValue(QColor(Qt::green));
    row(Survey, CSettingsSurvey::GridVariable)->setValue(3); // "Zg"
    oPage.apply(false);
    EXPECT_EQ(value(MapViewer, CSettingsMapViewer::LightDirection), QVariant(2));
    EXPECT_EQ(value(MapViewer, CSettingsMapViewer::GraticuleLabelFormat), QVariant(2));
    EXPECT_EQ(value(Survey, CSettingsSurvey::HightlightColor).value<QColor>(), QColor(Qt::green));
    EXPECT_EQ(value(Survey, CSettingsSurvey::GridVariable), QVariant(3));
    oPage.deactivate();
    CSettingsManager::instance()->setValue(MapViewer, CSettingsMapViewer::LightDirection, 0, true);
    CSettingsManager::instance()->setValue(MapViewer, CSettingsMapViewer::GraticuleLabelFormat, 0, true);
    CSettingsManager::instance()->setValue(Survey, CSettingsSurvey::HightlightColor, QColor(Qt::yellow), true);
    CSettingsManager::instance()->setValue(Survey, CSettingsSurvey::GridVariable, 0, true);
}

TEST(StatusFields, TextsGrowTheirBoxAndUnknownFieldsAreIgnored)
{
    QWidget oBar;
    StatusInformationWidget oFields;
    oFields.addItem(3, QStringLiteral("Ping mode"), &oBar);
    QLineEdit* poEdit = oFields.itemEdit(3);
    ASSERT_NE(poEdit, nullptr);
    const QString strLong(80, QLatin1Char('W'));
    oFields.setItemText(3, strLong);
    EXPECT_EQ(poEdit->text(), strLong);
    EXPECT_GE(poEdit->width(), poEdit->fontMetrics().horizontalAdvance(strLong));

    oFields.setItemText(4, QStringLiteral("nobody"));
    oFields.setItemVisible(4, false);
    oBar.show();
    oFields.setItemVisible(3, false);
    EXPECT_FALSE(poEdit->isVisible());
    EXPECT_FALSE(oFields.itemLabel(3)->isVisible());
    oFields.setItemVisible(3, true);
    EXPECT_TRUE(poEdit->isVisible());
}

} // namespace

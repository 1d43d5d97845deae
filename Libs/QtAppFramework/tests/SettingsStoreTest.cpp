#include "QtAppFramework/GeneralStore.h"
#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/QtLogger.h"
#include "QtAppFramework/SettingsLayout.h"
#include "QtAppFramework/SettingsLogging.h"
#include "QtAppFramework/SettingsManager.h"
#include "TestGroup.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QSettings>

#include <memory>

namespace {

// The groups of one run, registered in the system's order, and the store file behind them.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The store lives below XDG_CONFIG_HOME, which the test environment points at scratch.
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"));
        QCoreApplication::setOrganizationName(QStringLiteral("Tavrin Nautic AS"));
        QCoreApplication::setApplicationName(QStringLiteral("T-Qel Corvane"));
        QSettings oSettings;
        oSettings.clear();
        oSettings.sync();

        CLoggingManager::instance()->init();
        m_poSurvey = std::make_unique<CTestGroup>(
            1, QStringLiteral("Survey"), QByteArrayList{"GridColor", "GridVisibility", "GridVariable", "", "Depth"});
        m_poLayout = std::make_unique<CSettingsLayout>(4, QStringLiteral("Layout"), nullptr, nullptr);
        m_poLogging = std::make_unique<CSettingsLogging>(8, QStringLiteral("Logging"), nullptr);
        CSettingsManager::instance()->addGroup(m_poSurvey.get());
        CSettingsManager::instance()->addGroup(m_poLayout.get());
        CSettingsManager::instance()->addGroup(m_poLogging.get());
    }

    void TearDown() override { CLoggingManager::instance()->init(); }

    static QString storeFilePath()
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("Tavrin Nautic AS/T-Qel Corvane.conf"));
    }

    std::unique_ptr<CTestGroup> m_poSurvey;
    std::unique_ptr<CSettingsLayout> m_poLayout;
    std::unique_ptr<CSettingsLogging> m_poLogging;
};

TEST_F(SettingsStore, SaveWritesCurrentValuesOfKeyedSettingsToTheFile)
{
    CSettingsManager* poManager = CSettingsManager::instance();
    poManager->setValue(1, 0, QColor(1, 2, 3), true);
    poManager->setValue(1, 1, true, true);
    poManager->setValue(8, CSettingsLogging::LogFileName, QStringLiteral("c:/temp/edited.log"), false); // not applied
    poManager->setValue(8, CSettingsLogging::LogFileSizeMax, 123456, true);

    CGeneralStore oStore;
    EXPECT_EQ(QFileInfo(oStore.fileName()).absoluteFilePath(), QFileInfo(storeFilePath()).absoluteFilePath());
    poManager->save(&oStore);

    // On disk after the save, not only in this process's cache.
    QFile oFile(storeFilePath());
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    const QByteArray baText = oFile.readAll();
    for (const char* szLine : {"[Survey]", "GridVisibility=true", "Depth=40", "[Logging]",
                               "LogFileName=c:/temp/edited.log", "LogFileSizeMax=123456", "[Layout]"})
        EXPECT_TRUE(baText.contains(szLine)) << szLine << "\n" << baText.constData();

    QSettings oReader(QStringLiteral("Tavrin Nautic AS"), QStringLiteral("T-Qel Corvane"));
    EXPECT_EQ(oReader.childGroups(), (QStringList{QStringLiteral("Layout"), QStringLiteral("Logging"), QStringLiteral("Survey")}));
    oReader.beginGroup(QStringLiteral("Survey"));
    // The setting without key is not written.
    EXPECT_EQ(oReader.childKeys(), (QStringList{QStringLiteral("Depth"), QStringLiteral("GridColor"),
                                                QStringLiteral("GridVariable"), QStringLiteral("GridVisibility")}));
    EXPECT_EQ(oReader.value(QStringLiteral("GridColor")).value<QColor>(), QColor(1, 2, 3));
    oReader.endGroup();
    EXPECT_EQ(oReader.value(QStringLiteral("Layout/LayoutBottomRightCorner")).toInt(), 8);
    EXPECT_EQ(oReader.value(QStringLiteral("Logging/LogServerAddr")).toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(oReader.allKeys().size(), 4 + 6 + 7);
}

TEST_F(SettingsStore, LoadMarksStoredValuesAsEditsAndForcedApplyPushesEverything)
{
    {
        QSettings oWriter;
        oWriter.setValue(QStringLiteral("Survey/GridVisibility"), false);
        oWriter.setValue(QStringLiteral("Survey/GridVariable"), 3);
        oWriter.setValue(QStringLiteral("Survey/Depth"), 77);
        oWriter.setValue(QStringLiteral("Logging/LogEnable"), false);
        oWriter.setValue(QStringLiteral("Logging/LogFileSizeMax"), 5000);
        oWriter.setValue(QStringLiteral("Logging/LogServerPort"), QStringLiteral("12000"));
        oWriter.setValue(QStringLiteral("Layout/LayoutGroup"), 3);
        oWriter.sync();
    }
    CLoggingManager* poRouter = CLoggingManager::instance();
    poRouter->setBackendLogger(new CQtLogger(0));
    ASSERT_TRUE(poRouter->isEnabled());

    CGeneralStore oStore;
    CSettingsManager::instance()->load(&oStore);

    // Stored values arrive as edits; the keys GridVisibility and GridVariable are never loaded.
    CSetting* poDepth = m_poSurvey->findSetting(4);
    EXPECT_TRUE(poDepth->valueDirty());
    EXPECT_EQ(poDepth->value().toInt(), 77);
    EXPECT_EQ(poDepth->appliedValue(), QVariant(40));
    for (int id : {0, 1, 2, 3})
        EXPECT_FALSE(m_poSurvey->findSetting(id)->valueDirty()) << id;
    EXPECT_TRUE(m_poSurvey->m_lstSets.isEmpty());
    EXPECT_TRUE(poRouter->isEnabled());
    EXPECT_EQ(m_poLogging->findSetting(CSettingsLogging::LogServerPort)->value(), QVariant(QStringLiteral("12000")));

    CSettingsManager::instance()->applyAll(true);
    EXPECT_EQ(m_poSurvey->m_lstSets.size(), 5);
    EXPECT_EQ(m_poSurvey->m_aLive[4].toInt(), 77);
    EXPECT_FALSE(poRouter->isEnabled());
    EXPECT_EQ(poRouter->logFileSizeMax(), 0); // 5000 is below the router's limit
    EXPECT_EQ(poRouter->serverPort(), 12000);
    EXPECT_EQ(poRouter->logFileName(), QStringLiteral("c:/temp/_qa_main_app.log"));

    // The Layout group keeps its group slot at 0 while the setting holds what was applied.
    QVariant vLive;
    m_poLayout->get(CSettingsLayout::LayoutGroup, vLive);
    EXPECT_EQ(vLive, QVariant(0));
    EXPECT_EQ(m_poLayout->findSetting(CSettingsLayout::LayoutGroup)->appliedValue().toInt(), 3);
}

// A stored value that can't stand for the setting's type is not loaded: the setting keeps its
// value and the log says so once.
TEST_F(SettingsStore, StoredValuesOfTheWrongTypeKeepTheDefaultWithOneWarning)
{
    struct Case {
        const char* szKey;      // of the Survey test group (live values 0, 10, 20, 30, 40)
        QVariant vStored;
        QVariant vExpected;     // the setting's value after the load
        bool bWarned;
    };
    const Case kCases[] = {
        {"Depth", QStringLiteral("abc"), 40, true},
        {"Depth", QStringLiteral("99999999999"), 40, true},
        {"Depth", QStringLiteral("-2147483649"), 40, true},
        {"Depth", QStringLiteral("12.5"), 40, true},
        {"Depth", QStringLiteral(" 77 "), QStringLiteral(" 77 "), false},
        {"Depth", QStringLiteral("-2147483648"), QStringLiteral("-2147483648"), false},
    };
    for (const Case& oCase : kCases) {
        SCOPED_TRACE(oCase.szKey + std::string("=") + oCase.vStored.toString().toStdString());
        {
            QSettings oWriter;
            oWriter.clear();
            oWriter.setValue(QStringLiteral("Survey/") + QLatin1String(oCase.szKey), oCase.vStored);
            oWriter.sync();
        }
        for (CSetting* poSetting : m_poSurvey->settings())
            poSetting->load();
        QStringList lstWarnings;
        static QStringList* s_plstWarnings = nullptr;
        s_plstWarnings = &lstWarnings;
        const QtMessageHandler pfPrevious = qInstallMessageHandler([](QtMsgType eType, const QMessageLogContext&, const QString& strText) {
            if (eType == QtWarningMsg && s_plstWarnings)
                s_plstWarnings->append(strText);
        });
        CGeneralStore oStore;
        CSettingsManager::instance()->load(&oStore);
        qInstallMessageHandler(pfPrevious);
        s_plstWarnings = nullptr;

        int nId = -1;
        for (CSetting* poSetting : m_poSurvey->settings())
            if (poSetting->key() == QLatin1String(oCase.szKey))
                nId = poSetting->id();
        ASSERT_GE(nId, 0);
        CSetting* poSetting = m_poSurvey->findSetting(nId);
        EXPECT_EQ(poSetting->value().toString(), oCase.vExpected.toString());
        EXPECT_EQ(poSetting->valueDirty(), !oCase.bWarned);
        const QStringList lstMine = lstWarnings.filter(QStringLiteral("Setting ") + QLatin1String(oCase.szKey));
        EXPECT_EQ(lstMine.size(), oCase.bWarned ? 1 : 0) << lstWarnings.join('\n').toStdString();
    }
}

TEST_F(SettingsStore, EmptyStoreLoadsNothingAndForcedApplyHandsTheDefaultsToTheRouter)
{
    CLoggingManager* poRouter = CLoggingManager::instance();
    poRouter->setBackendLogger(new CQtLogger(0));
    // Building the group hands nothing to the router.
    EXPECT_TRUE(poRouter->logFileName().isEmpty());
    EXPECT_EQ(poRouter->outputDeviceMask(), 0);

    CGeneralStore oStore;
    CSettingsManager::instance()->load(&oStore);
    for (CSetting* poSetting : m_poLogging->settings())
        EXPECT_FALSE(poSetting->valueDirty()) << poSetting->key().toStdString();

    CSettingsManager::instance()->applyAll(true);
    EXPECT_TRUE(poRouter->isEnabled());
    EXPECT_EQ(poRouter->logFileName(), QStringLiteral("c:/temp/_qa_main_app.log"));
    EXPECT_EQ(poRouter->logFileSizeMax(), 100000);
    EXPECT_EQ(poRouter->outputDeviceMask(), 4);
    EXPECT_EQ(poRouter->msgTypeMask(), 65535);
    EXPECT_EQ(poRouter->serverAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(poRouter->serverPort(), 11965);
    EXPECT_TRUE(poRouter->backendLogger()->hasFlags(CLogger::DebugString));
    EXPECT_EQ(m_poSurvey->m_lstSets.size(), 5);
}

TEST_F(SettingsStore, NullStoreAndMissingKeysChangeNothing)
{
    CSettingsManager::instance()->load(nullptr);
    CSettingsManager::instance()->save(nullptr);
    CGeneralStore oStore;
    QVariant vOut = 5;
    oStore.beginGroup(QStringLiteral("Survey"));
    oStore.read(QStringLiteral("Depth"), vOut);
    oStore.endGroup();
    EXPECT_FALSE(vOut.isValid());
    EXPECT_FALSE(QFile::exists(storeFilePath()) && QFileInfo(storeFilePath()).size() > 0);
}

TEST(SettingsLayout, DefaultsComeFromTheWindowAndSetsNeverTouchIt)
{
    CSettingsLayout oDetached(4, QStringLiteral("Layout"), nullptr, nullptr);
    QMainWindow oWindow;
    oWindow.setCorner(Qt::TopLeftCorner, Qt::LeftDockWidgetArea);
    oWindow.setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::VerticalTabs);
    CSettingsLayout oAttached(4, QStringLiteral("Layout"), &oWindow, nullptr);

    const QList<int> lstDetached{0, 1, 2, 8, 8, 7};
    const QList<int> lstAttached{0, Qt::LeftDockWidgetArea, oWindow.corner(Qt::TopRightCorner),
                                 oWindow.corner(Qt::BottomRightCorner), oWindow.corner(Qt::BottomLeftCorner),
                                 static_cast<int>(QMainWindow::AnimatedDocks | QMainWindow::VerticalTabs)};
    for (int id = 0; id < CSettingsLayout::SettingCount; ++id) {
        QVariant vDetached;
        QVariant vAttached;
        oDetached.get(id, vDetached);
        oAttached.get(id, vAttached);
        EXPECT_EQ(vDetached, QVariant(lstDetached.at(id))) << id;
        EXPECT_EQ(vAttached.toInt(), lstAttached.at(id)) << id;
        const char* szKey = nullptr;
        oAttached.keyName(id, &szKey);
        EXPECT_NE(szKey, nullptr);
    }

    for (int id = 0; id < CSettingsLayout::SettingCount; ++id) {
        oDetached.set(id, 4);
        oAttached.set(id, 4);
        QVariant vDetached;
        QVariant vAttached;
        oDetached.get(id, vDetached);
        oAttached.get(id, vAttached);
        EXPECT_EQ(vDetached, QVariant(lstDetached.at(id))) << id;
        EXPECT_EQ(vAttached, QVariant(id == 0 ? 0 : 4)) << id;
    }
    EXPECT_EQ(oWindow.corner(Qt::TopLeftCorner), Qt::LeftDockWidgetArea);
    EXPECT_EQ(oWindow.dockOptions(), QMainWindow::AnimatedDocks | QMainWindow::VerticalTabs);
}

} // namespace

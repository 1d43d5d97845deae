#include <gtest/gtest.h>

#include "TestGroup.h"

#include "QtAppFramework/AppPropertiesNode.h"
#include "QtAppFramework/ControlPane.h"
#include "QtAppFramework/OptionsDialog.h"
#include "QtAppFramework/SettingsManager.h"

#include <qttreepropertybrowser.h>
#include <qtvariantproperty.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>

#include <memory>

namespace {

constexpr int kGroup = 64;
constexpr int kOther = 128;

const PropertyEnumItem kLight[] = {{"North West", 0}, {"North East", 1}};

// Head (group row), Light (enum), Width (int) of group 64.
class CTestPage : public CAppPropertiesNode
{
public:
    explicit CTestPage(const QString& strName = QStringLiteral("Test Page"))
        : CAppPropertiesNode(strName, nullptr)
    {
        addTopLevelSetting(PropertyType::Group, kGroup, 0, "General", "General settings.");
        addSubSetting(kGroup, 0, PropertyType::Enum, kGroup, 1, "Light Direction",
                      "Where the light comes from.", kLight, 2);
        addSubSetting(kGroup, 0, PropertyType::Int, kGroup, 2, "Width", "Line width.");
        collapseAll();
        init();
    }

    QtVariantProperty* row(int nSettingId) const
    {
        return manager()->variantProperty(property(propertyId(kGroup, nSettingId)));
    }
    QtBrowserItem* item(int nSettingId) const
    {
        return browser()->items(property(propertyId(kGroup, nSettingId))).value(0);
    }
};

// One Bool row of group 128.
class COtherPage : public CAppPropertiesNode
{
public:
    COtherPage() : CAppPropertiesNode(QStringLiteral("Other Page"), nullptr)
    {
        addTopLevelSetting(PropertyType::Bool, kOther, 0, "Enabled", "On or off.");
        init();
    }
};

// The (title, description) pairs a node reports.
QList<QPair<QString, QString>>* recordInfo(CSettingsNodeComponent* poNode)
{
    auto* poRecord = new QList<QPair<QString, QString>>();
    QObject::connect(poNode, &CSettingsNodeComponent::settingInfo, poNode,
                     [poRecord](QString& strTitle, QString& strDescription) {
                         poRecord->append(qMakePair(strTitle, strDescription));
                     });
    QObject::connect(poNode, &QObject::destroyed, [poRecord] { delete poRecord; });
    return poRecord;
}

class OptionPagesTest : public ::testing::Test
{
protected:
    OptionPagesTest()
        : m_oGroup(kGroup, QStringLiteral("Test"), {"Head", "Light", "Width", "Name"}),
          m_oOther(kOther, QStringLiteral("Other"), {"Enabled"})
    {
        m_oGroup.m_aLive[1] = 1;
        m_oGroup.loadAll();
        m_oOther.m_aLive[0] = false;
        m_oOther.loadAll();
        CSettingsManager::instance()->addGroup(&m_oGroup);
        CSettingsManager::instance()->addGroup(&m_oOther);
    }

    CSetting* setting(int nSettingId) { return m_oGroup.findSetting(nSettingId); }

    CTestGroup m_oGroup;
    CTestGroup m_oOther;
};

TEST(PropertyIds, FoldGroupAndSetting)
{
    EXPECT_EQ(CPropertiesNode::propertyId(16, 32), 0x100020);
    EXPECT_EQ(CPropertiesNode::propertyId(1, 0x1FFFF), 0x1FFFF);
    EXPECT_EQ(CPropertiesNode::propertyId(2, -1), 0x2FFFF);
    EXPECT_EQ(CPropertiesNode::propertyId(0xFFFF, 0xFFFF), -1);
}

TEST_F(OptionPagesTest, RowsAreMadeOnlyWhereTheyCan)
{
    CAppPropertiesNode oPage(QStringLiteral("Rows"), nullptr);
    EXPECT_EQ(oPage.addTopLevelSetting(PropertyType::KeySequence, kGroup, 3, "Keys", ""), nullptr);
    EXPECT_EQ(oPage.addTopLevelSetting(static_cast<PropertyType>(99), kGroup, 3, "Odd", ""),
              nullptr);
    ASSERT_NE(oPage.addTopLevelSetting(PropertyType::Int, kGroup, 2, "Width", ""), nullptr);
    // No parent, or a parent that is not a group row.
    EXPECT_EQ(oPage.addSubSetting(kGroup, 9, PropertyType::Bool, kGroup, 3, "Orphan", ""), nullptr);
    EXPECT_EQ(oPage.addSubSetting(kGroup, 2, PropertyType::Bool, kGroup, 3, "Child", ""), nullptr);

    const PropertyDescriptor aRows[] = {
        {PropertyType::String, kGroup, 3, "Before any group", "", nullptr, 0},
        {PropertyType::Group, kGroup, 0, "General", "", nullptr, 0},
        {PropertyType::Enum, kGroup, 1, "Light", "", kLight, 2},
        {PropertyType::String, kGroup, 3, "Name", "", nullptr, 0},
    };
    oPage.addPropertyTable(aRows, 4);
    oPage.addPropertyTable(nullptr, 3);

    const QList<int> lstExpected{CPropertiesNode::propertyId(kGroup, 2),
                                 CPropertiesNode::propertyId(kGroup, 0),
                                 CPropertiesNode::propertyId(kGroup, 1),
                                 CPropertiesNode::propertyId(kGroup, 3)};
    EXPECT_EQ(oPage.boundIds(), lstExpected);
    QtProperty* poGeneral = oPage.property(CPropertiesNode::propertyId(kGroup, 0));
    ASSERT_NE(poGeneral, nullptr);
    ASSERT_EQ(poGeneral->subProperties().size(), 2);
    EXPECT_EQ(poGeneral->subProperties().at(1)->propertyName(), QStringLiteral("Name"));
    EXPECT_EQ(oPage.browser()->topLevelItems().size(), 2);
}

TEST_F(OptionPagesTest, EnumRowsShowItemsAndWriteTheirValues)
{
    CTestPage oPage;
    oPage.activate();
    oPage.browser()->show();
    EXPECT_EQ(oPage.row(1)->valueText(), QStringLiteral("North East"));
    EXPECT_EQ(oPage.propertyValue(CPropertiesNode::propertyId(kGroup, 1)), QVariant(1));

    // The operator picks "North West" in the row's editor.
    oPage.browser()->setExpanded(oPage.item(0), true);
    oPage.browser()->setCurrentItem(oPage.item(1));
    auto* poCombo = oPage.browser()->findChild<QComboBox*>();
    ASSERT_NE(poCombo, nullptr);
    poCombo->setCurrentIndex(0);
    EXPECT_EQ(setting(1)->value(), QVariant(0));
    EXPECT_EQ(setting(1)->value().userType(), int(QMetaType::Int));
    EXPECT_TRUE(setting(1)->valueDirty());
    EXPECT_TRUE(m_oGroup.m_lstSets.isEmpty());

    // A value no item carries is shown as itself and read back as itself.
    m_oGroup.setValue(1, 7, true);
    EXPECT_EQ(oPage.row(1)->valueText(), QStringLiteral("7"));
    EXPECT_EQ(oPage.propertyValue(CPropertiesNode::propertyId(kGroup, 1)), QVariant(7));
}

TEST_F(OptionPagesTest, EnumTableMapsIndexToValue)
{
    const PropertyEnumItem aScale[] = {{"x 1", 10}, {"x 2", 20}, {"x 5", 50}};
    m_oGroup.m_aLive[3] = 50;
    m_oGroup.loadAll();
    CAppPropertiesNode oPage(QStringLiteral("Scale"), nullptr);
    oPage.addTopLevelSetting(PropertyType::Enum, kGroup, 3, "Scale", "", aScale, 3);
    oPage.init();
    const int nId = CPropertiesNode::propertyId(kGroup, 3);

    auto* poRow = oPage.manager()->variantProperty(oPage.property(nId));
    EXPECT_EQ(poRow->value(), QVariant(2));
    EXPECT_EQ(poRow->valueText(), QStringLiteral("x 5"));
    oPage.setPropertyValue(nId, 20);
    EXPECT_EQ(poRow->value(), QVariant(1));
    EXPECT_EQ(oPage.propertyValue(nId), QVariant(20));
}

TEST_F(OptionPagesTest, ModelChangesShowWithoutComingBackAsEdits)
{
    CTestPage oPage;
    oPage.activate();
    QSignalSpy oEdits(&oPage, &CSettingsNodeComponent::settingValueChanged);

    m_oGroup.setValue(2, 5, true);

    EXPECT_EQ(oPage.row(2)->value(), QVariant(5));
    EXPECT_EQ(oEdits.count(), 0);
    EXPECT_FALSE(setting(2)->valueDirty());
    EXPECT_EQ(m_oGroup.m_lstSets.size(), 1);
}

TEST_F(OptionPagesTest, SelectingARowOpensItsEditorAndReportsIt)
{
    CTestPage oPage;
    oPage.activate();
    oPage.browser()->show();
    oPage.browser()->setExpanded(oPage.item(0), true);
    const auto* poInfo = recordInfo(&oPage);

    oPage.browser()->setCurrentItem(oPage.item(2));

    ASSERT_EQ(poInfo->size(), 1);
    EXPECT_EQ(poInfo->at(0).first, QStringLiteral("Width"));
    EXPECT_EQ(poInfo->at(0).second, QStringLiteral("Line width."));
    auto* poTree = oPage.browser()->findChild<QTreeWidget*>();
    auto* poSpin = qobject_cast<QSpinBox*>(poTree->indexWidget(poTree->currentIndex()));
    ASSERT_NE(poSpin, nullptr);
    poSpin->setValue(9);
    EXPECT_EQ(setting(2)->value(), QVariant(9));
    EXPECT_TRUE(setting(2)->valueDirty());
}

TEST_F(OptionPagesTest, ShowInfoReportsTheCurrentRowOrSelectsTheFirst)
{
    CTestPage oPage;
    oPage.activate();
    const auto* poInfo = recordInfo(&oPage);

    oPage.showInfo(new QWidget(oPage.browser())); // not a browser page: nothing
    EXPECT_EQ(poInfo->size(), 0);

    EXPECT_FALSE(oPage.browser()->isExpanded(oPage.item(0)));
    oPage.showInfo(oPage.browser());
    EXPECT_EQ(oPage.browser()->currentItem(), oPage.item(0));
    EXPECT_TRUE(oPage.browser()->isExpanded(oPage.item(0)));
    ASSERT_EQ(poInfo->size(), 1);
    EXPECT_EQ(poInfo->at(0).first, QStringLiteral("General"));

    oPage.showInfo(oPage.browser());
    ASSERT_EQ(poInfo->size(), 2);
    EXPECT_EQ(poInfo->at(1).second, QStringLiteral("General settings."));
}

TEST_F(OptionPagesTest, OpeningAGroupRowIsNoEdit)
{
    CTestPage oPage;
    oPage.activate();
    const QVariant vHead = setting(0)->value();
    QSignalSpy oEdits(&oPage, &CSettingsNodeComponent::settingValueChanged);

    oPage.browser()->setExpanded(oPage.item(0), true);
    oPage.browser()->setExpanded(oPage.item(0), false);
    oPage.apply(false);

    EXPECT_EQ(oEdits.count(), 0);
    EXPECT_EQ(setting(0)->value(), vHead);
    EXPECT_TRUE(setting(0)->value().isValid());
    EXPECT_TRUE(m_oGroup.m_lstSets.isEmpty());
}

// The options dialog with the test page and the other page, activated as the main window does.
class OptionsDialogTest : public OptionPagesTest
{
protected:
    OptionsDialogTest()
    {
        m_oDialog.addNode(&m_oPage);
        m_oDialog.addNode(&m_oOtherPage);
        m_oDialog.activate();
        m_oDialog.init();
        m_oDialog.show();
    }

    void click(QDialogButtonBox::StandardButton eButton)
    {
        m_oDialog.findChild<QDialogButtonBox*>(QStringLiteral("m_poButtonBox"))->button(eButton)->click();
    }
    QStackedWidget* stack() { return m_oDialog.findChild<QStackedWidget*>(QStringLiteral("m_poStackedWidget")); }
    QTreeWidget* tree() { return m_oDialog.findChild<QTreeWidget*>(QStringLiteral("m_poTreeWidget")); }
    QString labelText(const char* pszName)
    {
        return m_oDialog.findChild<QLabel*>(QLatin1String(pszName))->text();
    }

    CTestPage m_oPage;
    COtherPage m_oOtherPage;
    COptionsDialog m_oDialog;
};

TEST_F(OptionsDialogTest, FormAndFirstOpening)
{
    EXPECT_EQ(m_oDialog.objectName(), QStringLiteral("m_poFormDialogOptions"));
    EXPECT_EQ(m_oDialog.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(tree()->columnCount(), 1);
    EXPECT_TRUE(tree()->isHeaderHidden());
    ASSERT_EQ(tree()->topLevelItemCount(), 2);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), QStringLiteral("Test Page"));
    ASSERT_EQ(stack()->count(), 4); // two placeholders and two pages
    EXPECT_EQ(stack()->widget(0)->objectName(), QStringLiteral("page"));
    for (const char* pszName : {"gridLayout", "m_poHorizontalLayout", "m_poVerticalLayout",
                                "m_poFrameDescription", "m_frameLayout",
                                "m_poVerticalLayoutDescription", "m_poLabelTitle",
                                "m_poLabelDescription", "m_poButtonBox"})
        EXPECT_NE(m_oDialog.findChild<QObject*>(QLatin1String(pszName)), nullptr) << pszName;

    // activate chose the first page; it had no current row, so its first row is selected.
    EXPECT_EQ(tree()->currentItem(), tree()->topLevelItem(0));
    EXPECT_EQ(stack()->currentWidget(), m_oPage.browser());
    EXPECT_EQ(m_oPage.browser()->currentItem(), m_oPage.item(0));
    EXPECT_EQ(labelText("m_poLabelTitle"), QStringLiteral("<b>General</b>"));
    EXPECT_EQ(labelText("m_poLabelDescription"), QStringLiteral("General settings."));

    tree()->setCurrentItem(tree()->topLevelItem(1));
    EXPECT_EQ(stack()->currentWidget(), m_oOtherPage.browser());
    EXPECT_EQ(labelText("m_poLabelTitle"), QStringLiteral("<b>Enabled</b>"));
}

TEST_F(OptionsDialogTest, OkWithoutEditsSetsNothingButEndsEveryGroup)
{
    click(QDialogButtonBox::Ok);

    EXPECT_TRUE(m_oGroup.m_lstSets.isEmpty());
    EXPECT_TRUE(m_oOther.m_lstSets.isEmpty());
    EXPECT_EQ(m_oGroup.m_nAfterApply, 1);
    EXPECT_EQ(m_oOther.m_nAfterApply, 1);
    EXPECT_FALSE(m_oDialog.isVisible());
    EXPECT_EQ(m_oDialog.result(), int(QDialog::Accepted));
}

TEST_F(OptionsDialogTest, OkAppliesEdits)
{
    m_oPage.row(2)->setValue(7);
    m_oOtherPage.manager()->variantProperty(m_oOtherPage.property(CPropertiesNode::propertyId(kOther, 0)))->setValue(true);
    EXPECT_TRUE(setting(2)->valueDirty());

    click(QDialogButtonBox::Ok);

    ASSERT_EQ(m_oGroup.m_lstSets.size(), 1);
    EXPECT_EQ(m_oGroup.m_lstSets.at(0), qMakePair(2, QVariant(7)));
    ASSERT_EQ(m_oOther.m_lstSets.size(), 1);
    EXPECT_EQ(m_oOther.m_lstSets.at(0), qMakePair(0, QVariant(true)));
    EXPECT_FALSE(setting(2)->valueDirty());
}

TEST_F(OptionsDialogTest, CancelRevertsAndReopeningShowsTheRevertedValues)
{
    m_oPage.row(2)->setValue(7);

    click(QDialogButtonBox::Cancel);

    EXPECT_FALSE(m_oDialog.isVisible());
    EXPECT_FALSE(setting(2)->valueDirty());
    EXPECT_EQ(setting(2)->value(), QVariant(20));
    EXPECT_TRUE(m_oGroup.m_lstSets.isEmpty());
    EXPECT_EQ(m_oPage.row(2)->value(), QVariant(7)); // until the next init
    m_oDialog.init();
    m_oDialog.show();
    EXPECT_EQ(m_oPage.row(2)->value(), QVariant(20));
}

TEST_F(OptionsDialogTest, EscapeCancelsLikeTheCancelButton)
{
    m_oPage.row(2)->setValue(7);

    m_oDialog.reject();

    EXPECT_FALSE(setting(2)->valueDirty());
    EXPECT_EQ(setting(2)->value(), QVariant(20));
    click(QDialogButtonBox::Ok); // nothing left to apply
    EXPECT_TRUE(m_oGroup.m_lstSets.isEmpty());
}

// A node with children, one of them without a page.
class CTwoPages : public CSettingsNodeComposite
{
public:
    CTwoPages() : CSettingsNodeComposite(QStringLiteral("Both"), nullptr)
    {
        addChild(&m_oFirst);
        addChild(&m_oEmpty);
        addChild(&m_oSecond);
    }
    COtherPage m_oFirst;
    CTestPage m_oEmpty{QStringLiteral("Empty")};
    CTestPage m_oSecond{QStringLiteral("Second")};
};

TEST_F(OptionPagesTest, DialogShowsCompositeNodesAsSubtrees)
{
    CTwoPages oNode;
    delete oNode.m_oEmpty.browser(); // a child whose page is gone
    COptionsDialog oDialog;
    oDialog.addNode(&oNode);
    oDialog.activate();
    auto* poTree = oDialog.findChild<QTreeWidget*>();
    auto* poStack = oDialog.findChild<QStackedWidget*>();

    ASSERT_EQ(poTree->topLevelItemCount(), 1);
    QTreeWidgetItem* poParent = poTree->topLevelItem(0);
    ASSERT_EQ(poParent->childCount(), 3);
    EXPECT_EQ(poParent->child(2)->text(0), QStringLiteral("Second"));
    EXPECT_EQ(poStack->count(), 4);
    EXPECT_EQ(poStack->currentWidget(), oNode.m_oFirst.browser());

    poTree->setCurrentItem(poParent->child(2));
    EXPECT_EQ(poStack->currentWidget(), oNode.m_oSecond.browser());
    poTree->setCurrentItem(poParent->child(1)); // no page: nothing changes
    EXPECT_EQ(poStack->currentWidget(), oNode.m_oSecond.browser());
    poTree->setCurrentItem(poParent);
    EXPECT_EQ(poStack->currentWidget(), oNode.m_oFirst.browser());

    // The children's reports reach the description frame through their parent node.
    poTree->setCurrentItem(poParent->child(2));
    oNode.m_oSecond.browser()->setCurrentItem(oNode.m_oSecond.item(0));
    EXPECT_EQ(oDialog.findChild<QLabel*>(QStringLiteral("m_poLabelTitle"))->text(),
              QStringLiteral("<b>General</b>"));
}

TEST_F(OptionPagesTest, ControlPaneAppliesEveryEditAtOnce)
{
    CControlPane oPane;
    auto* poTabs = oPane.findChild<QTabWidget*>(QStringLiteral("m_poTabWidget"));
    EXPECT_EQ(oPane.objectName(), QStringLiteral("m_poFormControlPane"));
    EXPECT_EQ(poTabs->count(), 0);

    CTestPage oPage;
    COtherPage oOther;
    CTwoPages oComposite;
    oPane.addNode(&oPage);
    EXPECT_EQ(poTabs->currentWidget(), oPage.browser());
    oPane.addNode(&oOther);
    ASSERT_EQ(poTabs->count(), 2);
    EXPECT_EQ(poTabs->widget(0), oOther.browser());
    EXPECT_EQ(poTabs->currentWidget(), oOther.browser());
    oPane.addNode(&oComposite);
    EXPECT_EQ(poTabs->count(), 2);
    oPane.activate();
    oPane.init();

    oPage.row(2)->setValue(3);
    ASSERT_EQ(m_oGroup.m_lstSets.size(), 1);
    EXPECT_EQ(m_oGroup.m_lstSets.at(0), qMakePair(2, QVariant(3)));
    EXPECT_FALSE(setting(2)->valueDirty());
    EXPECT_EQ(m_oGroup.m_nAfterApply, 1);

    // setCurrentPane goes by the name of the object that signals.
    QObject oSender;
    oSender.setObjectName(QStringLiteral("Test Page"));
    QObject::connect(&oSender, &QObject::objectNameChanged, &oPane, &CControlPane::setCurrentPane);
    oSender.setObjectName(QStringLiteral("Test Page"));
    EXPECT_EQ(poTabs->currentWidget(), oOther.browser()); // no signal: no change
    oSender.setObjectName(QStringLiteral("test page"));
    EXPECT_EQ(poTabs->currentWidget(), oOther.browser()); // names are compared exactly
    oSender.setObjectName(QStringLiteral("Test Page"));
    EXPECT_EQ(poTabs->currentWidget(), oPage.browser());
    EXPECT_EQ(oPane.findChild<QLabel*>(QStringLiteral("m_poLabelTitle"))->text(),
              QStringLiteral("<b>General</b>"));
}

} // namespace

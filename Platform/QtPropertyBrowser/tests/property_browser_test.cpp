#include <gtest/gtest.h>

#include "qttreepropertybrowser.h"
#include "qtvariantproperty.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

struct ConvertCase
{
    const char* name;
    int type;
    QVariant input;
    QVariant expected; // invalid: the value stays as it was
};

class VariantManagerTest : public ::testing::TestWithParam<ConvertCase>
{
};

TEST_P(VariantManagerTest, ConvertsOrIgnoresValues)
{
    const ConvertCase& c = GetParam();
    QtVariantPropertyManager manager;
    QtVariantProperty* property = manager.addProperty(c.type, QStringLiteral("p"));
    ASSERT_NE(property, nullptr);
    if (c.type == QVariant::Int) {
        property->setAttribute(QStringLiteral("minimum"), 1);
        property->setAttribute(QStringLiteral("maximum"), 8);
    }
    if (c.type == QtVariantPropertyManager::enumTypeId())
        property->setAttribute(QStringLiteral("enumNames"), QStringList{"A", "B"});
    const QVariant before = property->value();
    QSignalSpy changed(&manager, &QtAbstractPropertyManager::propertyChanged);

    property->setValue(c.input);

    if (c.expected.isValid()) {
        EXPECT_EQ(property->value(), c.expected);
        EXPECT_EQ(property->value().userType(), c.expected.userType());
        EXPECT_EQ(changed.count(), before == c.expected ? 0 : 1);
    } else {
        EXPECT_EQ(property->value(), before);
        EXPECT_EQ(changed.count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, VariantManagerTest,
    ::testing::Values(
        ConvertCase{"BoolFromText", QVariant::Bool, QStringLiteral("true"), true},
        ConvertCase{"IntClampedHigh", QVariant::Int, 42, 8},
        ConvertCase{"IntClampedLow", QVariant::Int, -3, 1},
        ConvertCase{"IntFromText", QVariant::Int, QStringLiteral("5"), 5},
        ConvertCase{"IntFromGarbageIgnored", QVariant::Int, QStringLiteral("five"), QVariant()},
        ConvertCase{"StringFromInt", QVariant::String, 12, QStringLiteral("12")},
        ConvertCase{"ColorFromName", QVariant::Color, QStringLiteral("#ff8000"),
                    QColor(255, 128, 0)},
        ConvertCase{"ColorFromGarbageIgnored", QVariant::Color, QStringLiteral("nope"),
                    QVariant()},
        ConvertCase{"EnumIndex", QtVariantPropertyManager::enumTypeId(), 1, 1},
        ConvertCase{"InvalidIgnored", QVariant::String, QVariant(), QVariant()},
        ConvertCase{"GroupTakesNoValue", QtVariantPropertyManager::groupTypeId(), true,
                    QVariant()}),
    [](const ::testing::TestParamInfo<ConvertCase>& info) { return info.param.name; });

QStringList s_warnings;

void collectWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        s_warnings << text;
}

TEST(VariantManager, UnsupportedTypeMakesNoPropertyAndSaysSo)
{
    QtVariantPropertyManager manager;
    s_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarning);
    EXPECT_EQ(manager.addProperty(QVariant::KeySequence, QStringLiteral("k")), nullptr);
    EXPECT_EQ(manager.addProperty(-5), nullptr);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(manager.properties().isEmpty());
    // Each row left out is named in a warning.
    ASSERT_EQ(s_warnings.size(), 2);
    EXPECT_TRUE(s_warnings[0].contains(QLatin1String("QKeySequence")) && s_warnings[0].contains(QLatin1String("\"k\"")))
        << s_warnings[0].toStdString();
    EXPECT_TRUE(s_warnings[1].contains(QLatin1String("-5"))) << s_warnings[1].toStdString();
}

TEST(VariantManager, ValueChangeSignalsOnlyOnRealChange)
{
    QtVariantPropertyManager manager;
    QtVariantProperty* property = manager.addProperty(QVariant::Int, QStringLiteral("n"));
    QSignalSpy values(&manager, &QtVariantPropertyManager::valueChanged);
    QSignalSpy changed(&manager, &QtAbstractPropertyManager::propertyChanged);

    property->setValue(7);
    property->setValue(7);

    ASSERT_EQ(values.count(), 1);
    EXPECT_EQ(values.at(0).at(0).value<QtProperty*>(), property);
    EXPECT_EQ(values.at(0).at(1).value<QVariant>(), QVariant(7));
    EXPECT_EQ(changed.count(), 1);
}

TEST(VariantManager, RangeAttributesKeepValueInside)
{
    QtVariantPropertyManager manager;
    QtVariantProperty* property = manager.addProperty(QVariant::Int, QStringLiteral("n"));
    property->setValue(10);
    QSignalSpy values(&manager, &QtVariantPropertyManager::valueChanged);
    QSignalSpy attributes(&manager, &QtVariantPropertyManager::attributeChanged);

    property->setAttribute(QStringLiteral("maximum"), 4);
    EXPECT_EQ(property->value(), QVariant(4));
    EXPECT_EQ(values.count(), 1);

    // A minimum above the maximum drags the maximum along.
    property->setAttribute(QStringLiteral("minimum"), 6);
    EXPECT_EQ(property->attributeValue(QStringLiteral("maximum")), QVariant(6));
    EXPECT_EQ(property->value(), QVariant(6));
    EXPECT_EQ(attributes.count(), 3);

    property->setAttribute(QStringLiteral("noSuchAttribute"), 1);
    EXPECT_FALSE(property->attributeValue(QStringLiteral("noSuchAttribute")).isValid());
    EXPECT_EQ(attributes.count(), 3);
}

TEST(VariantManager, TextsOfValues)
{
    QtVariantPropertyManager manager;
    QtVariantProperty* flag = manager.addProperty(QVariant::Bool);
    QtVariantProperty* colour = manager.addProperty(QVariant::Color);
    QtVariantProperty* choice = manager.addProperty(QtVariantPropertyManager::enumTypeId());
    QtVariantProperty* group = manager.addProperty(QtVariantPropertyManager::groupTypeId());

    flag->setValue(true);
    colour->setValue(QColor(1, 2, 3));
    EXPECT_EQ(flag->valueText(), QStringLiteral("True"));
    EXPECT_EQ(colour->valueText(), QStringLiteral("[1, 2, 3] (255)"));

    EXPECT_EQ(choice->value(), QVariant(-1));
    choice->setAttribute(QStringLiteral("enumNames"), QStringList{"North", "South"});
    EXPECT_EQ(choice->value(), QVariant(0)); // names given: the first is chosen
    choice->setValue(1);
    EXPECT_EQ(choice->valueText(), QStringLiteral("South"));
    // An index without a name is shown as itself, not as a wrong name.
    choice->setValue(7);
    EXPECT_EQ(choice->value(), QVariant(7));
    EXPECT_EQ(choice->valueText(), QStringLiteral("7"));

    EXPECT_FALSE(group->hasValue());
    EXPECT_TRUE(choice->hasValue());
    EXPECT_EQ(group->valueType(), int(QVariant::Invalid));
    EXPECT_EQ(choice->valueType(), int(QVariant::Int));
    EXPECT_EQ(choice->propertyType(), QtVariantPropertyManager::enumTypeId());
}

TEST(Property, SubPropertiesRefuseCycles)
{
    QtVariantPropertyManager manager;
    QtProperty* a = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "a");
    QtProperty* b = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "b");
    QtProperty* c = manager.addProperty(QVariant::Int, "c");
    a->addSubProperty(b);
    b->addSubProperty(c);

    c->addSubProperty(a);
    b->addSubProperty(a);
    a->addSubProperty(a);
    a->addSubProperty(b); // already there

    EXPECT_TRUE(c->subProperties().isEmpty());
    EXPECT_EQ(b->subProperties(), QList<QtProperty*>{c});
    EXPECT_EQ(a->subProperties(), QList<QtProperty*>{b});
}

// A browser with a manager and factory, shown so that editors can open.
class BrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        browser.setFactoryForManager(&manager, &factory);
        browser.resize(400, 300);
        browser.show();
        group = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "Group");
        number = manager.addProperty(QVariant::Int, "Number");
        number->setStatusTip("A number");
        group->addSubProperty(number);
    }

    QTreeWidget* tree() const { return browser.findChild<QTreeWidget*>(); }
    QTreeWidgetItem* row(int top, int child = -1) const
    {
        QTreeWidgetItem* item = tree()->topLevelItem(top);
        return child < 0 ? item : item->child(child);
    }
    QWidget* openEditor() const { return tree()->indexWidget(tree()->currentIndex()); }

    QtVariantPropertyManager manager;
    QtVariantEditorFactory factory;
    QtTreePropertyBrowser browser;
    QtVariantProperty* group = nullptr;
    QtVariantProperty* number = nullptr;
};

TEST_F(BrowserTest, TreeFollowsPropertiesAndTheirChanges)
{
    QtBrowserItem* top = browser.addProperty(group);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(browser.addProperty(group), nullptr);
    ASSERT_EQ(top->children().size(), 1);
    EXPECT_EQ(top->children().at(0)->property(), number);
    EXPECT_EQ(row(0)->text(0), QStringLiteral("Group"));
    EXPECT_EQ(row(0, 0)->text(1), QStringLiteral("0"));

    number->setValue(12);
    number->setPropertyName("Count");
    EXPECT_EQ(row(0, 0)->text(0), QStringLiteral("Count"));
    EXPECT_EQ(row(0, 0)->text(1), QStringLiteral("12"));

    // A sub-property added later shows under every place of its parent.
    QtVariantProperty* text = manager.addProperty(QVariant::String, "Text");
    browser.addProperty(text);
    group->addSubProperty(text);
    ASSERT_EQ(row(0)->childCount(), 2);
    EXPECT_EQ(row(0, 1)->text(0), QStringLiteral("Text"));
    EXPECT_EQ(browser.items(text).size(), 2);

    group->removeSubProperty(number);
    EXPECT_EQ(row(0)->childCount(), 1);
    EXPECT_TRUE(browser.items(number).isEmpty());

    delete text;
    EXPECT_EQ(tree()->topLevelItemCount(), 1);
    EXPECT_EQ(row(0)->childCount(), 0);
    EXPECT_EQ(browser.properties(), QList<QtProperty*>{group});
}

TEST_F(BrowserTest, CurrentItemSignalsOnlyOnChange)
{
    QtBrowserItem* top = browser.addProperty(group);
    QtBrowserItem* child = top->children().at(0);
    QSignalSpy current(&browser, &QtAbstractPropertyBrowser::currentItemChanged);

    browser.setCurrentItem(child);
    browser.setCurrentItem(child);
    ASSERT_EQ(current.count(), 1);
    EXPECT_EQ(current.at(0).at(0).value<QtBrowserItem*>(), child);
    EXPECT_EQ(tree()->currentItem(), row(0, 0));

    // A click on a row in the tree reaches the browser's signal.
    const QRect rect = tree()->visualItemRect(row(0));
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
    ASSERT_EQ(current.count(), 2);
    EXPECT_EQ(browser.currentItem(), top);

    // Removing the current row clears or moves the current item; never a dangling one.
    browser.removeProperty(group);
    EXPECT_EQ(browser.currentItem(), nullptr);
    EXPECT_EQ(current.last().at(0).value<QtBrowserItem*>(), nullptr);
}

TEST_F(BrowserTest, ExpandAndCollapseSignalOperatorChangesOnly)
{
    QSignalSpy expanded(&browser, &QtTreePropertyBrowser::expanded);
    QSignalSpy collapsed(&browser, &QtTreePropertyBrowser::collapsed);
    QtBrowserItem* top = browser.addProperty(group);
    // New rows start expanded without telling anyone.
    EXPECT_TRUE(browser.isExpanded(top));
    EXPECT_EQ(expanded.count(), 0);

    browser.setExpanded(top, false);
    ASSERT_EQ(collapsed.count(), 1);
    EXPECT_EQ(collapsed.at(0).at(0).value<QtBrowserItem*>(), top);
    EXPECT_FALSE(row(0)->isExpanded());

    browser.setExpanded(top, true);
    ASSERT_EQ(expanded.count(), 1);
    EXPECT_EQ(expanded.at(0).at(0).value<QtBrowserItem*>(), top);
}

TEST_F(BrowserTest, EditorOpensOnTheItemAndWritesThrough)
{
    number->setAttribute("minimum", 1);
    number->setAttribute("maximum", 8);
    number->setValue(3);
    QtBrowserItem* top = browser.addProperty(group);
    QSignalSpy changed(&manager, &QtAbstractPropertyManager::propertyChanged);

    browser.editItem(top); // a group row has no editor
    EXPECT_EQ(browser.currentItem(), top);
    EXPECT_EQ(openEditor(), nullptr);

    browser.editItem(top->children().at(0));
    auto* spin = qobject_cast<QSpinBox*>(openEditor());
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(browser.currentItem(), top->children().at(0));
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 8);
    EXPECT_EQ(spin->value(), 3);

    spin->setValue(5);
    EXPECT_EQ(number->value(), QVariant(5));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QtProperty*>(), number);

    // A change made by the program shows in the open editor without coming back as an edit.
    number->setValue(7);
    EXPECT_EQ(spin->value(), 7);
    number->setAttribute("maximum", 6);
    EXPECT_EQ(spin->maximum(), 6);
    EXPECT_EQ(spin->value(), 6);
    EXPECT_EQ(number->value(), QVariant(6));
}

TEST_F(BrowserTest, EditorsOfEachKind)
{
    QtVariantProperty* flag = manager.addProperty(QVariant::Bool, "Flag");
    QtVariantProperty* text = manager.addProperty(QVariant::String, "Text");
    QtVariantProperty* choice = manager.addProperty(QtVariantPropertyManager::enumTypeId(), "C");
    choice->setAttribute("enumNames", QStringList{"Min", "Median"});
    QtBrowserItem* flagItem = browser.addProperty(flag);
    QtBrowserItem* textItem = browser.addProperty(text);
    QtBrowserItem* choiceItem = browser.addProperty(choice);

    browser.editItem(flagItem);
    auto* check = qobject_cast<QCheckBox*>(openEditor());
    ASSERT_NE(check, nullptr);
    check->setChecked(true);
    EXPECT_EQ(flag->value(), QVariant(true));

    browser.editItem(textItem);
    auto* line = qobject_cast<QLineEdit*>(openEditor());
    ASSERT_NE(line, nullptr);
    QTest::keyClicks(line, "ab");
    EXPECT_EQ(text->value(), QVariant(QStringLiteral("ab")));

    browser.editItem(choiceItem);
    auto* combo = qobject_cast<QComboBox*>(openEditor());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    combo->setCurrentIndex(1);
    EXPECT_EQ(choice->value(), QVariant(1));
    EXPECT_EQ(tree()->topLevelItem(2)->text(1), QStringLiteral("Median"));
}

// A cell painted on its own: true when anything but its background was drawn.
bool cellShowsText(QTreeWidget* tree, QTreeWidgetItem* item)
{
    QImage image(120, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(tree->viewport());
    option.rect = image.rect();
    option.widget = tree;
    tree->itemDelegate()->paint(&painter, option, tree->model()->index(tree->indexOfTopLevelItem(item), 1));
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return true;
    return false;
}

TEST_F(BrowserTest, OpenEditorIsNotDrawnOverTheValueText)
{
    QtVariantProperty* open = manager.addProperty(QVariant::Bool, "Open");
    QtVariantProperty* closed = manager.addProperty(QVariant::Bool, "Closed");
    open->setValue(true);
    closed->setValue(true);
    QtBrowserItem* openItem = browser.addProperty(open);
    browser.addProperty(closed);
    browser.editItem(openItem);
    ASSERT_NE(qobject_cast<QCheckBox*>(openEditor()), nullptr);
    EXPECT_FALSE(cellShowsText(tree(), row(0)));
    EXPECT_TRUE(cellShowsText(tree(), row(1)));
}

TEST_F(BrowserTest, NamesAreShownInFull)
{
    const QString name = QStringLiteral("Show Realtime Positions and a much longer name");
    QtVariantProperty* flag = manager.addProperty(QVariant::Bool, name);
    browser.addProperty(flag);
    browser.resize(260, 200);
    QCoreApplication::processEvents();
    EXPECT_GE(tree()->header()->sectionSize(0), tree()->fontMetrics().horizontalAdvance(name));
}

TEST_F(BrowserTest, DeletingAPropertyWithOpenEditorIsSafe)
{
    QtVariantProperty* text = manager.addProperty(QVariant::String, "Text");
    QtBrowserItem* item = browser.addProperty(text);
    browser.editItem(item);
    QPointer<QLineEdit> line = qobject_cast<QLineEdit*>(openEditor());
    ASSERT_FALSE(line.isNull());

    delete text;
    if (line)
        QTest::keyClicks(line, "x"); // writes to nothing
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
}

TEST(Browser, FactoryAndManagerMayDieFirst)
{
    QtTreePropertyBrowser browser;
    auto manager = std::make_unique<QtVariantPropertyManager>();
    auto factory = std::make_unique<QtVariantEditorFactory>();
    browser.setFactoryForManager(manager.get(), factory.get());
    browser.addProperty(manager->addProperty(QVariant::Int, "n"));
    factory.reset();
    manager.reset();
    EXPECT_TRUE(browser.properties().isEmpty());
    EXPECT_TRUE(browser.topLevelItems().isEmpty());
}

} // namespace

#include "qttreepropertybrowser.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <functional>

namespace {

constexpr int kValueColumn = 1;

class PropertyTreeWidget : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

    std::function<void(QTreeWidgetItem*)> openEditor;

    QModelIndex valueIndex(QTreeWidgetItem* item) const { return indexFromItem(item, kValueColumn); }
    QTreeWidgetItem* itemAtIndex(const QModelIndex& index) const { return itemFromIndex(index); }
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QTreeWidget::mousePressEvent(event);
        QTreeWidgetItem* item = itemAt(event->pos());
        if (item && event->button() == Qt::LeftButton
            && columnAt(event->pos().x()) == kValueColumn && openEditor)
            openEditor(item);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F2:
        case Qt::Key_Space:
            if (!isEditing() && currentItem() && openEditor) {
                openEditor(currentItem());
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
        QTreeWidget::keyPressEvent(event);
    }
};

class PropertyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    std::function<QWidget*(const QModelIndex&, QWidget*)> makeEditor;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        if (index.column() != kValueColumn || !makeEditor)
            return nullptr;
        QWidget* editor = makeEditor(index, parent);
        if (editor)
            editor->setAutoFillBackground(true);
        return editor;
    }

    // Editors write to their manager while the operator edits; nothing is left to commit.
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }

    // Under an open editor only the cell's background is drawn: an editor that lets its
    // background through (a check box under a style sheet) would show both texts at once.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* view = qobject_cast<const QAbstractItemView*>(parent());
        if (index.column() != kValueColumn || !view || !view->indexWidget(index)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        cell.text.clear();
        cell.icon = QIcon();
        cell.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(3, 6);
    }
};

} // namespace

struct QtTreePropertyBrowser::Private
{
    explicit Private(QtTreePropertyBrowser* owner) : q(owner) {}

    void updateItem(QtBrowserItem* item);
    void openEditor(QTreeWidgetItem* treeItem);

    QtTreePropertyBrowser* q;
    PropertyTreeWidget* tree = nullptr;
    QHash<QtBrowserItem*, QTreeWidgetItem*> itemToTree;
    QHash<QTreeWidgetItem*, QtBrowserItem*> treeToItem;
    bool markWithoutValue = false;
    bool inserting = false;
    bool syncingCurrent = false;
};

void QtTreePropertyBrowser::Private::updateItem(QtBrowserItem* item)
{
    QTreeWidgetItem* treeItem = itemToTree.value(item);
    if (!treeItem)
        return;
    QtProperty* property = item->property();
    const bool hasValue = property->hasValue();

    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (hasValue)
        flags |= Qt::ItemIsEditable;
    treeItem->setFlags(flags);

    treeItem->setText(0, property->propertyName());
    treeItem->setText(kValueColumn, property->valueText());
    treeItem->setIcon(kValueColumn, property->valueIcon());
    const QString toolTip =
        property->toolTip().isEmpty() ? property->propertyName() : property->toolTip();
    treeItem->setToolTip(0, toolTip);
    treeItem->setToolTip(kValueColumn, property->valueText());
    treeItem->setStatusTip(0, property->statusTip());
    treeItem->setStatusTip(kValueColumn, property->statusTip());
    treeItem->setWhatsThis(0, property->whatsThis());
    treeItem->setWhatsThis(kValueColumn, property->whatsThis());

    // Colours stay the view's (palette and style sheet); a disabled row is drawn disabled.
    treeItem->setDisabled(!property->isEnabled());
    const bool marked = markWithoutValue && !hasValue;
    QFont font = tree->font();
    font.setBold(marked);
    treeItem->setFont(0, font);
    treeItem->setFirstColumnSpanned(marked);
    treeItem->setBackground(0, marked ? tree->palette().brush(QPalette::Midlight) : QBrush());
}

void QtTreePropertyBrowser::Private::openEditor(QTreeWidgetItem* treeItem)
{
    const Qt::ItemFlags flags = treeItem->flags();
    if (!(flags & Qt::ItemIsEditable) || !(flags & Qt::ItemIsEnabled))
        return;
    const QModelIndex index = tree->valueIndex(treeItem);
    if (QWidget* open = tree->indexWidget(index)) {
        open->setFocus();
        return;
    }
    if (tree->isEditing())
        return;
    tree->editItem(treeItem, kValueColumn);
}

QtTreePropertyBrowser::QtTreePropertyBrowser(QWidget* parent)
    : QtAbstractPropertyBrowser(parent), d(new Private(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    d->tree = new PropertyTreeWidget(this);
    layout->addWidget(d->tree);
    setFocusProxy(d->tree);

    d->tree->setColumnCount(2);
    d->tree->setHeaderLabels({tr("Property"), tr("Value")});
    // Names are read in full; the values take the rest of the width.
    d->tree->header()->setStretchLastSection(true);
    d->tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    d->tree->header()->setSectionResizeMode(kValueColumn, QHeaderView::Stretch);
    d->tree->header()->setSectionsMovable(false);
    d->tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->tree->setSelectionMode(QAbstractItemView::SingleSelection);
    d->tree->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* delegate = new PropertyDelegate(d->tree);
    delegate->makeEditor = [this](const QModelIndex& index, QWidget* parent) -> QWidget* {
        QtBrowserItem* item = d->treeToItem.value(d->tree->itemAtIndex(index));
        return item ? createEditor(item->property(), parent) : nullptr;
    };
    d->tree->setItemDelegate(delegate);
    d->tree->openEditor = [this](QTreeWidgetItem* item) { d->openEditor(item); };

    connect(d->tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!d->syncingCurrent)
            setCurrentItem(d->treeToItem.value(current));
    });
    connect(this, &QtAbstractPropertyBrowser::currentItemChanged, this,
            [this](QtBrowserItem* item) {
                QTreeWidgetItem* treeItem = d->itemToTree.value(item);
                if (d->tree->currentItem() == treeItem)
                    return;
                d->syncingCurrent = true;
                d->tree->setCurrentItem(treeItem);
                d->syncingCurrent = false;
            });
    connect(d->tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* treeItem) {
        if (QtBrowserItem* item = d->treeToItem.value(treeItem); item && !d->inserting)
            emit expanded(item);
    });
    connect(d->tree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* treeItem) {
        if (QtBrowserItem* item = d->treeToItem.value(treeItem); item && !d->inserting)
            emit collapsed(item);
    });
}

QtTreePropertyBrowser::~QtTreePropertyBrowser()
{
    // The tree signals into this object; let it go while this object is still whole.
    d->tree->disconnect(this);
    delete d->tree;
    d->tree = nullptr;
}

bool QtTreePropertyBrowser::rootIsDecorated() const
{
    return d->tree->rootIsDecorated();
}

void QtTreePropertyBrowser::setRootIsDecorated(bool show)
{
    d->tree->setRootIsDecorated(show);
}

bool QtTreePropertyBrowser::alternatingRowColors() const
{
    return d->tree->alternatingRowColors();
}

void QtTreePropertyBrowser::setAlternatingRowColors(bool enable)
{
    d->tree->setAlternatingRowColors(enable);
}

bool QtTreePropertyBrowser::isHeaderVisible() const
{
    return !d->tree->isHeaderHidden();
}

void QtTreePropertyBrowser::setHeaderVisible(bool visible)
{
    d->tree->setHeaderHidden(!visible);
}

bool QtTreePropertyBrowser::propertiesWithoutValueMarked() const
{
    return d->markWithoutValue;
}

void QtTreePropertyBrowser::setPropertiesWithoutValueMarked(bool mark)
{
    if (d->markWithoutValue == mark)
        return;
    d->markWithoutValue = mark;
    const QList<QtBrowserItem*> items = d->itemToTree.keys();
    for (QtBrowserItem* item : items)
        d->updateItem(item);
}

void QtTreePropertyBrowser::setExpanded(QtBrowserItem* item, bool expand)
{
    if (QTreeWidgetItem* treeItem = d->itemToTree.value(item))
        treeItem->setExpanded(expand);
}

bool QtTreePropertyBrowser::isExpanded(QtBrowserItem* item) const
{
    QTreeWidgetItem* treeItem = d->itemToTree.value(item);
    return treeItem && treeItem->isExpanded();
}

void QtTreePropertyBrowser::editItem(QtBrowserItem* item)
{
    QTreeWidgetItem* treeItem = d->itemToTree.value(item);
    if (!treeItem)
        return;
    d->tree->setCurrentItem(treeItem, kValueColumn);
    d->openEditor(treeItem);
}

void QtTreePropertyBrowser::itemInserted(QtBrowserItem* item, QtBrowserItem* afterItem)
{
    QTreeWidgetItem* parentTree = d->itemToTree.value(item->parent());
    QTreeWidgetItem* afterTree = d->itemToTree.value(afterItem);
    QTreeWidgetItem* treeItem = parentTree ? new QTreeWidgetItem(parentTree, afterTree)
                                           : new QTreeWidgetItem(d->tree, afterTree);
    d->itemToTree.insert(item, treeItem);
    d->treeToItem.insert(treeItem, item);
    d->updateItem(item);
    // New rows start expanded; that is their initial state, not an operator's action.
    d->inserting = true;
    treeItem->setExpanded(true);
    d->inserting = false;
}

void QtTreePropertyBrowser::itemRemoved(QtBrowserItem* item)
{
    QTreeWidgetItem* treeItem = d->itemToTree.take(item);
    if (!treeItem)
        return;
    d->treeToItem.remove(treeItem);
    delete treeItem;
}

void QtTreePropertyBrowser::itemChanged(QtBrowserItem* item)
{
    d->updateItem(item);
}

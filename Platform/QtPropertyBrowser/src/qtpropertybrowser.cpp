#include "qtpropertybrowser.h"

#include <QHash>
#include <QPointer>

#include <vector>

// ---------------------------------------------------------------------------------------------
// QtProperty

struct QtProperty::Private
{
    QtAbstractPropertyManager* manager = nullptr;
    QString name;
    QString toolTip;
    QString statusTip;
    QString whatsThis;
    bool enabled = true;
    QList<QtProperty*> subProperties;
    QList<QtProperty*> parents;
};

QtProperty::QtProperty(QtAbstractPropertyManager* manager) : d(new Private)
{
    d->manager = manager;
}

QtProperty::~QtProperty()
{
    // Leave every parent first, so browsers drop the items below them.
    const QList<QtProperty*> parents = d->parents;
    for (QtProperty* parent : parents)
        parent->removeSubProperty(this);

    emit d->manager->propertyDestroyed(this);
    d->manager->uninitializeProperty(this);

    for (QtProperty* child : qAsConst(d->subProperties))
        child->d->parents.removeAll(this);
    d->manager->m_properties.remove(this);
}

QList<QtProperty*> QtProperty::subProperties() const
{
    return d->subProperties;
}

QtAbstractPropertyManager* QtProperty::propertyManager() const
{
    return d->manager;
}

QString QtProperty::propertyName() const
{
    return d->name;
}

QString QtProperty::toolTip() const
{
    return d->toolTip;
}

QString QtProperty::statusTip() const
{
    return d->statusTip;
}

QString QtProperty::whatsThis() const
{
    return d->whatsThis;
}

bool QtProperty::isEnabled() const
{
    return d->enabled;
}

bool QtProperty::hasValue() const
{
    return d->manager->hasValue(this);
}

QIcon QtProperty::valueIcon() const
{
    return d->manager->valueIcon(this);
}

QString QtProperty::valueText() const
{
    return d->manager->valueText(this);
}

void QtProperty::setPropertyName(const QString& text)
{
    if (d->name == text)
        return;
    d->name = text;
    propertyChanged();
}

void QtProperty::setToolTip(const QString& text)
{
    if (d->toolTip == text)
        return;
    d->toolTip = text;
    propertyChanged();
}

void QtProperty::setStatusTip(const QString& text)
{
    if (d->statusTip == text)
        return;
    d->statusTip = text;
    propertyChanged();
}

void QtProperty::setWhatsThis(const QString& text)
{
    if (d->whatsThis == text)
        return;
    d->whatsThis = text;
    propertyChanged();
}

void QtProperty::setEnabled(bool enable)
{
    if (d->enabled == enable)
        return;
    d->enabled = enable;
    propertyChanged();
}

void QtProperty::addSubProperty(QtProperty* property)
{
    insertSubProperty(property, d->subProperties.isEmpty() ? nullptr : d->subProperties.last());
}

void QtProperty::insertSubProperty(QtProperty* property, QtProperty* afterProperty)
{
    if (!property || d->subProperties.contains(property))
        return;

    // Refuse to make a property its own descendant: browsers walk the tree recursively.
    std::vector<const QtProperty*> pending{property};
    QSet<const QtProperty*> seen;
    while (!pending.empty()) {
        const QtProperty* p = pending.back();
        pending.pop_back();
        if (p == this)
            return;
        if (seen.contains(p))
            continue;
        seen.insert(p);
        for (const QtProperty* child : qAsConst(p->d->subProperties))
            pending.push_back(child);
    }

    const int pos = afterProperty ? d->subProperties.indexOf(afterProperty) + 1 : 0;
    d->subProperties.insert(pos, property);
    property->d->parents.append(this);
    QtProperty* before = pos > 0 ? d->subProperties.at(pos - 1) : nullptr;
    emit d->manager->propertyInserted(property, this, before);
}

void QtProperty::removeSubProperty(QtProperty* property)
{
    if (!d->subProperties.removeOne(property))
        return;
    property->d->parents.removeAll(this);
    emit d->manager->propertyRemoved(property, this);
}

void QtProperty::propertyChanged()
{
    emit d->manager->propertyChanged(this);
}

// ---------------------------------------------------------------------------------------------
// QtAbstractPropertyManager

QtAbstractPropertyManager::QtAbstractPropertyManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<QtProperty*>();
}

QtAbstractPropertyManager::~QtAbstractPropertyManager()
{
    clear();
}

QSet<QtProperty*> QtAbstractPropertyManager::properties() const
{
    return m_properties;
}

void QtAbstractPropertyManager::clear() const
{
    // Each property removes itself from the set when it is deleted.
    while (!m_properties.isEmpty())
        delete *m_properties.cbegin();
}

QtProperty* QtAbstractPropertyManager::addProperty(const QString& name)
{
    QtProperty* property = createProperty();
    if (!property)
        return nullptr;
    property->d->name = name;
    m_properties.insert(property);
    initializeProperty(property);
    return property;
}

bool QtAbstractPropertyManager::hasValue(const QtProperty*) const
{
    return true;
}

QIcon QtAbstractPropertyManager::valueIcon(const QtProperty*) const
{
    return QIcon();
}

QString QtAbstractPropertyManager::valueText(const QtProperty*) const
{
    return QString();
}

void QtAbstractPropertyManager::uninitializeProperty(QtProperty*) {}

QtProperty* QtAbstractPropertyManager::createProperty()
{
    return new QtProperty(this);
}

// ---------------------------------------------------------------------------------------------
// QtAbstractPropertyBrowser

struct QtAbstractPropertyBrowser::Private
{
    explicit Private(QtAbstractPropertyBrowser* owner) : q(owner) {}

    QtBrowserItem* createItem(QtProperty* property, QtBrowserItem* parent, QtBrowserItem* after);
    void removeItem(QtBrowserItem* item);
    void deleteSilently(QtBrowserItem* item);
    void watchManager(QtAbstractPropertyManager* manager);

    void onPropertyInserted(QtProperty* property, QtProperty* parent, QtProperty* after);
    void onPropertyRemoved(QtProperty* property, QtProperty* parent);
    void onPropertyDestroyed(QtProperty* property);
    void onPropertyChanged(QtProperty* property);

    QtAbstractPropertyBrowser* q;
    QList<QtProperty*> topLevelProperties;
    QList<QtBrowserItem*> topLevelItems;
    QHash<QtProperty*, QList<QtBrowserItem*>> propertyToItems;
    QHash<QtAbstractPropertyManager*, QPointer<QtAbstractEditorFactoryBase>> factories;
    QSet<QtAbstractPropertyManager*> watchedManagers;
    QtBrowserItem* current = nullptr;
};

QtBrowserItem* QtAbstractPropertyBrowser::Private::createItem(QtProperty* property,
                                                            QtBrowserItem* parent,
                                                            QtBrowserItem* after)
{
    auto* item = new QtBrowserItem(q, property, parent);
    QList<QtBrowserItem*>& siblings = parent ? parent->m_children : topLevelItems;
    siblings.insert(after ? siblings.indexOf(after) + 1 : 0, item);
    propertyToItems[property].append(item);
    watchManager(property->propertyManager());
    q->itemInserted(item, after);

    QtBrowserItem* previous = nullptr;
    const QList<QtProperty*> children = property->subProperties();
    for (QtProperty* child : children)
        previous = createItem(child, item, previous);
    return item;
}

void QtAbstractPropertyBrowser::Private::removeItem(QtBrowserItem* item)
{
    const QList<QtBrowserItem*> children = item->m_children;
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        removeItem(*it);

    q->itemRemoved(item);

    QList<QtBrowserItem*>& siblings = item->m_parent ? item->m_parent->m_children : topLevelItems;
    siblings.removeOne(item);
    auto found = propertyToItems.find(item->m_property);
    if (found != propertyToItems.end()) {
        found->removeOne(item);
        if (found->isEmpty())
            propertyToItems.erase(found);
    }
    const bool wasCurrent = current == item;
    delete item;
    if (wasCurrent) {
        current = nullptr;
        emit q->currentItemChanged(nullptr);
    }
}

void QtAbstractPropertyBrowser::Private::deleteSilently(QtBrowserItem* item)
{
    for (QtBrowserItem* child : qAsConst(item->m_children))
        deleteSilently(child);
    delete item;
}

void QtAbstractPropertyBrowser::Private::watchManager(QtAbstractPropertyManager* manager)
{
    if (watchedManagers.contains(manager))
        return;
    watchedManagers.insert(manager);
    QObject::connect(manager, &QtAbstractPropertyManager::propertyInserted, q,
            [this](QtProperty* p, QtProperty* parent, QtProperty* after) {
                onPropertyInserted(p, parent, after);
            });
    QObject::connect(manager, &QtAbstractPropertyManager::propertyRemoved, q,
            [this](QtProperty* p, QtProperty* parent) { onPropertyRemoved(p, parent); });
    QObject::connect(manager, &QtAbstractPropertyManager::propertyDestroyed, q,
            [this](QtProperty* p) { onPropertyDestroyed(p); });
    QObject::connect(manager, &QtAbstractPropertyManager::propertyChanged, q,
            [this](QtProperty* p) { onPropertyChanged(p); });
    QObject::connect(manager, &QObject::destroyed, q, [this, manager] {
        watchedManagers.remove(manager);
        factories.remove(manager);
    });
}

void QtAbstractPropertyBrowser::Private::onPropertyInserted(QtProperty* property,
                                                          QtProperty* parent, QtProperty* after)
{
    const QList<QtBrowserItem*> parentItems = propertyToItems.value(parent);
    for (QtBrowserItem* parentItem : parentItems) {
        QtBrowserItem* afterItem = nullptr;
        if (after) {
            for (QtBrowserItem* child : qAsConst(parentItem->m_children)) {
                if (child->m_property == after) {
                    afterItem = child;
                    break;
                }
            }
        }
        createItem(property, parentItem, afterItem);
    }
}

void QtAbstractPropertyBrowser::Private::onPropertyRemoved(QtProperty* property,
                                                         QtProperty* parent)
{
    const QList<QtBrowserItem*> parentItems = propertyToItems.value(parent);
    for (QtBrowserItem* parentItem : parentItems) {
        const QList<QtBrowserItem*> children = parentItem->m_children;
        for (QtBrowserItem* child : children) {
            if (child->m_property == property)
                removeItem(child);
        }
    }
}

void QtAbstractPropertyBrowser::Private::onPropertyDestroyed(QtProperty* property)
{
    if (topLevelProperties.contains(property))
        q->removeProperty(property);
}

void QtAbstractPropertyBrowser::Private::onPropertyChanged(QtProperty* property)
{
    const QList<QtBrowserItem*> items = propertyToItems.value(property);
    for (QtBrowserItem* item : items)
        q->itemChanged(item);
}

QtAbstractPropertyBrowser::QtAbstractPropertyBrowser(QWidget* parent)
    : QWidget(parent), d(new Private(this))
{
    qRegisterMetaType<QtBrowserItem*>();
}

QtAbstractPropertyBrowser::~QtAbstractPropertyBrowser()
{
    // The subclass is gone: drop the items without calling its hooks.
    for (QtBrowserItem* item : qAsConst(d->topLevelItems))
        d->deleteSilently(item);
}

QList<QtProperty*> QtAbstractPropertyBrowser::properties() const
{
    return d->topLevelProperties;
}

QList<QtBrowserItem*> QtAbstractPropertyBrowser::items(QtProperty* property) const
{
    return d->propertyToItems.value(property);
}

QtBrowserItem* QtAbstractPropertyBrowser::topLevelItem(QtProperty* property) const
{
    for (QtBrowserItem* item : qAsConst(d->topLevelItems)) {
        if (item->property() == property)
            return item;
    }
    return nullptr;
}

QList<QtBrowserItem*> QtAbstractPropertyBrowser::topLevelItems() const
{
    return d->topLevelItems;
}

void QtAbstractPropertyBrowser::clear()
{
    const QList<QtProperty*> properties = d->topLevelProperties;
    for (auto it = properties.crbegin(); it != properties.crend(); ++it)
        removeProperty(*it);
}

void QtAbstractPropertyBrowser::unsetFactoryForManager(QtAbstractPropertyManager* manager)
{
    d->factories.remove(manager);
}

void QtAbstractPropertyBrowser::registerFactory(QtAbstractPropertyManager* manager,
                                                QtAbstractEditorFactoryBase* factory)
{
    d->factories.insert(manager, factory);
    d->watchManager(manager);
}

QtBrowserItem* QtAbstractPropertyBrowser::currentItem() const
{
    return d->current;
}

void QtAbstractPropertyBrowser::setCurrentItem(QtBrowserItem* item)
{
    if (item == d->current || (item && item->browser() != this))
        return;
    d->current = item;
    emit currentItemChanged(item);
}

QtBrowserItem* QtAbstractPropertyBrowser::addProperty(QtProperty* property)
{
    return insertProperty(property, d->topLevelProperties.isEmpty()
                                        ? nullptr
                                        : d->topLevelProperties.last());
}

QtBrowserItem* QtAbstractPropertyBrowser::insertProperty(QtProperty* property,
                                                         QtProperty* afterProperty)
{
    if (!property || d->topLevelProperties.contains(property))
        return nullptr;
    const int pos = afterProperty ? d->topLevelProperties.indexOf(afterProperty) + 1 : 0;
    d->topLevelProperties.insert(pos, property);
    QtBrowserItem* afterItem =
        pos > 0 ? topLevelItem(d->topLevelProperties.at(pos - 1)) : nullptr;
    return d->createItem(property, nullptr, afterItem);
}

void QtAbstractPropertyBrowser::removeProperty(QtProperty* property)
{
    if (!d->topLevelProperties.removeOne(property))
        return;
    if (QtBrowserItem* item = topLevelItem(property))
        d->removeItem(item);
}

QWidget* QtAbstractPropertyBrowser::createEditor(QtProperty* property, QWidget* parent)
{
    if (!property)
        return nullptr;
    QtAbstractEditorFactoryBase* factory = d->factories.value(property->propertyManager());
    return factory ? factory->createEditor(property, parent) : nullptr;
}

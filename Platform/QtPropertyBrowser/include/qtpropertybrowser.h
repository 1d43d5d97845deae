// Properties, their managers, editor factories and the abstract browser that shows them.
#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>

class QtAbstractPropertyManager;
class QtAbstractPropertyBrowser;

// One row of a property browser: a name, texts for the operator, sub-properties and a value
// that its manager keeps. Properties are created and owned by their manager.
class QtProperty
{
public:
    virtual ~QtProperty();

    QList<QtProperty*> subProperties() const;
    QtAbstractPropertyManager* propertyManager() const;

    QString propertyName() const;
    QString toolTip() const;
    QString statusTip() const;
    QString whatsThis() const;
    bool isEnabled() const;
    bool hasValue() const;
    QIcon valueIcon() const;
    QString valueText() const;

    void setPropertyName(const QString& text);
    void setToolTip(const QString& text);
    void setStatusTip(const QString& text);
    void setWhatsThis(const QString& text);
    void setEnabled(bool enable);

    // A property may sit under several parents; a property cannot become its own descendant.
    void addSubProperty(QtProperty* property);
    void insertSubProperty(QtProperty* property, QtProperty* afterProperty);
    void removeSubProperty(QtProperty* property);

protected:
    explicit QtProperty(QtAbstractPropertyManager* manager);
    void propertyChanged();

private:
    friend class QtAbstractPropertyManager;
    struct Private;
    std::unique_ptr<Private> d;
};

class QtAbstractPropertyManager : public QObject
{
    Q_OBJECT
public:
    explicit QtAbstractPropertyManager(QObject* parent = nullptr);
    ~QtAbstractPropertyManager() override;

    QSet<QtProperty*> properties() const;
    void clear() const;
    QtProperty* addProperty(const QString& name = QString());

Q_SIGNALS:
    void propertyInserted(QtProperty* newProperty, QtProperty* parentProperty,
                          QtProperty* afterProperty);
    void propertyChanged(QtProperty* property);
    void propertyRemoved(QtProperty* property, QtProperty* parentProperty);
    void propertyDestroyed(QtProperty* property);

protected:
    virtual bool hasValue(const QtProperty* property) const;
    virtual QIcon valueIcon(const QtProperty* property) const;
    virtual QString valueText(const QtProperty* property) const;
    virtual void initializeProperty(QtProperty* property) = 0;
    virtual void uninitializeProperty(QtProperty* property);
    virtual QtProperty* createProperty();

private:
    friend class QtProperty;
    QSet<QtProperty*> m_properties;
};

// One place where a property is shown in a browser. Made and destroyed by the browser.
class QtBrowserItem
{
public:
    QtProperty* property() const { return m_property; }
    QtBrowserItem* parent() const { return m_parent; }
    QList<QtBrowserItem*> children() const { return m_children; }
    QtAbstractPropertyBrowser* browser() const { return m_browser; }

private:
    friend class QtAbstractPropertyBrowser;
    QtBrowserItem(QtAbstractPropertyBrowser* browser, QtProperty* property, QtBrowserItem* parent)
        : m_browser(browser), m_property(property), m_parent(parent)
    {
    }
    ~QtBrowserItem() = default;

    QtAbstractPropertyBrowser* m_browser;
    QtProperty* m_property;
    QtBrowserItem* m_parent;
    QList<QtBrowserItem*> m_children;
};

class QtAbstractEditorFactoryBase : public QObject
{
    Q_OBJECT
public:
    virtual QWidget* createEditor(QtProperty* property, QWidget* parent) = 0;

protected:
    explicit QtAbstractEditorFactoryBase(QObject* parent = nullptr) : QObject(parent) {}

protected Q_SLOTS:
    virtual void managerDestroyed(QObject* manager) = 0;
};

// Makes editor widgets for the properties of managers of one class.
template <class PropertyManager>
class QtAbstractEditorFactory : public QtAbstractEditorFactoryBase
{
public:
    explicit QtAbstractEditorFactory(QObject* parent) : QtAbstractEditorFactoryBase(parent) {}

    QWidget* createEditor(QtProperty* property, QWidget* parent) override
    {
        PropertyManager* manager = propertyManager(property);
        return manager ? createEditor(manager, property, parent) : nullptr;
    }

    void addPropertyManager(PropertyManager* manager)
    {
        if (!manager || m_managers.contains(manager))
            return;
        m_managers.insert(manager);
        connectPropertyManager(manager);
        connect(manager, &QObject::destroyed, this,
                &QtAbstractEditorFactory::managerDestroyed);
    }

    void removePropertyManager(PropertyManager* manager)
    {
        if (!m_managers.remove(manager))
            return;
        disconnect(manager, &QObject::destroyed, this,
                   &QtAbstractEditorFactory::managerDestroyed);
        disconnectPropertyManager(manager);
    }

    QSet<PropertyManager*> propertyManagers() const { return m_managers; }

    PropertyManager* propertyManager(QtProperty* property) const
    {
        if (!property)
            return nullptr;
        QtAbstractPropertyManager* owner = property->propertyManager();
        for (PropertyManager* manager : m_managers) {
            if (static_cast<QtAbstractPropertyManager*>(manager) == owner)
                return manager;
        }
        return nullptr;
    }

protected:
    virtual void connectPropertyManager(PropertyManager* manager) = 0;
    virtual QWidget* createEditor(PropertyManager* manager, QtProperty* property,
                                  QWidget* parent) = 0;
    virtual void disconnectPropertyManager(PropertyManager* manager) = 0;

    void managerDestroyed(QObject* manager) override
    {
        for (PropertyManager* known : m_managers) {
            if (static_cast<QObject*>(known) == manager) {
                m_managers.remove(known);
                return;
            }
        }
    }

private:
    QSet<PropertyManager*> m_managers;
};

// Keeps the tree of browser items for the properties added to it and follows their managers;
// subclasses show the items.
class QtAbstractPropertyBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit QtAbstractPropertyBrowser(QWidget* parent = nullptr);
    ~QtAbstractPropertyBrowser() override;

    QList<QtProperty*> properties() const;
    QList<QtBrowserItem*> items(QtProperty* property) const;
    QtBrowserItem* topLevelItem(QtProperty* property) const;
    QList<QtBrowserItem*> topLevelItems() const;
    void clear();

    template <class PropertyManager>
    void setFactoryForManager(PropertyManager* manager,
                              QtAbstractEditorFactory<PropertyManager>* factory)
    {
        if (!manager || !factory)
            return;
        registerFactory(manager, factory);
        factory->addPropertyManager(manager);
    }
    void unsetFactoryForManager(QtAbstractPropertyManager* manager);

    QtBrowserItem* currentItem() const;
    void setCurrentItem(QtBrowserItem* item);

Q_SIGNALS:
    void currentItemChanged(QtBrowserItem* current);

public Q_SLOTS:
    QtBrowserItem* addProperty(QtProperty* property);
    QtBrowserItem* insertProperty(QtProperty* property, QtProperty* afterProperty);
    void removeProperty(QtProperty* property);

protected:
    // Called after the item is linked into the tree (parents before children).
    virtual void itemInserted(QtBrowserItem* item, QtBrowserItem* afterItem) = 0;
    // Called before the item is unlinked (children before parents).
    virtual void itemRemoved(QtBrowserItem* item) = 0;
    virtual void itemChanged(QtBrowserItem* item) = 0;
    virtual QWidget* createEditor(QtProperty* property, QWidget* parent);

private:
    void registerFactory(QtAbstractPropertyManager* manager, QtAbstractEditorFactoryBase* factory);

    struct Private;
    std::unique_ptr<Private> d;
};

Q_DECLARE_METATYPE(QtProperty*)
Q_DECLARE_METATYPE(QtBrowserItem*)

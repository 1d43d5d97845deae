// An option page on a tree property browser: rows addressed by property id, enum rows mapped
// to setting values, and the browser's events turned into page signals.
#pragma once

#include "QtAppFramework/SettingsNodeComponent.h"

#include <qttreepropertybrowser.h>
#include <qtvariantproperty.h>

#include <QMap>
#include <QPointer>
#include <QVariant>

#include <functional>

// The kind of a row and so the value type of its property.
enum class PropertyType : int
{
    Group = 0,
    Bool = 1,
    Int = 2,
    Double = 3,
    String = 4,
    Date = 5,
    Time = 6,
    DateTime = 7,
    KeySequence = 8,
    Char = 9,
    Locale = 10,
    Point = 11,
    PointF = 12,
    Size = 13,
    SizeF = 14,
    Rect = 15,
    RectF = 16,
    Enum = 17,
    Flag = 18,
    SizePolicy = 19,
    Font = 20,
    Cursor = 21,
    Color = 22,
};

// One entry of an Enum or Flag row: the text shown and the setting value it stands for.
struct PropertyEnumItem
{
    const char* pszText;
    int nValue;
};

// One row of a page table.
struct PropertyDescriptor
{
    PropertyType eType;
    int nGroupId;
    int nSettingId;
    const char* pszName;
    const char* pszDescription;
    const PropertyEnumItem* poItems;
    int nItemCount;
};

class CPropertiesNode : public CSettingsNodeComponent
{
    Q_OBJECT
public:
    CPropertiesNode(QString strName, QObject* poParent);
    ~CPropertiesNode() override;

    // (group id << 16) | (setting id & 0xFFFF); -1 stands for no parent.
    static int propertyId(int nGroupId, int nSettingId);

    using CSettingsNodeComponent::apply;

    void showInfo(QWidget* poPage) override;
    virtual void collapseAll();
    virtual void collapseItem(QtBrowserItem* poItem);

    QtVariantProperty* createProperty(PropertyType eType, const QString& strName,
                                      const QString& strDescription);
    QtVariantProperty* addTopLevelProperty(PropertyType eType, int nPropertyId,
                                           const QString& strName, const QString& strDescription,
                                           const PropertyEnumItem* poItems = nullptr,
                                           int nCount = 0);
    QtVariantProperty* addSubProperty(int nParentId, PropertyType eType, int nPropertyId,
                                      const QString& strName, const QString& strDescription,
                                      const PropertyEnumItem* poItems = nullptr, int nCount = 0);
    void registerEnumValues(int nPropertyId, const PropertyEnumItem* poItems, int nCount);

    // The row's value as a setting value: enum rows give the value of the chosen item.
    void readPropertyValue(int nPropertyId, QtVariantProperty* poProperty, QVariant& vOut) const;
    QVariant propertyValue(int nPropertyId) const;
    void setPropertyValue(int nPropertyId, const QVariant& vValue);
    void connectBrowser(bool bOn);

    QtTreePropertyBrowser* browser() const { return m_poBrowser; }
    QtVariantPropertyManager* manager() const { return m_poManager; }
    QtProperty* property(int nPropertyId) const { return m_mapProperties.value(nPropertyId); }
    bool isActive() const { return m_bActive; }

signals:
    void propertyValueChanged(int nPropertyId, QVariant& vValue);

public slots:
    void init() override;
    void apply(bool bForce) override;
    void cancel() override;
    void activate() override;
    void deactivate() override;

    void handleBrowserItemChanged(QtBrowserItem* poBrowserItem, bool bEdit);
    void handleBrowserItemChanged(QtBrowserItem* poBrowserItem);
    void handleBrowserItemExpanded(QtBrowserItem* poBrowserItem);
    void handleBrowserItemCollapsed(QtBrowserItem* poBrowserItem);
    void handlePropertyChanged(QtProperty* poProperty);

protected:
    virtual void loadFromModel() = 0;
    virtual void applyBound(bool bForce) = 0;
    virtual void revertBound() = 0;

private:
    void addItems(QtVariantProperty* poProperty, PropertyType eType, int nPropertyId,
                  const PropertyEnumItem* poItems, int nCount);
    void setExpandState(QtBrowserItem* poBrowserItem, bool bExpanded);
    void runWithBrowserCut(const std::function<void()>& fnOperation);

    QPointer<QtTreePropertyBrowser> m_poBrowser;
    QtVariantPropertyManager* m_poManager;
    QtVariantEditorFactory* m_poFactory;
    QMap<int, QtProperty*> m_mapProperties;
    QMap<int, QMap<int, int>> m_mapEnumTables;
    bool m_bActive = false;
    bool m_bBrowserConnected = false;
};

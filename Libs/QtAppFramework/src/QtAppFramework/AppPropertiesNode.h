// An option page whose rows are bound to settings by (group id, setting id): edits become
// edited setting values, apply and cancel go to the settings, and setting changes show at once.
#pragma once

#include "QtAppFramework/PropertiesNode.h"

#include <QList>
#include <QPointer>

class CSetting;
class CSettingsGroup;

class CAppPropertiesNode : public CPropertiesNode
{
    Q_OBJECT
public:
    CAppPropertiesNode(QString strName, QObject* poParent);
    ~CAppPropertiesNode() override;

    QtProperty* addTopLevelSetting(PropertyType eType, int nGroupId, int nSettingId,
                                   const QString& strName, const QString& strDescription,
                                   const PropertyEnumItem* poItems = nullptr, int nCount = 0);
    QtProperty* addSubSetting(int nParentGroupId, int nParentSettingId, PropertyType eType,
                              int nGroupId, int nSettingId, const QString& strName,
                              const QString& strDescription,
                              const PropertyEnumItem* poItems = nullptr, int nCount = 0);
    // Group rows become the parent of the rows after them; rows before any group are left out.
    void addPropertyTable(const PropertyDescriptor* poRows, int nCount);
    void connectModel(bool bOn);

    const QList<int>& boundIds() const { return m_lstBoundIds; }

public slots:
    void activate() override;
    void deactivate() override;
    virtual void handleSettingValueChangedInModel(int nGroupId, CSetting* poSetting);
    virtual void handlePropertyValueChangedInView(int nPropertyId, QVariant& rValue);

protected:
    void loadFromModel() override;
    void applyBound(bool bForce) override;
    void revertBound() override;

private:
    QtProperty* bind(QtProperty* poProperty, int nGroupId, int nPropertyId);
    QtProperty* addBoundSubProperty(int nParentId, PropertyType eType, int nGroupId,
                                    int nSettingId, const QString& strName,
                                    const QString& strDescription,
                                    const PropertyEnumItem* poItems, int nCount);
    // The bound setting of a property id, with its group; false when either is missing.
    static bool findSetting(int nPropertyId, CSettingsGroup*& poGroup, CSetting*& poSetting);
    // Writes a value into a row with every connection cut.
    void show(int nPropertyId, const QVariant& vValue);

    QList<int> m_lstBoundIds;
    QList<QPointer<CSettingsGroup>> m_lstTouchedGroups;
    bool m_bModelConnected = false;
};

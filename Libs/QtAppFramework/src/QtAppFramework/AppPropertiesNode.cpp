#include "QtAppFramework/AppPropertiesNode.h"

#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <QCoreApplication>

namespace {

int groupIdOf(int nPropertyId)
{
    return static_cast<int>(static_cast<unsigned>(nPropertyId) >> 16);
}

int settingIdOf(int nPropertyId)
{
    return nPropertyId & 0xFFFF;
}

} // namespace

CAppPropertiesNode::CAppPropertiesNode(QString strName, QObject* poParent)
    : CPropertiesNode(std::move(strName), poParent)
{
}

CAppPropertiesNode::~CAppPropertiesNode() = default;

QtProperty* CAppPropertiesNode::addTopLevelSetting(PropertyType eType, int nGroupId,
                                                   int nSettingId, const QString& strName,
                                                   const QString& strDescription,
                                                   const PropertyEnumItem* poItems, int nCount)
{
    const int nPropertyId = propertyId(nGroupId, nSettingId);
    return bind(addTopLevelProperty(eType, nPropertyId, strName, strDescription, poItems, nCount),
                nGroupId, nPropertyId);
}

QtProperty* CAppPropertiesNode::addSubSetting(int nParentGroupId, int nParentSettingId,
                                              PropertyType eType, int nGroupId, int nSettingId,
                                              const QString& strName,
                                              const QString& strDescription,
                                              const PropertyEnumItem* poItems, int nCount)
{
    return addBoundSubProperty(propertyId(nParentGroupId, nParentSettingId), eType, nGroupId,
                               nSettingId, strName, strDescription, poItems, nCount);
}

QtProperty* CAppPropertiesNode::addBoundSubProperty(int nParentId, PropertyType eType,
                                                    int nGroupId, int nSettingId,
                                                    const QString& strName,
                                                    const QString& strDescription,
                                                    const PropertyEnumItem* poItems, int nCount)
{
    const int nPropertyId = propertyId(nGroupId, nSettingId);
    return bind(addSubProperty(nParentId, eType, nPropertyId, strName, strDescription, poItems,
                               nCount),
                nGroupId, nPropertyId);
}

void CAppPropertiesNode::addPropertyTable(const PropertyDescriptor* poRows, int nCount)
{
    if (!poRows)
        return;
    int nParentId = -1; // no parent until the first group row
    for (int i = 0; i < nCount; ++i) {
        const PropertyDescriptor& oRow = poRows[i];
        const QString strName = QCoreApplication::translate("CAppPropertiesNode", oRow.pszName);
        const QString strDescription =
            QCoreApplication::translate("CAppPropertiesNode", oRow.pszDescription);
        if (oRow.eType == PropertyType::Group) {
            addTopLevelSetting(oRow.eType, oRow.nGroupId, oRow.nSettingId, strName,
                               strDescription, oRow.poItems, oRow.nItemCount);
            nParentId = propertyId(oRow.nGroupId, oRow.nSettingId);
        } else {
            addBoundSubProperty(nParentId, oRow.eType, oRow.nGroupId, oRow.nSettingId, strName,
                                strDescription, oRow.poItems, oRow.nItemCount);
        }
    }
}

QtProperty* CAppPropertiesNode::bind(QtProperty* poProperty, int nGroupId, int nPropertyId)
{
    if (!poProperty)
        return nullptr;
    m_lstBoundIds.append(nPropertyId);
    CSettingsGroup* poGroup = CSettingsManager::instance()->findGroup(nGroupId);
    if (poGroup && !m_lstTouchedGroups.contains(poGroup)) {
        m_lstTouchedGroups.append(poGroup);
        // A row added to a live page hears its group at once.
        if (m_bModelConnected)
            connect(poGroup, &CSettingsGroup::settingValueChanged, this,
                    &CAppPropertiesNode::handleSettingValueChangedInModel);
    }
    return poProperty;
}

void CAppPropertiesNode::connectModel(bool bOn)
{
    if (bOn && !m_bModelConnected) {
        connect(this, &CPropertiesNode::propertyValueChanged, this,
                &CAppPropertiesNode::handlePropertyValueChangedInView);
        for (const auto& poGroup : qAsConst(m_lstTouchedGroups)) {
            if (poGroup)
                connect(poGroup, &CSettingsGroup::settingValueChanged, this,
                        &CAppPropertiesNode::handleSettingValueChangedInModel);
        }
    } else if (!bOn && m_bModelConnected) {
        disconnect(this, &CPropertiesNode::propertyValueChanged, this,
                   &CAppPropertiesNode::handlePropertyValueChangedInView);
        for (const auto& poGroup : qAsConst(m_lstTouchedGroups)) {
            if (poGroup)
                disconnect(poGroup, &CSettingsGroup::settingValueChanged, this,
                           &CAppPropertiesNode::handleSettingValueChangedInModel);
        }
    }
    m_bModelConnected = bOn;
}

void CAppPropertiesNode::activate()
{
    CPropertiesNode::activate();
    connectModel(true);
}

void CAppPropertiesNode::deactivate()
{
    connectModel(false);
    CPropertiesNode::deactivate();
}

bool CAppPropertiesNode::findSetting(int nPropertyId, CSettingsGroup*& poGroup,
                                     CSetting*& poSetting)
{
    poGroup = CSettingsManager::instance()->findGroup(groupIdOf(nPropertyId));
    poSetting = poGroup ? poGroup->findSetting(settingIdOf(nPropertyId)) : nullptr;
    return poSetting != nullptr;
}

void CAppPropertiesNode::show(int nPropertyId, const QVariant& vValue)
{
    deactivate();
    setPropertyValue(nPropertyId, vValue);
    activate();
}

void CAppPropertiesNode::loadFromModel()
{
    connectModel(false);
    const QList<int> lstIds = m_lstBoundIds;
    for (int nPropertyId : lstIds) {
        CSettingsGroup* poGroup = nullptr;
        CSetting* poSetting = nullptr;
        if (!findSetting(nPropertyId, poGroup, poSetting))
            continue;
        const QVariant vValue = poSetting->value();
        if (vValue != propertyValue(nPropertyId))
            show(nPropertyId, vValue);
    }
    if (!m_bModelConnected)
        connectModel(true);
}

void CAppPropertiesNode::applyBound(bool bForce)
{
    QList<CSettingsGroup*> lstGroups;
    const QList<int> lstIds = m_lstBoundIds;
    for (int nPropertyId : lstIds) {
        CSettingsGroup* poGroup = CSettingsManager::instance()->findGroup(groupIdOf(nPropertyId));
        if (!poGroup)
            continue;
        if (!lstGroups.contains(poGroup))
            lstGroups.append(poGroup);
        if (CSetting* poSetting = poGroup->findSetting(settingIdOf(nPropertyId)))
            poSetting->apply(bForce);
    }
    for (CSettingsGroup* poGroup : qAsConst(lstGroups))
        poGroup->afterApply();
}

void CAppPropertiesNode::revertBound()
{
    const QList<int> lstIds = m_lstBoundIds;
    for (int nPropertyId : lstIds) {
        CSettingsGroup* poGroup = nullptr;
        CSetting* poSetting = nullptr;
        if (!findSetting(nPropertyId, poGroup, poSetting))
            continue;
        if (poSetting->valueDirty()) {
            QVariant vValue;
            poGroup->getValue(poSetting->id(), vValue, false);
            show(nPropertyId, vValue);
        }
        poSetting->revert();
    }
}

void CAppPropertiesNode::handleSettingValueChangedInModel(int nGroupId, CSetting* poSetting)
{
    if (!poSetting)
        return;
    const int nPropertyId = propertyId(nGroupId, poSetting->id());
    const QList<int> lstIds = m_lstBoundIds;
    for (int nBoundId : lstIds) {
        if (nBoundId == nPropertyId && poSetting->value() != propertyValue(nPropertyId))
            show(nPropertyId, poSetting->value());
    }
}

void CAppPropertiesNode::handlePropertyValueChangedInView(int nPropertyId, QVariant& rValue)
{
    for (int nBoundId : qAsConst(m_lstBoundIds)) {
        CSettingsGroup* poGroup = nullptr;
        CSetting* poSetting = nullptr;
        if (nBoundId == nPropertyId && findSetting(nBoundId, poGroup, poSetting)) {
            poSetting->setValue(rValue);
            return;
        }
    }
}

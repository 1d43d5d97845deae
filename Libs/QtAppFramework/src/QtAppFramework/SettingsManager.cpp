#include "QtAppFramework/SettingsManager.h"

#include "QtAppFramework/PersistentStore.h"
#include "QtAppFramework/SettingsGroup.h"

#include <QLatin1String>

namespace {

// Keys of the survey display group that are saved but never loaded.
bool isNeverLoaded(const QString& strKey)
{
    return strKey == QLatin1String("GridVisibility") || strKey == QLatin1String("GridVariable");
}

} // namespace

CSettingsManager::CSettingsManager() : QObject(nullptr)
{
}

CSettingsManager* CSettingsManager::instance()
{
    // Never destroyed: the groups registered here live until the process ends.
    static CSettingsManager* s_poInstance = new CSettingsManager();
    return s_poInstance;
}

void CSettingsManager::addGroup(CSettingsGroup* poGroup)
{
    if (!poGroup || m_lstGroups.contains(poGroup))
        return;
    m_lstGroups.append(poGroup);
    connect(poGroup, &QObject::destroyed, this, &CSettingsManager::onGroupDestroyed);
}

void CSettingsManager::onGroupDestroyed(QObject* poObject)
{
    // Only the address is compared: the group is already half destroyed.
    m_lstGroups.removeAll(static_cast<CSettingsGroup*>(poObject));
}

CSettingsGroup* CSettingsManager::findGroup(int nGroupId) const
{
    for (CSettingsGroup* poGroup : m_lstGroups)
        if (poGroup && poGroup->id() == nGroupId)
            return poGroup;
    return nullptr;
}

void CSettingsManager::getValue(int nGroupId, int nSettingId, QVariant& vOut, bool bReload)
{
    if (CSettingsGroup* poGroup = findGroup(nGroupId))
        poGroup->getValue(nSettingId, vOut, bReload);
}

void CSettingsManager::setValue(int nGroupId, int nSettingId, const QVariant& vValue, bool bApply)
{
    if (CSettingsGroup* poGroup = findGroup(nGroupId))
        poGroup->setValue(nSettingId, vValue, bApply);
}

void CSettingsManager::applyAll(bool bForce)
{
    const QList<CSettingsGroup*> lstGroups = m_lstGroups;
    for (CSettingsGroup* poGroup : lstGroups)
        if (poGroup)
            poGroup->applyAll(bForce);
}

void CSettingsManager::load(CPersistentStore* poStore)
{
    forEachKeyedSetting(poStore, [poStore](CSetting* poSetting, const QString& strKey) {
        if (isNeverLoaded(strKey))
            return;
        QVariant vValue;
        poStore->read(strKey, vValue);
        if (vValue.isValid())
            poSetting->setValue(vValue);
    });
}

void CSettingsManager::save(CPersistentStore* poStore)
{
    forEachKeyedSetting(poStore, [poStore](CSetting* poSetting, const QString& strKey) {
        poStore->write(strKey, poSetting->value());
    });
    if (poStore)
        poStore->sync();
}

void CSettingsManager::forEachKeyedSetting(CPersistentStore* poStore,
                                           const std::function<void(CSetting*, const QString&)>& fnVisit)
{
    if (!poStore)
        return;
    for (CSettingsGroup* poGroup : m_lstGroups) {
        if (!poGroup)
            continue;
        poStore->beginGroup(poGroup->name());
        for (CSetting* poSetting : poGroup->settings()) {
            if (!poSetting)
                continue;
            const QString strKey = poSetting->key();
            if (!strKey.isEmpty())
                fnVisit(poSetting, strKey);
        }
        poStore->endGroup();
    }
}

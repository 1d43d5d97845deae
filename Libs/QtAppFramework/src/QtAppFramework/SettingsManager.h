// Process-wide registry of the settings groups; loads, saves and applies them all.
#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

#include <functional>

class CSetting;
class CSettingsGroup;
class CPersistentStore;

class CSettingsManager : public QObject {
    Q_OBJECT
public:
    static CSettingsManager* instance();

    // A null group or one already registered is ignored. A destroyed group leaves the list.
    void addGroup(CSettingsGroup* poGroup);
    CSettingsGroup* findGroup(int nGroupId) const;
    const QList<CSettingsGroup*>& groups() const { return m_lstGroups; }

    void getValue(int nGroupId, int nSettingId, QVariant& vOut, bool bReload);
    void setValue(int nGroupId, int nSettingId, const QVariant& vValue, bool bApply);
    void applyAll(bool bForce);

    // Stored values become edited current values; a forced applyAll should follow. A stored
    // value that does not fit the setting's type (text for a number, a number out of range) is
    // skipped with a warning, and the setting keeps its value.
    void load(CPersistentStore* poStore);
    // Writes the current value of every keyed setting, then syncs the store.
    void save(CPersistentStore* poStore);

private:
    CSettingsManager();
    void onGroupDestroyed(CSettingsGroup* poGroup);
    // Visits the keyed settings of every group in registration order and ascending setting
    // id, inside the store group of their settings group.
    void forEachKeyedSetting(CPersistentStore* poStore, const std::function<void(CSetting*, const QString&)>& fnVisit);

    QList<CSettingsGroup*> m_lstGroups;
};

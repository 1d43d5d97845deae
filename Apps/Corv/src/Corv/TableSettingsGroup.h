// A settings group whose keys and defaults come from one table, indexed by setting id.
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <vector>

struct SettingRow {
    const char* szKey; // null: the setting is not stored
    QVariant vDefault;
};

class CTableSettingsGroup : public CSettingsGroup {
    Q_OBJECT
public:
    // The live values start at the table's defaults; the derived group creates the settings.
    CTableSettingsGroup(int id, const QString& name, QObject* parent, const SettingRow* poRows, int nCount);
    ~CTableSettingsGroup() override;

    void keyName(int id, const char** pszOut) override;
    // Out stays unchanged for an id outside the table.
    void get(int id, QVariant& vOut) override;

protected:
    bool isValidId(int id) const { return id >= 0 && id < m_nCount; }
    // Stores the live value; false for an id outside the table.
    bool store(int id, const QVariant& vValue);

private:
    const SettingRow* m_poRows;
    int m_nCount;
    std::vector<QVariant> m_aValues;
};

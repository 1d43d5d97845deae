#include "TableSettingsGroup.h"

CTableSettingsGroup::CTableSettingsGroup(int id, const QString& name, QObject* parent, const SettingRow* poRows,
                                         int nCount)
    : CSettingsGroup(id, name, parent), m_poRows(poRows), m_nCount(nCount)
{
    m_aValues.reserve(static_cast<std::size_t>(nCount));
    for (int i = 0; i < nCount; ++i)
        m_aValues.push_back(poRows[i].vDefault);
}

CTableSettingsGroup::~CTableSettingsGroup()
{
    deleteSettings();
}

void CTableSettingsGroup::keyName(int id, const char** pszOut)
{
    *pszOut = isValidId(id) ? m_poRows[id].szKey : nullptr;
}

void CTableSettingsGroup::get(int id, QVariant& vOut)
{
    if (isValidId(id))
        vOut = m_aValues[static_cast<std::size_t>(id)];
}

bool CTableSettingsGroup::store(int id, const QVariant& vValue)
{
    if (!isValidId(id))
        return false;
    m_aValues[static_cast<std::size_t>(id)] = vValue;
    return true;
}

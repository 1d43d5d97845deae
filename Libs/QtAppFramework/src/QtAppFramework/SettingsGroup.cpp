#include "QtAppFramework/SettingsGroup.h"

#include <QColor>
#include <QtGlobal>

CSettingsGroup::CSettingsGroup(int id, const QString& name, QObject* parent)
    : QObject(parent), m_nId(id), m_strName(name)
{
}

CSettingsGroup::~CSettingsGroup()
{
    deleteSettings();
}

void CSettingsGroup::forEachListedSetting(const std::function<void(CSetting*)>& fnVisit)
{
    // Ids 0..count-1 in order; a setting with a higher id is not visited.
    const int nCount = m_mapSettings.size();
    for (int i = 0; i < nCount; ++i)
        if (CSetting* poSetting = findSetting(i))
            fnVisit(poSetting);
}

void CSettingsGroup::loadAll()
{
    forEachListedSetting([](CSetting* poSetting) { poSetting->load(); });
}

void CSettingsGroup::applyAll(bool bForce)
{
    forEachListedSetting([bForce](CSetting* poSetting) { poSetting->apply(bForce); });
    afterApply();
}

void CSettingsGroup::revertAll()
{
    forEachListedSetting([](CSetting* poSetting) { poSetting->revert(); });
}

void CSettingsGroup::afterApply()
{
}

void CSettingsGroup::getValue(int id, QVariant& vOut, bool bReload)
{
    CSetting* poSetting = findSetting(id);
    if (!poSetting)
        return;
    if (bReload)
        poSetting->load();
    vOut = poSetting->value();
}

void CSettingsGroup::setValue(int id, const QVariant& vValue, bool bApply)
{
    CSetting* poSetting = findSetting(id);
    if (!poSetting)
        return;
    poSetting->setValue(vValue);
    if (bApply)
        poSetting->apply(false);
}

void CSettingsGroup::addSetting(CSetting* poSetting)
{
    if (poSetting)
        m_mapSettings.insert(poSetting->id(), poSetting);
}

CSetting* CSettingsGroup::findSetting(int id) const
{
    return m_mapSettings.value(id, nullptr);
}

void CSettingsGroup::deleteSettings()
{
    const QMap<int, CSetting*> mapSettings = m_mapSettings;
    m_mapSettings.clear();
    qDeleteAll(mapSettings);
}

void CSettingsGroup::warnNotImplemented(int id)
{
    const char* szKey = nullptr;
    keyName(id, &szKey);
    qWarning("Not Implemented: %d=%s %d=%s", m_nId, m_strName.toLocal8Bit().constData(), id,
             szKey ? szKey : "");
}

void CSettingsGroup::handleSettingValueChanged(CSetting* poSetting)
{
    emit settingValueChanged(m_nId, poSetting);
}

QVariant colorVariant(unsigned int nColour)
{
    return QVariant(QColor(static_cast<int>((nColour >> 24) & 0xFF), static_cast<int>((nColour >> 16) & 0xFF),
                           static_cast<int>((nColour >> 8) & 0xFF)));
}

#include "QtAppFramework/SettingsManager.h"

#include "QtAppFramework/PersistentStore.h"
#include "QtAppFramework/SettingsGroup.h"

#include <QColor>
#include <QLatin1String>
#include <QtGlobal>

#include <cmath>
#include <limits>

namespace {

// Keys of the survey display group that are saved but never loaded.
bool isNeverLoaded(const QString& strKey)
{
    return strKey == QLatin1String("GridVisibility") || strKey == QLatin1String("GridVariable");
}

// Whether a stored value can stand for a setting whose current value is vCurrent: numbers must
// read as numbers within the range of the setting's type, yes/no values as yes/no, colours as
// colours. A value is kept as it was read; only its readability is checked.
bool storedValueFits(const QVariant& vCurrent, const QVariant& vStored)
{
    const QString strText = vStored.toString().trimmed();
    bool bOk = false;
    switch (static_cast<QMetaType::Type>(vCurrent.type())) {
    case QMetaType::Int: {
        const qlonglong n = strText.toLongLong(&bOk);
        return bOk && n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max();
    }
    case QMetaType::UInt: {
        const qulonglong n = strText.toULongLong(&bOk);
        return bOk && n <= std::numeric_limits<unsigned int>::max();
    }
    case QMetaType::LongLong:
        strText.toLongLong(&bOk);
        return bOk;
    case QMetaType::ULongLong:
        strText.toULongLong(&bOk);
        return bOk;
    case QMetaType::Double: {
        const double d = strText.toDouble(&bOk);
        return bOk && std::isfinite(d);
    }
    case QMetaType::Bool: {
        if (vStored.type() == QVariant::Bool)
            return true;
        const QString strLower = strText.toLower();
        return strLower == QLatin1String("true") || strLower == QLatin1String("false") || strLower == QLatin1String("1")
            || strLower == QLatin1String("0");
    }
    case QMetaType::QColor:
        return vStored.value<QColor>().isValid();
    case QMetaType::QString:
        return vStored.canConvert<QString>() && (vStored.type() != QVariant::StringList || vStored.toStringList().size() <= 1);
    default:
        return true;
    }
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
    // The group's own address is kept: when 'destroyed' arrives the group part is already gone,
    // and casting the QObject back to it would be undefined.
    connect(poGroup, &QObject::destroyed, this, [this, poGroup]() { onGroupDestroyed(poGroup); });
}

void CSettingsManager::onGroupDestroyed(CSettingsGroup* poGroup)
{
    // Compared by address only.
    m_lstGroups.removeAll(poGroup);
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
        if (!vValue.isValid())
            return;
        const QVariant vCurrent = poSetting->value();
        if (!storedValueFits(vCurrent, vValue)) {
            // The setting keeps its value; one line per key and load.
            qWarning("Setting %s: the stored value \"%s\" is not a valid %s; %s is used instead",
                     qPrintable(strKey), qPrintable(vValue.toString().left(64)), vCurrent.typeName(),
                     qPrintable(vCurrent.toString()));
            return;
        }
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

#include "QtAppFramework/Setting.h"

CSetting::CSetting(int id, const QString& key, QObject* parent)
    : QObject(parent), m_nId(id), m_strKey(key)
{
}

void CSetting::setValue(const QVariant& vValue)
{
    m_vValue = vValue;
    m_bValueDirty = true;
}

void CSetting::setAppliedValue(const QVariant& vValue)
{
    m_vAppliedValue = vValue;
    m_bAppliedDirty = true;
}

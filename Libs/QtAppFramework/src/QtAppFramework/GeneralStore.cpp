#include "QtAppFramework/GeneralStore.h"

#include <QCoreApplication>
#include <QSettings>

CGeneralStore::CGeneralStore()
{
    openSettings();
}

CGeneralStore::~CGeneralStore() = default;

void CGeneralStore::openSettings()
{
    const QSettings::Format eFormat = m_nFormat == 1 ? QSettings::IniFormat : QSettings::NativeFormat;
    const QSettings::Scope eScope = m_nScope == 1 ? QSettings::SystemScope : QSettings::UserScope;
    if (m_strOrganisation.isEmpty())
        m_strOrganisation = QCoreApplication::organizationName();
    if (m_strApplication.isEmpty())
        m_strApplication = QCoreApplication::applicationName();
    m_poSettings = std::make_unique<QSettings>(eFormat, eScope, m_strOrganisation, m_strApplication);
}

void CGeneralStore::write(const QString& key, const QVariant& value)
{
    if (m_poSettings)
        m_poSettings->setValue(key, value);
}

void CGeneralStore::read(const QString& key, QVariant& vOut)
{
    if (m_poSettings)
        vOut = m_poSettings->value(key, QVariant());
}

void CGeneralStore::beginGroup(const QString& name)
{
    if (m_poSettings)
        m_poSettings->beginGroup(name);
}

void CGeneralStore::endGroup()
{
    if (m_poSettings)
        m_poSettings->endGroup();
}

void CGeneralStore::sync()
{
    if (m_poSettings)
        m_poSettings->sync();
}

QString CGeneralStore::fileName() const
{
    return m_poSettings ? m_poSettings->fileName() : QString();
}

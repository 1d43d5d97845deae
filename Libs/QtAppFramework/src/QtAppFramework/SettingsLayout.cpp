#include "QtAppFramework/SettingsLayout.h"

#include <QMainWindow>

namespace {

const char* const s_aKeys[CSettingsLayout::SettingCount] = {
    "LayoutGroup", "LayoutTopLeftCorner", "LayoutTopRightCorner",
    "LayoutBottomRightCorner", "LayoutBottomLeftCorner", "LayoutDockOptions",
};

bool isValidId(int id)
{
    return id >= 0 && id < CSettingsLayout::SettingCount;
}

} // namespace

CSettingsLayout::CSettingsLayout(int id, const QString& name, QMainWindow* poWindow, QObject* parent)
    : CSettingsGroup(id, name, parent), m_poWindow(poWindow)
{
    setDefaults();
    createSettings(this, SettingCount);
}

CSettingsLayout::~CSettingsLayout()
{
    deleteSettings();
}

void CSettingsLayout::setDefaults()
{
    m_aValues[LayoutGroup] = 0;
    if (m_poWindow) {
        m_aValues[LayoutTopLeftCorner] = static_cast<int>(m_poWindow->corner(Qt::TopLeftCorner));
        m_aValues[LayoutTopRightCorner] = static_cast<int>(m_poWindow->corner(Qt::TopRightCorner));
        m_aValues[LayoutBottomRightCorner] = static_cast<int>(m_poWindow->corner(Qt::BottomRightCorner));
        m_aValues[LayoutBottomLeftCorner] = static_cast<int>(m_poWindow->corner(Qt::BottomLeftCorner));
        m_aValues[LayoutDockOptions] = static_cast<int>(m_poWindow->dockOptions());
    } else {
        m_aValues[LayoutTopLeftCorner] = 1;
        m_aValues[LayoutTopRightCorner] = 2;
        m_aValues[LayoutBottomRightCorner] = 8;
        m_aValues[LayoutBottomLeftCorner] = 8;
        m_aValues[LayoutDockOptions] = 7;
    }
}

void CSettingsLayout::keyName(int id, const char** pszOut)
{
    *pszOut = isValidId(id) ? s_aKeys[id] : nullptr;
}

void CSettingsLayout::get(int id, QVariant& vOut)
{
    if (isValidId(id))
        vOut = m_aValues[static_cast<std::size_t>(id)];
}

void CSettingsLayout::set(int id, const QVariant& vValue)
{
    // The window's corners and dock options are not changed; the group slot stays 0.
    if (!m_poWindow || !isValidId(id) || id == LayoutGroup)
        return;
    m_aValues[static_cast<std::size_t>(id)] = vValue;
}

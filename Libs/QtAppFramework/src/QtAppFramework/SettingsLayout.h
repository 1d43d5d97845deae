// Settings group of the main window's dock corners and dock options (kept, not applied).
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <array>

class QMainWindow;

class CSettingsLayout : public CSettingsGroup {
public:
    enum SettingId {
        LayoutGroup,
        LayoutTopLeftCorner,
        LayoutTopRightCorner,
        LayoutBottomRightCorner,
        LayoutBottomLeftCorner,
        LayoutDockOptions,
        SettingCount
    };

    CSettingsLayout(int id, const QString& name, QMainWindow* poWindow, QObject* parent);
    ~CSettingsLayout() override;

    void keyName(int id, const char** pszOut) override;
    void get(int id, QVariant& vOut) override;
    void set(int id, const QVariant& vValue) override;

protected:
    void setDefaults();

private:
    QMainWindow* m_poWindow;
    std::array<QVariant, SettingCount> m_aValues;
};

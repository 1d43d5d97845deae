// Settings group of the log router: every applied value is handed to the router.
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <array>

class CLoggingManager;

class CSettingsLogging : public CSettingsGroup {
public:
    enum SettingId {
        LogEnable,
        LogFileName,
        LogFileSizeMax,
        LogOutputDeviceMask,
        LogMsgTypeMask,
        LogServerAddr,
        LogServerPort,
        SettingCount
    };

    CSettingsLogging(int id, const QString& name, QObject* parent);
    ~CSettingsLogging() override;

    void keyName(int id, const char** pszOut) override;
    void get(int id, QVariant& vOut) override;
    void set(int id, const QVariant& vValue) override;

private:
    CLoggingManager* m_poLoggingManager;
    std::array<QVariant, SettingCount> m_aValues;
};

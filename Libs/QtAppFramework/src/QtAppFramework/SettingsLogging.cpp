#include "QtAppFramework/SettingsLogging.h"

#include "QtAppFramework/LoggingManager.h"

namespace {

const char* const s_aKeys[CSettingsLogging::SettingCount] = {
    "LogEnable", "LogFileName", "LogFileSizeMax", "LogOutputDeviceMask",
    "LogMsgTypeMask", "LogServerAddr", "LogServerPort",
};

bool isValidId(int id)
{
    return id >= 0 && id < CSettingsLogging::SettingCount;
}

} // namespace

CSettingsLogging::CSettingsLogging(int id, const QString& name, QObject* parent)
    : CSettingsGroup(id, name, parent), m_poLoggingManager(CLoggingManager::instance())
{
    m_aValues[LogEnable] = true;
    m_aValues[LogFileName] = QStringLiteral("c:/temp/_qa_main_app.log");
    m_aValues[LogFileSizeMax] = 100000;
    m_aValues[LogOutputDeviceMask] = 4;
    m_aValues[LogMsgTypeMask] = 65535;
    m_aValues[LogServerAddr] = QStringLiteral("127.0.0.1");
    m_aValues[LogServerPort] = 11965;
    createSettings(this, SettingCount);
}

CSettingsLogging::~CSettingsLogging()
{
    deleteSettings();
}

void CSettingsLogging::keyName(int id, const char** pszOut)
{
    *pszOut = isValidId(id) ? s_aKeys[id] : nullptr;
}

void CSettingsLogging::get(int id, QVariant& vOut)
{
    if (isValidId(id))
        vOut = m_aValues[static_cast<std::size_t>(id)];
}

void CSettingsLogging::set(int id, const QVariant& vValue)
{
    if (!isValidId(id))
        return;
    m_aValues[static_cast<std::size_t>(id)] = vValue;
    if (!m_poLoggingManager)
        return;
    switch (id) {
    case LogEnable:
        if (vValue.toBool())
            m_poLoggingManager->enable();
        else
            m_poLoggingManager->disable();
        break;
    case LogFileName:
        m_poLoggingManager->setLogFileName(vValue.toString());
        break;
    case LogFileSizeMax: {
        const qulonglong nMax = vValue.toULongLong();
        m_poLoggingManager->setLogFileSizeMax(nMax > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(nMax));
        break;
    }
    case LogOutputDeviceMask:
        m_poLoggingManager->setOutputDeviceMask(static_cast<int>(vValue.toUInt()));
        break;
    case LogMsgTypeMask:
        m_poLoggingManager->setMsgTypeMask(static_cast<int>(vValue.toUInt()));
        break;
    case LogServerAddr:
        m_poLoggingManager->setServerAddress(vValue.toString());
        break;
    case LogServerPort:
        m_poLoggingManager->setServerPort(static_cast<unsigned short>(vValue.toUInt()));
        break;
    default:
        break;
    }
}

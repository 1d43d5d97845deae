#include "Common/GuiIni.h"

#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QSettings>

namespace GuiIni {

namespace {

const QString NotSet = QStringLiteral("NOT_SET");

} // namespace

const std::vector<KeyInfo>& keyTable()
{
    static const std::vector<KeyInfo> table = {
        {GroupRuntime, "CorvModel", 2200},
        {GroupRuntime, "CorvLayoutFile", QStringLiteral("defaultCorv.cvn")},
        {GroupRuntime, "MapPath", QVariant()},
        {GroupRuntime, "TIFFPath", QVariant()},
        {GroupRuntime, "imageryFactor", 10},
        {GroupRuntime, "tileSize", 127},
        {GroupRuntime, "cacheSize", 128u},
        {GroupRuntime, "CORR_WIDTH", 2.0},
        {GroupRuntime, "CorvNoMCAST", false},
        {GroupRuntime, "CorvPortAdd", 0},
        {GroupRuntime, "CorvPosPort", 25125},
        {GroupRuntime, "CorvTailPort", 25130},
        {GroupRuntime, "CorvMcastGrp", QString()},
        {GroupRuntime, "CorvMcastGrpActive", QString()},
        {GroupRuntime, "SendIP", NotSet},
        {GroupRuntime, "ActiveSounder", QVariant()},
        {GroupRuntime, "PlanDir", QString()},
        {GroupRuntime, "GRIDENGINE", 1},
        {GroupGeneralDefs, "Gridpath", QString()},
        {GroupGeneralDefs, "RawPath", QStringLiteral("C:/qeldata")},
        {GroupRemoteSettings, "SENDFILE_QUARANTINE_SEC", 30},
    };
    return table;
}

QVariant defaultValue(const QString& group, const QString& key)
{
    for (const KeyInfo& info : keyTable()) {
        if (group == QLatin1String(info.group) && key == QLatin1String(info.key))
            return info.defaultValue;
    }
    return QVariant();
}

QString localPath()
{
    const QString path = g_strGuiIniPath.empty() ? guiIniPath() : QString::fromStdString(g_strGuiIniPath);
    return platform::toNativePath(path);
}

QVariant value(const QString& group, const QString& key, const QVariant& fallback)
{
    QSettings settings(localPath(), QSettings::IniFormat);
    settings.beginGroup(group);
    return settings.value(key, fallback);
}

QVariant value(const QString& group, const QString& key)
{
    return value(group, key, defaultValue(group, key));
}

bool setValue(const QString& group, const QString& key, const QVariant& value)
{
    QSettings settings(localPath(), QSettings::IniFormat);
    settings.beginGroup(group);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString localHostFirstIPv4()
{
    const QHostInfo info = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address.toString();
    }
    return QString();
}

QString readSendIp()
{
    const QString key = QStringLiteral("SendIP");
    QString ip = value(QLatin1String(GroupRuntime), key).toString();
    if (ip == NotSet) {
        const QString local = localHostFirstIPv4();
        if (!local.isEmpty()) {
            ip = local;
            setValue(QLatin1String(GroupRuntime), key, ip);
        }
    }
    return ip;
}

int readGridEngine()
{
    const QString key = QStringLiteral("GRIDENGINE");
    const QVariant stored = value(QLatin1String(GroupRuntime), key, QVariant());
    if (!stored.isValid()) {
        setValue(QLatin1String(GroupRuntime), key, 1);
        return 1;
    }
    return stored.toInt();
}

int readSendFileQuarantineSec()
{
    const QString key = QStringLiteral("SENDFILE_QUARANTINE_SEC");
    const QVariant stored = value(QLatin1String(GroupRemoteSettings), key, QVariant());
    if (!stored.isValid()) {
        setValue(QLatin1String(GroupRemoteSettings), key, 30);
        return 30;
    }
    bool bOk = false;
    const int seconds = stored.toInt(&bOk);
    return bOk ? seconds : 1;
}

} // namespace GuiIni

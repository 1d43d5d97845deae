#include "MainWindowCommands.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cmath>
#include <limits>

namespace {

const char* const s_szToolsGroup = "QXTools";
const char* const s_szGridRoot = "c:/qeldata/grids";
const char* const s_szMapConfigurator = "../TerrainEditor/Tavrin.Dremm.TerrainEditorApp.exe";
// A map tile service on this machine, for the map configurator.
const char* const s_szMapServerUrl = "http://localhost:8080/";
// More entries than any menu can show: a larger count is a damaged file, not a list of tools.
constexpr int MaxToolItems = 256;

bool isWindowsDrivePath(const QString& strPath)
{
    return strPath.size() >= 3 && strPath.at(0).isLetter() && strPath.at(1) == QLatin1Char(':')
        && (strPath.at(2) == QLatin1Char('/') || strPath.at(2) == QLatin1Char('\\'));
}

QString truncatedCoordinate(double dValue)
{
    if (!std::isfinite(dValue))
        return QStringLiteral("0");
    constexpr double dLimit = static_cast<double>(std::numeric_limits<qint64>::max());
    if (std::fabs(dValue) >= dLimit)
        return QString::number(dValue < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max());
    return QString::number(static_cast<qint64>(dValue));
}

} // namespace

int toolItemCount(const QString& strIniPath)
{
    QSettings oFile(platform::toNativePath(strIniPath), QSettings::IniFormat);
    oFile.beginGroup(QLatin1String(s_szToolsGroup));
    const int nCount = oFile.value(QStringLiteral("NumItems"), 0).toInt();
    return qBound(0, nCount, MaxToolItems);
}

QList<ToolItem> readToolItems(const QString& strIniPath, bool bWithStatusTip)
{
    QList<ToolItem> lstItems;
    const int nCount = toolItemCount(strIniPath);
    QSettings oFile(platform::toNativePath(strIniPath), QSettings::IniFormat);
    oFile.beginGroup(QLatin1String(s_szToolsGroup));
    const int nCommandField = bWithStatusTip ? 2 : 1;
    for (int i = 1; i <= nCount; ++i) {
        const QStringList lstFields = oFile.value(QStringLiteral("Item%1").arg(i)).toStringList();
        if (lstFields.size() <= nCommandField)
            continue;
        ToolItem oItem;
        oItem.nItem = i;
        oItem.strText = lstFields.at(0);
        if (bWithStatusTip)
            oItem.strStatusTip = lstFields.at(1);
        oItem.strCommand = lstFields.at(nCommandField);
        lstItems.append(oItem);
    }
    return lstItems;
}

QString expandToolCommand(const QString& strCommand)
{
    if (!strCommand.contains(QLatin1Char('%')))
        return strCommand;
    const int nEnd = strCommand.indexOf(QLatin1Char('%'), 1);
    if (nEnd < 1)
        return strCommand;
    const QString strName = strCommand.mid(1, nEnd - 1);
    const QString strValue = QString::fromLatin1(qgetenv(strName.toLatin1().constData()));
    const int nSlash = strCommand.indexOf(QLatin1Char('/'));
    const QString strRest = nSlash >= 0 ? strCommand.mid(nSlash) : strCommand;
    QString strJoined = strValue + QLatin1Char('/') + strRest;
    // A drive path is absolute as it stands; only a path of this machine is completed.
    if (isWindowsDrivePath(strJoined)) {
        strJoined.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return QDir::cleanPath(strJoined);
    }
    return QDir(strJoined).absolutePath();
}

ToolLaunch toolLaunch(const QString& strCommand)
{
    ToolLaunch oLaunch;
    oLaunch.strProgram = strCommand;
    const int nSlash = strCommand.lastIndexOf(QLatin1Char('/'));
    if (nSlash >= 0) {
        oLaunch.strName = strCommand.mid(nSlash + 1);
        oLaunch.strFolder = strCommand.left(nSlash);
    } else {
        oLaunch.strName = strCommand;
        oLaunch.strFolder = QDir::currentPath();
    }
    oLaunch.lstArguments << QStringLiteral(" ");
    return oLaunch;
}

QString mapConfiguratorProgram()
{
    return QLatin1String(s_szMapConfigurator);
}

QStringList mapConfiguratorArguments(const QString& strSource, const QString& strEpsg, double dCenterX,
                                     double dCenterY)
{
    return {QStringLiteral("--mapSource"), strSource,
            QStringLiteral("--epsg"), strEpsg.trimmed(),
            QStringLiteral("--center-x"), truncatedCoordinate(dCenterX),
            QStringLiteral("--center-y"), truncatedCoordinate(dCenterY),
            QStringLiteral("--size"), QStringLiteral("2097152"),
            QStringLiteral("--save-dir"), QStringLiteral("C:\\temp"),
            QStringLiteral("--levels"), QStringLiteral("13"),
            QStringLiteral("--url"), QLatin1String(s_szMapServerUrl)};
}

bool isPlainFolderName(const QString& strName)
{
    if (strName.isEmpty() || strName == QLatin1String(".") || strName == QLatin1String(".."))
        return false;
    for (const QChar c : strName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString remoteGridFolder(const QString& strVessel, const QString& strSurvey)
{
    if (!isPlainFolderName(strVessel) || !isPlainFolderName(strSurvey))
        return QString();
    return QStringLiteral("%1/%2/%3").arg(QLatin1String(s_szGridRoot), strVessel, strSurvey);
}

QString remoteSurveyInfoFile(const QString& strVessel, const QString& strSurvey)
{
    const QString strFolder = remoteGridFolder(strVessel, strSurvey);
    return strFolder.isNull() ? QString() : strFolder + QStringLiteral("/Terrain/surveyinfo.json");
}

QString pingModeLabel(int nType)
{
    switch (nType) {
    case 0:
        return QStringLiteral("EquiAng");
    case 1:
        return QStringLiteral("EquiDist");
    case 2:
        return QStringLiteral("HiDens");
    default:
        return QStringLiteral("Unk");
    }
}

QString helpFile(const QString& strConfigured, const QString& strProgramFolder)
{
    if (!strConfigured.isEmpty()) {
        const QString strFile = QDir().absoluteFilePath(platform::toNativePath(strConfigured));
        if (QFileInfo(strFile).isFile())
            return strFile;
    }
    const QString strInstalled = QDir(strProgramFolder).absoluteFilePath(QStringLiteral("help/default.htm"));
    return QFileInfo(strInstalled).isFile() ? strInstalled : QString();
}

#include "SurveyUtils/SurveyData.h"

#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QtDebug>

#include <atomic>

namespace {

const QString kCommon = QStringLiteral("Common");
const QString kDefaultRawDataRoot = QStringLiteral("C:/qeldata/raw/");
const QString kDefaultGridDataRoot = QStringLiteral("C:/qeldata/grids/");
const QString kRawFileNameStructure = QStringLiteral("CNT _ YEAR MONTH DAY _ HOUR MIN SEC");

std::atomic<bool> g_bFirstLoadDone{false};

QString surveyInfoPath()
{
    return platform::toNativePath(programDataPath() + QStringLiteral("/SurveyInfo.ini"));
}

// The survey name of a "name:line" entry.
QString entryName(const QString& strEntry)
{
    return strEntry.section(QLatin1Char(':'), 0, 0);
}

// A name that, used as a path part, stays inside the folder it is put in.
bool staysInside(const QString& strName, bool bSeparatorsAllowed)
{
    if (strName.isEmpty())
        return false;
    if (!bSeparatorsAllowed && (strName.contains(QLatin1Char('/')) || strName.contains(QLatin1Char('\\'))))
        return false;
    const QStringList lstParts = QString(strName).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return !lstParts.contains(QStringLiteral(".."));
}

} // namespace

CSurveyData::CSurveyData()
    : m_oSettings(surveyInfoPath(), QSettings::IniFormat)
{
}

CSurveyData::~CSurveyData()
{
    m_oSettings.sync();
}

bool CSurveyData::load(const std::string& strSounderName)
{
    m_oSettings.sync();
    m_strSounderName = strSounderName;
    const QString strSounder = QString::fromStdString(strSounderName);

    m_oSettings.beginGroup(kCommon);
    m_strRawDataRoot = m_oSettings.value(QStringLiteral("RawDataRoot"), kDefaultRawDataRoot).toString();
    m_nNumGridCells = m_oSettings.value(QStringLiteral("NumGridCells"), 512).toInt();
    m_oSettings.endGroup();

    m_oSettings.beginGroup(strSounder);
    m_strCurrentSurvey = m_oSettings.value(QStringLiteral("CurrentSurvey"), QStringLiteral("Fallback_") + strSounder).toString();
    m_strProjection = m_oSettings.value(QStringLiteral("Projection"), QStringLiteral("Mercator")).toString();
    m_nGridSize = m_oSettings.value(QStringLiteral("GridSize"), 0).toInt();
    m_strComment = m_oSettings.value(QStringLiteral("Comment")).toString();
    QStringList lstPrevious = m_oSettings.value(QStringLiteral("PreviousSurveys")).toStringList();

    lstPrevious.removeDuplicates();
    QMap<QString, int> mapLines;
    for (const QString& strEntry : qAsConst(lstPrevious)) {
        const QStringList lstParts = strEntry.split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (lstParts.isEmpty())
            continue;
        mapLines.insert(lstParts.at(0), lstParts.size() == 2 ? lstParts.at(1).toInt() : 0);
    }
    m_lstPreviousSurveys.clear();
    for (auto it = mapLines.constBegin(); it != mapLines.constEnd(); ++it)
        m_lstPreviousSurveys << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());

    m_nCurrentLine = m_oSettings.value(QStringLiteral("CurrLine"), 0).toInt();
    m_oSettings.endGroup();

    // The current survey's entry takes the current line; other surveys whose names merely
    // contain its name keep theirs.
    if (!strSounder.isEmpty() && !m_lstPreviousSurveys.isEmpty()) {
        for (QString& strEntry : m_lstPreviousSurveys) {
            if (entryName(strEntry) == m_strCurrentSurvey)
                strEntry = QStringLiteral("%1:%2").arg(entryName(strEntry)).arg(m_nCurrentLine);
        }
        m_lstPreviousSurveys.removeDuplicates();
    }

    if (m_nGridSize == 0) {
        struct CellSizeKey {
            const char* szPrefix;
            const char* szKey;
            int nDefault;
        };
        static const CellSizeKey kCellSizes[] = {
            {"Ulma 2200", "CellSize2200", 100},
            {"Ulma 770", "CellSize770", 500},
            {"Ulma 330", "CellSize330", 1000},
            {"Ulma 110", "CellSize110", 5000},
        };
        m_nGridSize = 100;
        for (const CellSizeKey& oKey : kCellSizes) {
            if (strSounder.startsWith(QLatin1String(oKey.szPrefix))) {
                m_nGridSize = m_oSettings.value(kCommon + QLatin1Char('/') + QLatin1String(oKey.szKey), oKey.nDefault).toInt();
                break;
            }
        }
    }

    m_bLoaded = true;
    if (!g_bFirstLoadDone.exchange(true))
        save();
    return true;
}

bool CSurveyData::save()
{
    if (!m_bLoaded) {
        qWarning("CSurveyData::save - WARNING nothing loaded, nothing written");
        return false;
    }
    m_oSettings.beginGroup(kCommon);
    m_oSettings.setValue(QStringLiteral("RawDataRoot"), m_strRawDataRoot);
    const bool bAppendName = m_oSettings.value(QStringLiteral("AppendName"), false).toBool();
    m_oSettings.setValue(QStringLiteral("RawFileNameStructure"),
                         bAppendName ? kRawFileNameStructure + QStringLiteral(" _ SHIP") : kRawFileNameStructure);
    m_oSettings.endGroup();

    QStringList lstNames;
    for (const QString& strEntry : qAsConst(m_lstPreviousSurveys))
        lstNames << entryName(strEntry);
    if (!lstNames.contains(m_strCurrentSurvey))
        m_lstPreviousSurveys << m_strCurrentSurvey;
    m_lstPreviousSurveys.removeDuplicates();

    const QString strGridDataRoot = m_oSettings.value(kCommon + QStringLiteral("/GridDataRoot"), kDefaultGridDataRoot).toString();

    m_oSettings.beginGroup(QString::fromStdString(m_strSounderName));
    m_oSettings.setValue(QStringLiteral("CurrentSurvey"), m_strCurrentSurvey);
    m_oSettings.setValue(QStringLiteral("Projection"), m_strProjection);
    m_oSettings.setValue(QStringLiteral("GridSize"), m_nGridSize);
    m_oSettings.setValue(QStringLiteral("Comment"), m_strComment);
    if (!m_lstPreviousSurveys.isEmpty())
        m_oSettings.setValue(QStringLiteral("PreviousSurveys"), m_lstPreviousSurveys);
    m_oSettings.setValue(QStringLiteral("RawPath"), m_strCurrentSurvey);
    m_oSettings.setValue(QStringLiteral("GridPath"), strGridDataRoot + m_strCurrentSurvey);
    m_oSettings.setValue(QStringLiteral("CurrLine"), m_nCurrentLine);
    m_oSettings.endGroup();
    m_oSettings.sync();
    return true;
}

std::string CSurveyData::getGridDataRoot()
{
    return m_oSettings.value(kCommon + QStringLiteral("/GridDataRoot"), kDefaultGridDataRoot).toString().toStdString();
}

std::string CSurveyData::getRawDataRoot()
{
    m_strRawDataRoot = m_oSettings.value(kCommon + QStringLiteral("/RawDataRoot"), kDefaultRawDataRoot).toString();
    return m_strRawDataRoot.toStdString();
}

std::string CSurveyData::prepareGridFolder()
{
    static const QString strTemplateFolder = programDataPath() + QStringLiteral("/proj4/");
    const QString strSource = QStringLiteral("%1/%2.projsetup").arg(strTemplateFolder, m_strProjection);
    const QString strGridRoot = m_oSettings.value(kCommon + QStringLiteral("/GridDataRoot"), kDefaultGridDataRoot).toString();
    const QString strGridFolder = strGridRoot + QLatin1Char('/') + m_strCurrentSurvey;
    const QString strTarget = strGridFolder + QStringLiteral("/qel_projv6.txt");

    if (!staysInside(m_strCurrentSurvey, true) || !staysInside(m_strProjection, false)) {
        qWarning().noquote() << QStringLiteral("CSurveyData::prepareGridFolder - WARNING survey \"%1\" or projection \"%2\" "
                                               "is not a plain name; no grid folder prepared")
                                    .arg(m_strCurrentSurvey, m_strProjection);
        return strTarget.toStdString();
    }

    const QString strNativeFolder = platform::toNativePath(strGridFolder);
    if (!QDir(strNativeFolder).exists())
        QDir().mkpath(strNativeFolder);
    const QString strNativeTarget = platform::toNativePath(strTarget);
    const QString strNativeSource = platform::toNativePath(strSource);
    if (!QFile::exists(strNativeTarget) && QFile::exists(strNativeSource))
        QFile::copy(strNativeSource, strNativeTarget);
    return strTarget.toStdString();
}

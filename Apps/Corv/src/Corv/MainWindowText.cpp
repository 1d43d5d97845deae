#include "MainWindowText.h"

namespace {

const char* const s_szQaTimeFormat = "yyyyMMdd - hh:mm:ss:zzz";

} // namespace

QString qaLogEntry(const QString& strMsg, const QDateTime& dtNow, const QDateTime& dtLast, bool bNewSession)
{
    const QString strNow = dtNow.toString(QLatin1String(s_szQaTimeFormat));
    QString strLine = QStringLiteral("%1 - %2").arg(strNow, strMsg);
    strLine.remove(QLatin1Char('\n'));
    if (bNewSession) {
        const QString strDashes = QString(40, QLatin1Char('-')) + QLatin1Char('\n');
        return QStringLiteral("\n\n%1%2%3\n%1\n\n%4").arg(strDashes, QStringLiteral("QELQA New Session\n"), strNow, strLine);
    }
    if (strNow != dtLast.toString(QLatin1String(s_szQaTimeFormat)))
        strLine += QLatin1Char('\n');
    return strLine;
}

bool scaleFromText(const QString& strText, int& nScale)
{
    if (strText.isEmpty())
        return false;
    const QString strNumber = strText.contains(QLatin1Char(':')) ? strText.section(QLatin1Char(':'), 1, 1) : strText;
    bool bOk = false;
    const int nValue = strNumber.toInt(&bOk, 10);
    // The controller reads -1 and 1 as zoom steps and 0 as nothing: no scale is 1:1 or less.
    if (!bOk || nValue <= 1)
        return false;
    nScale = nValue;
    return true;
}

bool CRuntimeEventLines::forOutput(int nCode, const QString& strParams)
{
    if (strParams.trimmed().isEmpty())
        return false;
    auto it = m_lastByCode.find(nCode);
    if (it != m_lastByCode.end() && *it == strParams)
        return false;
    m_lastByCode.insert(nCode, strParams);
    return true;
}

QString sounderWindowTitle(int nModel)
{
    return QStringLiteral("Corvane for Ulma %1").arg(nModel);
}

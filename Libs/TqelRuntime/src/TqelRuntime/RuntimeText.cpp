#include "TqelRuntime/RuntimeText.h"

#include <QDir>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace runtime_text {

bool talkerHas(const QByteArray& baDatagram, const char* szWord, int nFrom)
{
    if (baDatagram.isEmpty() || baDatagram.at(0) != '$')
        return false;
    int nEnd = 0;
    while (nEnd < baDatagram.size()) {
        const char c = baDatagram.at(nEnd);
        if (c == ',' || c == '\0' || c == '\r' || c == '\n' || c == '*')
            break;
        ++nEnd;
    }
    return baDatagram.left(nEnd).indexOf(szWord, nFrom) >= nFrom;
}

int toInt(const std::string& strText)
{
    const char* szStart = strText.c_str();
    char* szEnd = nullptr;
    errno = 0;
    const long nValue = std::strtol(szStart, &szEnd, 10);
    if (szEnd == szStart)
        throw std::invalid_argument("invalid stoi argument");
    if (errno == ERANGE || nValue < INT_MIN || nValue > INT_MAX)
        throw std::out_of_range("stoi argument out of range");
    return static_cast<int>(nValue);
}

float toFloat(const std::string& strText)
{
    const char* szStart = strText.c_str();
    char* szEnd = nullptr;
    errno = 0;
    const float fValue = std::strtof(szStart, &szEnd);
    if (szEnd == szStart)
        throw std::invalid_argument("invalid stof argument");
    if (errno == ERANGE || !std::isfinite(fValue))
        throw std::out_of_range("stof argument out of range");
    return fValue;
}

QString peerPath(const QString& strPath)
{
    QString strClean = strPath.trimmed();
    strClean.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (strClean.isEmpty())
        return QString();
    for (const QString& strPart : strClean.split(QLatin1Char('/')))
        if (strPart == QLatin1String(".."))
            return QString();
    return strClean;
}

bool isBelowRoot(const QString& strPath, const QStringList& lstRoots)
{
    const QString strClean = peerPath(strPath);
    if (strClean.isEmpty())
        return false;
    const QString strLower = QDir::cleanPath(strClean).toLower();
    for (const QString& strRoot : lstRoots) {
        QString strBase = QDir::cleanPath(QString(strRoot).replace(QLatin1Char('\\'), QLatin1Char('/'))).toLower();
        if (strBase.isEmpty())
            continue;
        if (!strBase.endsWith(QLatin1Char('/')))
            strBase += QLatin1Char('/');
        if (strLower.startsWith(strBase) && strLower.size() > strBase.size())
            return true;
    }
    return false;
}

bool isPlainName(const QString& strName)
{
    return !strName.isEmpty() && strName != QLatin1String(".") && strName != QLatin1String("..")
           && !strName.contains(QLatin1Char('/')) && !strName.contains(QLatin1Char('\\'))
           && !strName.contains(QLatin1Char(':'));
}

} // namespace runtime_text

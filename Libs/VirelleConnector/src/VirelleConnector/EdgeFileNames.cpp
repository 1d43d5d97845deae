#include "VirelleConnector/EdgeFileNames.h"

namespace {
const QString s_strPlaceholder = QStringLiteral("SOUNDER_NAME");
}

QHash<int, QString> edgeFileNameTable()
{
    static const std::pair<int, const char*> s_aPatterns[] = {
        {1, "edgeNumDispDdsEx_%1.dat"}, {2, "edgeNumDispHddsEx_%1.dat"}, {3, "edgeMainApp_%1.dat"},
        {4, "edgeMainApp31_%1.dat"},    {5, "edgeMainConfig_%1.dat"},    {6, "edgeULMART_%1.dat"},
        {7, "edgeULMAPos_%1.dat"},      {8, "edgeTQELWEBv_%1.dat"},      {9, "edgeSidescan_%1.dat"},
        {10, "edgeWcol_%1.dat"},        {11, "edgePingDisp_%1.dat"},     {12, "edgeUlmaExec_%1.dat"},
        {13, "edgeDepthTail_%1.dat"},   {21, "edgeCopyParams_%1.dat"},   {22, "edgeLandTelnet_%1.dat"},
        {23, "edgePUBroadcast_%1.dat"}, {24, "edgePUStatus_%1.dat"},     {25, "edgePUFullXml_%1.xml"},
        {26, "edgePUUpdateXml_%1.xml"}, {27, "edgePUBIST_%1.xml"},       {28, "edgeBoatTelnet_%1.xml"},
    };
    QHash<int, QString> hashTable;
    hashTable.insert(0, QStringLiteral("UNKNOWN.txt"));
    for (const auto& oEntry : s_aPatterns)
        hashTable.insert(oEntry.first, QString::fromLatin1(oEntry.second).arg(s_strPlaceholder));
    return hashTable;
}

int edgeFileIdFromName(const QString& name, QString& sounderName)
{
    if (name.contains(QLatin1String(".asciiplan")))
        return 17;
    const int nUnderscore = name.indexOf(QLatin1Char('_'));
    if (nUnderscore < 0) {
        if (name.contains(QLatin1String(".tiff")))
            return 14;
        if (name.contains(QLatin1String(".7z")))
            return 19;
        return 0;
    }
    const QHash<int, QString> hashTable = edgeFileNameTable();
    const auto lookUp = [&](int nDot) {
        const QString strSounder =
            nDot < 0 ? name.mid(nUnderscore + 1) : name.mid(nUnderscore + 1, nDot - nUnderscore - 1);
        sounderName = strSounder;
        // An empty sounder name would put the placeholder between every character.
        if (strSounder.isEmpty())
            return 0;
        QString strPattern = name;
        strPattern.replace(strSounder, s_strPlaceholder);
        for (auto it = hashTable.cbegin(); it != hashTable.cend(); ++it)
            if (it.value() == strPattern)
                return it.key();
        return 0;
    };
    const int nFirstDot = name.indexOf(QLatin1Char('.'), nUnderscore + 1);
    const int nId = lookUp(nFirstDot);
    if (nId != 0 || nFirstDot < 0)
        return nId;
    // A sounder name may hold "." itself: the name then ends at the last ".".
    const int nLastDot = name.lastIndexOf(QLatin1Char('.'));
    if (nLastDot == nFirstDot)
        return 0;
    const int nLastId = lookUp(nLastDot);
    if (nLastId == 0)
        lookUp(nFirstDot);
    return nLastId;
}

QString edgeFileNameFromId(int id, const QString& sounderName)
{
    if (sounderName.isEmpty())
        return QString();
    QString strName = edgeFileNameTable().value(id);
    strName.replace(s_strPlaceholder, sounderName);
    return strName;
}

// The raw files of the companion stand-ins: text, one sounding a line, "latitude,longitude,height".
#pragma once

#include <QFile>
#include <QString>

#include <vector>

namespace qxall {

struct Sounding {
    double latitude = 0;
    double longitude = 0;
    double height = 0;
};

// False when the file cannot be read; lines that are not three numbers are passed over.
inline bool readSoundings(const QString& strPath, std::vector<Sounding>& vOut)
{
    QFile oFile(strPath);
    if (!oFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!oFile.atEnd()) {
        const QList<QByteArray> lstFields = oFile.readLine().trimmed().split(',');
        if (lstFields.size() < 3)
            continue;
        bool bLatitude = false;
        bool bLongitude = false;
        bool bHeight = false;
        Sounding oSounding{lstFields[0].toDouble(&bLatitude), lstFields[1].toDouble(&bLongitude),
                           lstFields[2].toDouble(&bHeight)};
        if (bLatitude && bLongitude && bHeight)
            vOut.push_back(oSounding);
    }
    return true;
}

} // namespace qxall

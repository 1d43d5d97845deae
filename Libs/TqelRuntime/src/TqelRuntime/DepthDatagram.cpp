#include "TqelRuntime/DepthDatagram.h"

#include <cmath>
#include <cstring>

namespace {

const char s_szProjectedStart[] = "$TVQEL,30,";
constexpr int HeaderFields = 5;
// The text fields of the projected form never run longer than this.
constexpr int MaxHeaderBytes = 512;

qint32 int32At(const char* pBytes)
{
    quint32 nValue = 0;
    for (int n = 3; n >= 0; --n)
        nValue = (nValue << 8) | static_cast<unsigned char>(pBytes[n]);
    return static_cast<qint32>(nValue);
}

double doubleAt(const char* pBytes)
{
    quint64 nBits = 0;
    for (int n = 7; n >= 0; --n)
        nBits = (nBits << 8) | static_cast<unsigned char>(pBytes[n]);
    double dValue = 0;
    std::memcpy(&dValue, &nBits, sizeof dValue);
    return dValue;
}

// A decimal field as the C library reads it, held within 64 bits.
qint64 decimal(const QByteArray& baField)
{
    bool bOk = false;
    const qint64 nValue = baField.trimmed().toLongLong(&bOk, 10);
    if (bOk)
        return nValue;
    int n = 0;
    while (n < baField.size() && (baField.at(n) == ' ' || baField.at(n) == '\t'))
        ++n;
    const bool bNegative = n < baField.size() && baField.at(n) == '-';
    if (n < baField.size() && (baField.at(n) == '-' || baField.at(n) == '+'))
        ++n;
    qint64 nDigits = 0;
    for (; n < baField.size() && baField.at(n) >= '0' && baField.at(n) <= '9'; ++n)
        nDigits = nDigits > (Q_INT64_C(1) << 40) ? nDigits : nDigits * 10 + (baField.at(n) - '0');
    return bNegative ? -nDigits : nDigits;
}

} // namespace

namespace depth_datagram {

bool isProjectedForm(const QByteArray& baDatagram)
{
    return baDatagram.contains("$TVQEL");
}

Status readProjected(const QByteArray& baDatagram, std::vector<double>& adPoints, QString& strTailName, int& nRecords)
{
    nRecords = 0;
    if (!baDatagram.startsWith(s_szProjectedStart))
        return Status::Ignored;
    // Five fields; empty ones are skipped, and the records start after the comma ending the fifth.
    QByteArray abFields[HeaderFields];
    int nFields = 0;
    int nPos = static_cast<int>(sizeof s_szProjectedStart) - 1;
    const int nScanEnd = qMin(baDatagram.size(), nPos + MaxHeaderBytes);
    int nStart = nPos;
    for (; nPos < nScanEnd && nFields < HeaderFields; ++nPos) {
        if (baDatagram.at(nPos) != ',')
            continue;
        if (nPos > nStart)
            abFields[nFields++] = baDatagram.mid(nStart, nPos - nStart);
        nStart = nPos + 1;
    }
    if (nFields < HeaderFields)
        return Status::Ignored;
    const qint64 nA = decimal(abFields[1]);
    const qint64 nB = decimal(abFields[2]);
    const qint64 nCount = decimal(abFields[4]);
    if (nB <= 0 || nCount < 1 || nCount > WarnRecords)
        return Status::Ignored;
    if (nCount > MaxRecords)
        return Status::CountWarning;
    nRecords = static_cast<int>(nCount);
    const int nRecordStart = nPos;
    if (baDatagram.size() - nRecordStart < nRecords * ProjectedRecordBytes)
        return Status::Short;
    // A and B come from the network: a sum beyond 64 bits names no tail.
    qint64 nTail = 0;
    if (__builtin_add_overflow(nA, nB, &nTail)) {
        nRecords = 0;
        return Status::Ignored;
    }
    strTailName = QString::fromLatin1(abFields[0]) + QLatin1Char(':') + QString::number(nTail);
    adPoints.reserve(adPoints.size() + 3 * static_cast<std::size_t>(nRecords));
    const char* pRecord = baDatagram.constData() + nRecordStart;
    for (int i = 0; i < nRecords; ++i, pRecord += ProjectedRecordBytes) {
        adPoints.push_back(int32At(pRecord) / 100.0);
        adPoints.push_back(int32At(pRecord + 4) / 100.0);
        adPoints.push_back(-(int32At(pRecord + 8) / 100.0));
    }
    return Status::Used;
}

Status readPosition(const QByteArray& baDatagram, quint16& nSequence, int& nRecords, std::vector<double>& adLatitudes,
                    std::vector<double>& adLongitudes, std::vector<double>& adDepths)
{
    nSequence = 0;
    nRecords = 0;
    if (baDatagram.size() < 28)
        return Status::Short;
    const auto* pBytes = reinterpret_cast<const unsigned char*>(baDatagram.constData());
    nSequence = static_cast<quint16>(pBytes[24] | (pBytes[25] << 8));
    nRecords = pBytes[26] | (pBytes[27] << 8);
    if (nRecords < 1 || nRecords > MaxRecords)
        return Status::BadCount;
    if (baDatagram.size() < PositionHeaderBytes + nRecords * PositionRecordBytes)
        return Status::Short;
    const char* pRecord = baDatagram.constData() + PositionHeaderBytes;
    for (int i = 0; i < nRecords; ++i, pRecord += PositionRecordBytes) {
        adLatitudes.push_back(doubleAt(pRecord));
        adLongitudes.push_back(doubleAt(pRecord + 8));
        adDepths.push_back(int32At(pRecord + 16) / 100.0);
    }
    return Status::Used;
}

double roundCentimetres(double dValue)
{
    const double dFloor = std::floor(dValue);
    return dValue - dFloor >= 0.5 ? dFloor + 1 : dFloor;
}

} // namespace depth_datagram

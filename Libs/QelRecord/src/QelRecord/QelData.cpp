#include "QelRecord/QelData.h"

#include <QDebug>
#include <QRegularExpression>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

// ---- writing ----------------------------------------------------------------------------------

void appendHead(QByteArray& baOut, unsigned nMajor, std::uint64_t nValue)
{
    const char cMajor = static_cast<char>(nMajor << 5);
    if (nValue < 24) {
        baOut.append(static_cast<char>(cMajor | static_cast<char>(nValue)));
        return;
    }
    int nBytes = 8;
    char cInfo = 27;
    if (nValue <= 0xFF) {
        nBytes = 1;
        cInfo = 24;
    } else if (nValue <= 0xFFFF) {
        nBytes = 2;
        cInfo = 25;
    } else if (nValue <= 0xFFFFFFFFu) {
        nBytes = 4;
        cInfo = 26;
    }
    baOut.append(static_cast<char>(cMajor | cInfo));
    for (int n = nBytes - 1; n >= 0; --n)
        baOut.append(static_cast<char>((nValue >> (8 * n)) & 0xFF));
}

void appendText(QByteArray& baOut, const char* pText, int nSize)
{
    appendHead(baOut, 3, static_cast<std::uint64_t>(nSize));
    baOut.append(pText, nSize);
}

void appendText(QByteArray& baOut, const QByteArray& baUtf8)
{
    appendText(baOut, baUtf8.constData(), baUtf8.size());
}

// ---- reading ----------------------------------------------------------------------------------

class CborError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr int s_nMaxDepth = 64;

// A reader over untrusted bytes: every length is checked against what is left before use.
class CborReader {
public:
    CborReader(const char* pData, std::size_t nSize) : m_p(reinterpret_cast<const unsigned char*>(pData)), m_nLeft(nSize) {}

    struct Head {
        unsigned nMajor;
        unsigned nInfo;
        std::uint64_t nValue; // argument; meaningless when nInfo == 31 (indefinite)
    };

    Head head()
    {
        const unsigned char c = take(1)[0];
        Head oHead{static_cast<unsigned>(c >> 5), static_cast<unsigned>(c & 0x1F), 0};
        if (oHead.nInfo < 24) {
            oHead.nValue = oHead.nInfo;
        } else if (oHead.nInfo <= 27) {
            const std::size_t nBytes = std::size_t(1) << (oHead.nInfo - 24);
            const unsigned char* p = take(nBytes);
            for (std::size_t n = 0; n < nBytes; ++n)
                oHead.nValue = (oHead.nValue << 8) | p[n];
        } else if (oHead.nInfo == 31) {
            if (oHead.nMajor == 0 || oHead.nMajor == 1 || oHead.nMajor == 6)
                throw CborError("indefinite length on an item that has none");
        } else {
            throw CborError("reserved additional information");
        }
        return oHead;
    }

    bool atBreak() const { return m_nLeft > 0 && *m_p == 0xFF; }
    void takeBreak() { take(1); }

    // A text or byte string (definite or chunked) of the head's major type. A definite string
    // is not copied: the result refers to the input, which must outlive it.
    QByteArray string(const Head& oHead)
    {
        if (oHead.nInfo != 31) {
            const std::size_t n = checkedSize(oHead.nValue);
            if (n > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2))
                throw CborError("string too long");
            return QByteArray::fromRawData(reinterpret_cast<const char*>(take(n)), static_cast<int>(n));
        }
        QByteArray baOut;
        while (!atBreak()) {
            const Head oChunk = head();
            if (oChunk.nMajor != oHead.nMajor || oChunk.nInfo == 31)
                throw CborError("bad chunk in an indefinite string");
            baOut.append(bytes(oChunk.nValue));
        }
        takeBreak();
        return baOut;
    }

    // Skips the item whose head has been read.
    void skip(const Head& oHead, int nDepth)
    {
        if (nDepth > s_nMaxDepth)
            throw CborError("nesting too deep");
        switch (oHead.nMajor) {
        case 0:
        case 1:
        case 7:
            if (oHead.nMajor == 7 && oHead.nInfo == 31)
                throw CborError("unexpected break");
            return;
        case 2:
        case 3:
            if (oHead.nInfo == 31)
                string(oHead);
            else
                take(checkedSize(oHead.nValue));
            return;
        case 4:
        case 5: {
            const std::uint64_t nPer = oHead.nMajor == 5 ? 2 : 1;
            if (oHead.nInfo == 31) {
                while (!atBreak())
                    for (std::uint64_t n = 0; n < nPer; ++n)
                        skip(head(), nDepth + 1);
                takeBreak();
                return;
            }
            // Each item takes at least one byte: a count beyond what is left cannot be whole.
            if (oHead.nValue > m_nLeft)
                throw CborError("count beyond the end of the input");
            for (std::uint64_t n = 0; n < oHead.nValue * nPer; ++n)
                skip(head(), nDepth + 1);
            return;
        }
        case 6:
            skip(head(), nDepth + 1);
            return;
        default:
            throw CborError("bad major type");
        }
    }

private:
    std::size_t checkedSize(std::uint64_t nSize) const
    {
        if (nSize > m_nLeft)
            throw CborError("length beyond the end of the input");
        return static_cast<std::size_t>(nSize);
    }

    QByteArray bytes(std::uint64_t nSize)
    {
        const std::size_t n = checkedSize(nSize);
        if (n > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2))
            throw CborError("string too long");
        return QByteArray(reinterpret_cast<const char*>(take(n)), static_cast<int>(n));
    }

    const unsigned char* take(std::size_t n)
    {
        if (n > m_nLeft)
            throw CborError("unexpected end of input");
        const unsigned char* p = m_p;
        m_p += n;
        m_nLeft -= n;
        return p;
    }

    const unsigned char* m_p;
    std::size_t m_nLeft;
};

// Splits at the last "/" or "\": the name after it and the folder before it with "/" separators.
void splitName(const QString& strName, QString& strFile, QString& strFolder)
{
    const int nSlash = std::max(strName.lastIndexOf(QLatin1Char('/')), strName.lastIndexOf(QLatin1Char('\\')));
    if (nSlash < 0) {
        strFile = strName;
        strFolder = QStringLiteral(".");
        return;
    }
    strFile = strName.mid(nSlash + 1);
    strFolder = strName.left(nSlash);
    strFolder.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

} // namespace

QByteArray CQelData::serialize() const
{
    const QByteArray baBase64 = Data.toBase64();
    const QByteArray baType = MessageType.toUtf8();
    const QByteArray baMeta = MetaData.toUtf8();
    const QByteArray baSource = SourcePath.toUtf8();
    const QByteArray baVessel = VesselID.toUtf8();
    QByteArray baOut;
    baOut.reserve(baBase64.size() + baType.size() + baMeta.size() + baSource.size() + baVessel.size() + 80);
    // Keys in ascending order of their texts, as a map converted from a JSON object has them.
    appendHead(baOut, 5, 5);
    appendText(baOut, "Data", 4);
    appendText(baOut, baBase64);
    appendText(baOut, "MessageType", 11);
    appendText(baOut, baType);
    appendText(baOut, "MetaData", 8);
    appendText(baOut, baMeta);
    appendText(baOut, "SourcePath", 10);
    appendText(baOut, baSource);
    appendText(baOut, "VesselID", 8);
    appendText(baOut, baVessel);
    return baOut;
}

std::shared_ptr<CQelData> CQelData::deserialize(const QByteArray& baInput)
{
    return deserialize(baInput.constData(), static_cast<std::size_t>(baInput.size()));
}

std::shared_ptr<CQelData> CQelData::deserialize(const char* pData, std::size_t nSize)
{
    try {
        CborReader oReader(pData, nSize);
        auto poRecord = std::make_shared<CQelData>();
        const CborReader::Head oTop = oReader.head();
        if (oTop.nMajor != 5) {
            oReader.skip(oTop, 0);
            return poRecord;
        }
        bool abSeen[5] = {false, false, false, false, false};
        QByteArray baData;
        auto readPair = [&]() {
            const CborReader::Head oKey = oReader.head();
            int nField = -1;
            if (oKey.nMajor == 3) {
                const QByteArray baKey = oReader.string(oKey);
                static const char* const aszKeys[] = {"Data", "MessageType", "MetaData", "SourcePath", "VesselID"};
                for (int n = 0; n < 5; ++n)
                    if (baKey == aszKeys[n])
                        nField = n;
            } else {
                oReader.skip(oKey, 1);
            }
            const CborReader::Head oValue = oReader.head();
            // The first occurrence of a key counts; values that are not text read as empty.
            if (nField < 0 || abSeen[nField] || oValue.nMajor != 3) {
                oReader.skip(oValue, 1);
                if (nField >= 0)
                    abSeen[nField] = true;
                return;
            }
            abSeen[nField] = true;
            const QByteArray baValue = oReader.string(oValue);
            // A NUL would cut a name short where it is used: such a record is refused whole.
            if (nField != 0 && baValue.contains('\0'))
                throw CborError("a NUL character inside a text");
            switch (nField) {
            case 0:
                baData = baValue;
                break;
            case 1:
                poRecord->MessageType = QString::fromUtf8(baValue);
                break;
            case 2:
                poRecord->MetaData = QString::fromUtf8(baValue);
                break;
            case 3:
                poRecord->SourcePath = QString::fromUtf8(baValue);
                break;
            default:
                poRecord->VesselID = QString::fromUtf8(baValue);
                break;
            }
        };
        if (oTop.nInfo == 31) {
            while (!oReader.atBreak())
                readPair();
            oReader.takeBreak();
        } else {
            if (oTop.nValue > nSize)
                throw CborError("count beyond the end of the input");
            for (std::uint64_t n = 0; n < oTop.nValue; ++n)
                readPair();
        }
        // Text that is not base64 decodes as far as it goes.
        poRecord->Data = QByteArray::fromBase64(baData);
        return poRecord;
    } catch (const std::exception& oError) {
        qWarning().noquote() << "CQelData::deserialize(): Encountered exception: " + QString::fromUtf8(oError.what());
    } catch (...) {
        qWarning().noquote() << "CQelData::deserialize(): Encountered some sort of exception";
    }
    return nullptr;
}

QByteArray CQelData::packDefaultVessel(const QString& strPath, const QByteArray& baData)
{
    CQelData oRecord;
    oRecord.VesselID = QStringLiteral("default");
    splitName(strPath, oRecord.MessageType, oRecord.SourcePath);
    oRecord.Data = baData;
    return oRecord.serialize();
}

QByteArray CQelData::packForEdge(const QString& strName, const QString& strVessel, const QByteArray& baData)
{
    static const QRegularExpression s_oRooted(QStringLiteral("([a-zA-Z]:[\\\\/]|[\\\\/]{2})"));
    CQelData oRecord;
    oRecord.VesselID = strVessel;
    if (s_oRooted.match(strName).hasMatch())
        splitName(strName, oRecord.MessageType, oRecord.SourcePath);
    else
        oRecord.MessageType = strName;
    oRecord.Data = baData;
    return oRecord.serialize();
}

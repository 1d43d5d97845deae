// The file record: its exact bytes, the two packers, and reading good and damaged input.
#include "QelRecord/QelData.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

QByteArray hex(const char* szHex)
{
    return QByteArray::fromHex(szHex);
}

QByteArray golden()
{
    // a.txt in C:/x holding "abc", vessel "default".
    return hex("A5 64 44 61 74 61 64 59 57 4A 6A 6B 4D 65 73 73 61 67 65 54 79 70 65 65 61 2E 74 78 74 68 4D 65 74 61"
               " 44 61 74 61 60 6A 53 6F 75 72 63 65 50 61 74 68 64 43 3A 2F 78 68 56 65 73 73 65 6C 49 44 67 64 65 66"
               " 61 75 6C 74");
}

TEST(QelData, GoldenBytesAndBackAgain)
{
    const QByteArray baRecord = CQelData::packDefaultVessel(QStringLiteral("C:/x/a.txt"), "abc");
    EXPECT_EQ(baRecord.size(), 72);
    EXPECT_EQ(baRecord.toHex(), golden().toHex());
    // A backslash path packs the same.
    EXPECT_EQ(CQelData::packDefaultVessel(QStringLiteral("C:\\x\\a.txt"), "abc"), golden());

    const auto poRecord = CQelData::deserialize(golden());
    ASSERT_TRUE(poRecord);
    EXPECT_EQ(poRecord->MessageType, QStringLiteral("a.txt"));
    EXPECT_EQ(poRecord->SourcePath, QStringLiteral("C:/x"));
    EXPECT_EQ(poRecord->VesselID, QStringLiteral("default"));
    EXPECT_EQ(poRecord->MetaData, QString());
    EXPECT_EQ(poRecord->Data, QByteArray("abc"));
}

TEST(QelData, RoundTripKeepsEveryByteAndLongLengthForms)
{
    // Lengths around the one-, two- and four-byte length forms; all 256 byte values.
    for (const int nSize : {0, 17, 18, 190, 191, 49151, 49152, 3000000}) {
        CQelData oRecord;
        oRecord.MessageType = QString(nSize % 300, QLatin1Char('n'));
        oRecord.SourcePath = QStringLiteral("D:/Grids/Ä survey");
        oRecord.VesselID = QStringLiteral("v1");
        oRecord.Data.resize(nSize);
        for (int n = 0; n < nSize; ++n)
            oRecord.Data[n] = static_cast<char>(n * 7);
        const QByteArray baBytes = oRecord.serialize();
        ASSERT_EQ(static_cast<unsigned char>(baBytes[0]), 0xA5u);
        EXPECT_EQ(baBytes.mid(1, 5), QByteArray("\x64" "Data"));
        const auto poBack = CQelData::deserialize(baBytes);
        ASSERT_TRUE(poBack) << nSize;
        EXPECT_EQ(poBack->Data, oRecord.Data) << nSize;
        EXPECT_EQ(poBack->MessageType, oRecord.MessageType) << nSize;
        EXPECT_EQ(poBack->SourcePath, oRecord.SourcePath);
        if (nSize == 0) {
            EXPECT_EQ(baBytes.mid(6, 1), QByteArray("\x60"));
        }
    }
}

TEST(QelData, PackersSplitNames)
{
    struct Case {
        bool bEdge;
        const char* szName;
        const char* szType;
        const char* szSource;
    } const aCases[] = {
        {false, "GridIndex.properties", "GridIndex.properties", "."},
        {false, "/srv/s1/Terrain/zMedian/5/3/a.tiff", "a.tiff", "/srv/s1/Terrain/zMedian/5/3"},
        {false, "C:\\qeldata\\plans\\corv.asciiplan", "corv.asciiplan", "C:/qeldata/plans"},
        {true, "12_3_tile.tiff", "12_3_tile.tiff", ""},
        {true, "D:/grids/a.tiff", "a.tiff", "D:/grids"},
        {true, "d:\\grids\\a.tiff", "a.tiff", "d:/grids"},
        {true, "\\\\host\\share\\b.tiff", "b.tiff", "//host/share"},
        {true, "rel/dir/c.tiff", "rel/dir/c.tiff", ""},
    };
    for (const Case& oCase : aCases) {
        const QString strName = QString::fromUtf8(oCase.szName);
        const QByteArray baBytes = oCase.bEdge ? CQelData::packForEdge(strName, QStringLiteral("v9"), "x")
                                               : CQelData::packDefaultVessel(strName, "x");
        const auto poRecord = CQelData::deserialize(baBytes);
        ASSERT_TRUE(poRecord) << oCase.szName;
        EXPECT_EQ(poRecord->MessageType, QString::fromUtf8(oCase.szType)) << oCase.szName;
        EXPECT_EQ(poRecord->SourcePath, QString::fromUtf8(oCase.szSource)) << oCase.szName;
        EXPECT_EQ(poRecord->VesselID, oCase.bEdge ? QStringLiteral("v9") : QStringLiteral("default"));
    }
}

TEST(QelData, ReaderAcceptsOtherShapesOfAMap)
{
    // Keys reordered, "MetaData" missing, an unknown key with a nested value, an integer key.
    const QByteArray baReordered = hex("A5 68 56 65 73 73 65 6C 49 44 62 76 31"       // VesselID "v1"
                                       " 01 82 01 A1 61 6B 61 76"                      // 1: [1, {"k":"v"}]
                                       " 6B 4D 65 73 73 61 67 65 54 79 70 65 61 6E"    // MessageType "n"
                                       " 64 44 61 74 61 64 59 57 4A 6A"                // Data "YWJj"
                                       " 6A 53 6F 75 72 63 65 50 61 74 68 61 70");     // SourcePath "p"
    const auto poRecord = CQelData::deserialize(baReordered);
    ASSERT_TRUE(poRecord);
    EXPECT_EQ(poRecord->VesselID, QStringLiteral("v1"));
    EXPECT_EQ(poRecord->MessageType, QStringLiteral("n"));
    EXPECT_EQ(poRecord->SourcePath, QStringLiteral("p"));
    EXPECT_EQ(poRecord->Data, QByteArray("abc"));

    // Indefinite map and a chunked text string.
    const auto poChunked = CQelData::deserialize(hex("BF 64 44 61 74 61 7F 62 59 57 62 4A 6A FF FF"));
    ASSERT_TRUE(poChunked);
    EXPECT_EQ(poChunked->Data, QByteArray("abc"));

    // A value that is not text reads as empty; a well-formed item that is not a map gives an
    // empty record.
    const auto poNumber = CQelData::deserialize(hex("A1 6B 4D 65 73 73 61 67 65 54 79 70 65 18 2A"));
    ASSERT_TRUE(poNumber);
    EXPECT_TRUE(poNumber->MessageType.isEmpty());
    const auto poArray = CQelData::deserialize(hex("83 01 02 03"));
    ASSERT_TRUE(poArray);
    EXPECT_TRUE(poArray->MessageType.isEmpty() && poArray->Data.isEmpty());

    // Base64 with stray characters decodes as far as it goes.
    const auto poBad = CQelData::deserialize(hex("A1 64 44 61 74 61 66 59 57 2A 4A 6A 21"));
    ASSERT_TRUE(poBad);
    EXPECT_EQ(poBad->Data, QByteArray("abc"));
}

TEST(QelData, DamagedRecordsGiveNothing)
{
    const QByteArray baGolden = golden();
    struct Case {
        const char* szWhat;
        QByteArray baInput;
    } const aCases[] = {
        {"empty input", QByteArray()},
        {"cut in the middle of a value", baGolden.left(40)},
        {"cut in a length", hex("A1 64 44 61 74 61 7A 00 00")},
        {"text longer than the input", hex("A1 64 44 61 74 61 7B 7F FF FF FF FF FF FF FF 61")},
        {"map count beyond the input", hex("BB 00 00 00 01 00 00 00 00")},
        {"array count beyond the input", hex("A1 61 78 9B 7F FF FF FF FF FF FF FF")},
        {"nesting without end", QByteArray(100000, '\x81')},
        {"indefinite map without break", hex("BF 64 44 61 74 61 60")},
        {"chunk of the wrong type", hex("A1 64 44 61 74 61 7F 42 59 57 FF")},
        {"reserved information", hex("A1 64 44 61 74 61 7C")},
        {"stray break", hex("A1 FF 60")},
        {"NUL inside the name", hex("A1 6B 4D 65 73 73 61 67 65 54 79 70 65 63 61 00 62")},
        {"NUL inside the folder", hex("A1 6A 53 6F 75 72 63 65 50 61 74 68 62 00 2F")},
    };
    for (const Case& oCase : aCases)
        EXPECT_FALSE(CQelData::deserialize(oCase.baInput)) << oCase.szWhat;
}

} // namespace

// File-name ids: parsing names into ids and sounder names, and formatting them back.
#include "VirelleConnector/EdgeFileNames.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* name;
    int id;
    const char* sounder; // expected sounder name; nullptr when the parser leaves it alone
};

class EdgeFileIdFromName : public ::testing::TestWithParam<ParseCase> {};

TEST_P(EdgeFileIdFromName, GivesIdAndSounder)
{
    const ParseCase& c = GetParam();
    QString strSounder = QStringLiteral("untouched");
    EXPECT_EQ(edgeFileIdFromName(QString::fromUtf8(c.name), strSounder), c.id) << c.name;
    if (c.sounder)
        EXPECT_EQ(strSounder, QString::fromUtf8(c.sounder)) << c.name;
    else
        EXPECT_EQ(strSounder, QStringLiteral("untouched")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, EdgeFileIdFromName, ::testing::Values(
    ParseCase{"edgePUStatus_S1.dat", 24, "S1"},
    ParseCase{"edgeMainApp31_S1.dat", 4, "S1"},
    ParseCase{"edgeMainApp_S1.dat", 3, "S1"},
    ParseCase{"edgePUFullXml_S1.xml", 25, "S1"},
    ParseCase{"edgeUlmaExec_Ulma7", 0, "Ulma7"},        // no extension: whole rest is the sounder
    ParseCase{"line_01.asciiplan", 17, nullptr},
    ParseCase{"plan.asciiplan.bak", 17, nullptr},
    ParseCase{"tile_5.tiff", 0, "5"},
    ParseCase{"tile.tiff", 14, nullptr},
    ParseCase{"data.7z", 19, nullptr},
    ParseCase{"edgePingDisp_Ping.dat", 0, "Ping"},      // sounder name also in the fixed part
    ParseCase{"UNKNOWN.txt", 0, nullptr},
    ParseCase{"readme.dat", 0, nullptr},
    ParseCase{"edgePUStatus_.dat", 0, ""},              // empty sounder name
    ParseCase{"edgePUStatus_S.1.dat", 24, "S.1"},       // sounder name holding "."
    ParseCase{"edgePUStatus_S.1.txt", 0, "S"},
    ParseCase{"edgePUStatus_S1.DAT", 0, "S1"}));        // case-sensitive

struct FormatCase {
    int id;
    const char* sounder;
    const char* name;
};

class EdgeFileNameFromId : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EdgeFileNameFromId, FormatsName)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(edgeFileNameFromId(c.id, QString::fromUtf8(c.sounder)), QString::fromUtf8(c.name));
}

INSTANTIATE_TEST_SUITE_P(Table, EdgeFileNameFromId, ::testing::Values(
    FormatCase{24, "S1", "edgePUStatus_S1.dat"},
    FormatCase{12, "Ulma7", "edgeUlmaExec_Ulma7.dat"},
    FormatCase{28, "B", "edgeBoatTelnet_B.xml"},
    FormatCase{0, "S1", "UNKNOWN.txt"},
    FormatCase{14, "S1", ""},
    FormatCase{99, "S1", ""},
    FormatCase{24, "", ""},
    FormatCase{0, "", ""}));

TEST(EdgeFileNames, EveryTableIdRoundTrips)
{
    const QHash<int, QString> hashTable = edgeFileNameTable();
    EXPECT_EQ(hashTable.size(), 22);
    for (const QString& strSounder : {QStringLiteral("S1"), QStringLiteral("Ulma.2")}) {
        for (auto it = hashTable.cbegin(); it != hashTable.cend(); ++it) {
            if (it.key() == 0)
                continue;
            QString strParsed;
            EXPECT_EQ(edgeFileIdFromName(edgeFileNameFromId(it.key(), strSounder), strParsed), it.key())
                << it.value().toStdString() << " " << strSounder.toStdString();
            EXPECT_EQ(strParsed, strSounder);
        }
    }
}

} // namespace

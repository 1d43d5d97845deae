// The "$PQQEL" control datagram: frame, checksum, keyword look-up and fields.
#include "MapView/QaDatagram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string withChecksum(const std::string& strBody, bool bCorrect)
{
    unsigned char nSum = 0;
    for (std::size_t i = 1; i < strBody.size(); ++i)
        nSum ^= static_cast<unsigned char>(strBody[i]);
    char szHex[3];
    std::snprintf(szHex, sizeof szHex, "%02X", bCorrect ? nSum : static_cast<unsigned char>(nSum ^ 0x5A));
    return strBody + "*" + szHex + "\n\r";
}

TEST(QaDatagram, FrameAndCommandIds)
{
    struct Case {
        std::string text;
        bool valid;
        int id;
    };
    const Case aCases[] = {
        {"$PQQEL,CVN_CLOSE_GRID\n\r", true, 38},
        {"$PQQEL,CVN_ACT_LINE,7,\n\r", true, 41},
        {"$PQQEL,MAIN_APP_STARTED\n\r", true, 0},
        {"$PQQEL,CORR_WIDTH,3\n\r", true, 46},
        {"$PQQEL,cvn_close_grid\n\r", true, -1},  // case matters
        {"$PQQEL,CVN_CLOSE_GRID \n\r", true, -1}, // so does a trailing blank
        {"$PQQEL,,5\n\r", true, -1},              // empty keyword
        {"$PQQEL\n\r", true, -1},                 // no keyword at all
        {"$PQQEL,CVN_CLOSE_GRID\r\n", false, -1}, // CR LF instead of LF CR
        {"PQQEL,CVN_CLOSE_GRID\n\r", false, -1},  // no "$"
        {"$PQQEL,CVN_CLOSE_GRID", false, -1},     // no line end at all
        {"$TVQEL,CVN_CLOSE_GRID\n\r", false, -1}, // another talker
        {"$\r", false, -1},
        {"", false, -1},
    };
    for (const Case& oCase : aCases) {
        const CQaDatagram oDatagram(oCase.text.c_str());
        EXPECT_EQ(oDatagram.isValid(), oCase.valid) << oCase.text;
        EXPECT_EQ(oDatagram.getCommandId(), oCase.id) << oCase.text;
    }
    EXPECT_FALSE(CQaDatagram(nullptr).isValid());
}

TEST(QaDatagram, FieldsStopAtCommasAndTheDataEnd)
{
    const CQaDatagram oLine("$PQQEL,CVN_ACT_LINE,7,\n\r");
    std::string strField = "left over";
    EXPECT_TRUE(oLine.getField(0, strField)); // the talker is never a field
    EXPECT_TRUE(strField.empty());
    EXPECT_FALSE(oLine.getField(2, strField));
    EXPECT_EQ(strField, "7");
    EXPECT_TRUE(oLine.getField(3, strField)); // empty after the last comma
    EXPECT_TRUE(oLine.getField(4, strField)); // missing

    // Bytes after the first carriage return are not part of the datagram.
    const CQaDatagram oCut("$PQQEL,CVN_OPEN_GRID,C:/a\n\r,more,fields\n\r");
    EXPECT_TRUE(oCut.isValid());
    EXPECT_FALSE(oCut.getField(2, strField));
    EXPECT_EQ(strField, "C:/a");
    EXPECT_TRUE(oCut.getField(3, strField));
}

TEST(QaDatagram, ChecksumIsRecordedNotEnforced)
{
    for (const bool bCorrect : {true, false}) {
        const CQaDatagram oDatagram(withChecksum("$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/V/S", bCorrect).c_str());
        EXPECT_TRUE(oDatagram.isValid());
        EXPECT_TRUE(oDatagram.hasChecksum());
        EXPECT_EQ(oDatagram.checksumOk(), bCorrect);
        EXPECT_EQ(oDatagram.getCommandId(), 37);
        std::string strField;
        EXPECT_FALSE(oDatagram.getField(2, strField));
        EXPECT_EQ(strField, "C:/qeldata/grids/V/S"); // ends before the "*"
    }
    const CQaDatagram oPlain("$PQQEL,CVN_CLOSE_GRID\n\r");
    EXPECT_FALSE(oPlain.hasChecksum());
    EXPECT_FALSE(oPlain.checksumOk());
}

} // namespace

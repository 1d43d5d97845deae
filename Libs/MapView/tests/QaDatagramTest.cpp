// The "$PQQEL" control datagram: frame, checksum, keyword look-up and fields.
#include "MapView/QaDatagram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <utility>
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

TEST(QaDatagram, EveryKeywordOfTheTableHasItsId)
{
    const std::pair<int, const char*> aTable[] = {
        {0, "MAIN_APP_STARTED"}, {1, "NO_SURVEY_LOADED"}, {3, "QEL_REZAR_STARTED"}, {4, "GET_LAST_FIVE_SURVEYS"},
        {5, "LAST_SURVEYS"}, {6, "OPEN_SURVEY"}, {7, "SURVEY_OPENING"}, {8, "SURVEY_IS_OPEN"},
        {9, "SHARED_MEMORY_INFO"}, {10, "SHARED_MEMORY_ACK"}, {11, "UPDATE_SURVEY"}, {12, "SURVEY_UPDATING"},
        {13, "SURVEY_IS_UPDATED"}, {14, "CLOSE_SURVEY"}, {15, "SURVEY_IS_CLOSED"},
        {16, "ENTER_DISPLAYING_SURVEY_GRID"}, {17, "LEAVE_DISPLAYING_SURVEY_GRID"}, {18, "ENTER_POSPROC"},
        {19, "LEAVE_POSPROC"}, {20, "ENTER_DEPTHPROC"}, {21, "LEAVE_DEPTHPROC"}, {22, "REQUEST_DEPTH_SELECTION"},
        {23, "DEPTHPROC_RESULTS"}, {24, "DEFSURV_DEFINE_SURVEY"}, {25, "TOGGLE_LINE"}, {26, "DO_GLOBAL_SHUTDOWN"},
        {27, "PROGRESS_UPDATE"}, {28, "REQUEST_POINT_SELECTION"}, {29, "DEFSURV_CLOSE"}, {30, "TVGPL_TGM"},
        {32, "MAP_ROTATION"}, {33, "ENABLE_RT"}, {34, "POSITION_TRACK_SELECTION"}, {35, "SHOW_GRID"},
        {36, "SURVEY_RAW_FILES"}, {37, "CVN_OPEN_GRID"}, {38, "CVN_CLOSE_GRID"}, {39, "CVN_SHOW_PLAN"},
        {40, "CVN_HIDE_PLAN"}, {41, "CVN_ACT_LINE"}, {42, "CVN_DEACT_LINE"}, {43, "CVN_LOGSTATE"}, {45, "DYN_OBJ"},
        {46, "CORR_WIDTH"},
    };
    ASSERT_EQ(std::size(aTable), 44u);
    for (const auto& oEntry : aTable) {
        const std::string strText = std::string("$PQQEL,") + oEntry.second + ",x\n\r";
        EXPECT_EQ(CQaDatagram(strText.c_str()).getCommandId(), oEntry.first) << oEntry.second;
        EXPECT_STREQ(CQaDatagram::keyword(oEntry.first), oEntry.second);
    }
    for (const int nUnused : {-1, 2, 31, 44, 47})
        EXPECT_EQ(CQaDatagram::keyword(nUnused), nullptr) << nUnused;
    // The checksum's digits are read in either case.
    const CQaDatagram oLower("$PQQEL,CVN_HIDE_PLAN*3d\n\r");
    EXPECT_TRUE(oLower.hasChecksum());
    EXPECT_TRUE(oLower.checksumOk());
    EXPECT_EQ(oLower.getCommandId(), 40);
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

// The "$TVQEL" sentence parser: line, validity, checksum and fields.
#include "TqelRuntime/TvqelDatagram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string checksumOf(const std::string& strBody)
{
    unsigned char nSum = 0;
    for (std::size_t i = 1; i < strBody.size(); ++i)
        nSum ^= static_cast<unsigned char>(strBody[i]);
    char szHex[3];
    std::snprintf(szHex, sizeof szHex, "%02X", nSum);
    return szHex;
}

TEST(TvqelDatagram, ValidityByModeAndLineEnd)
{
    struct Case {
        std::string line;
        bool lineFeedMode;
        bool valid;
        bool hasChecksum;
    };
    const std::string strGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const Case aCases[] = {
        {"$TVQEL,450,1,2\n\r", false, true, false},
        {"$PQQEL,CVN_CLOSE_GRID\n\r", false, false, false},   // carriage-return mode wants "$TVQEL"
        {"$TVQEL,450,1,2\r\n\r", false, false, false},         // stops at the sender's own CR
        {"$\r", false, false, false},                          // too short
        {"TVQEL,450\n\r", false, false, false},                // no "$"
        {strGga + "*47\r\n", true, true, true},                // its own line end: checksum found
        {strGga + "*47\n\r", true, true, false},               // appended end only: "*" four bytes back
        {"$TVQEL,450,1,2", true, true, false},                 // no stop byte: up to the zero byte
        {"$TVQEL,450,1,2", false, false, false},
    };
    for (const Case& oCase : aCases) {
        CTvqelDatagram oSentence(oCase.line.c_str(), oCase.lineFeedMode);
        EXPECT_EQ(oSentence.isValid(), oCase.valid) << oCase.line;
        EXPECT_EQ(oSentence.hasChecksum(), oCase.hasChecksum) << oCase.line;
    }
    CTvqelDatagram oNull(nullptr, false);
    EXPECT_FALSE(oNull.isValid());
    int nValue = 7;
    EXPECT_TRUE(oNull.getInt(1, &nValue));
    EXPECT_EQ(nValue, 0);
}

TEST(TvqelDatagram, FieldsAndChecksum)
{
    const std::string strBody = "$TVQEL,450,1,2";
    for (const std::string& strLine : {strBody + "\n\r", strBody + "*" + checksumOf(strBody) + "\n\r",
                                       strBody + "*00\n\r"}) {
        CTvqelDatagram oSentence(strLine.c_str(), false);
        ASSERT_TRUE(oSentence.isValid()) << strLine;
        int nValue = -1;
        EXPECT_FALSE(oSentence.getInt(1, &nValue));
        EXPECT_EQ(nValue, 450);
        EXPECT_FALSE(oSentence.getInt(2, &nValue));
        EXPECT_EQ(nValue, 1);
        EXPECT_FALSE(oSentence.getInt(3, &nValue)); // the last field ends before "*" or the line end
        EXPECT_EQ(nValue, 2);
        EXPECT_TRUE(oSentence.getInt(4, &nValue));
        EXPECT_TRUE(oSentence.getInt(0, &nValue));
        std::string strText = "x";
        EXPECT_FALSE(oSentence.getString(3, strText));
        EXPECT_EQ(strText, "x2"); // appended, not replaced
    }
    EXPECT_TRUE(CTvqelDatagram((strBody + "*" + checksumOf(strBody) + "\n\r").c_str(), false).checksumOk());
    EXPECT_FALSE(CTvqelDatagram((strBody + "*00\n\r").c_str(), false).checksumOk());
}

TEST(TvqelDatagram, EmptyLongAndNonNumericFields)
{
    const std::string strLong(300, '7');
    CTvqelDatagram oSentence(("$TVQEL,,5,12abc,abc,1.5e2," + strLong + "\n\r").c_str(), false);
    int nValue = -1;
    float fValue = -1;
    EXPECT_TRUE(oSentence.getInt(1, &nValue)); // empty
    EXPECT_FALSE(oSentence.getInt(2, &nValue));
    EXPECT_EQ(nValue, 5);
    EXPECT_FALSE(oSentence.getInt(3, &nValue));
    EXPECT_EQ(nValue, 12);
    EXPECT_FALSE(oSentence.getInt(4, &nValue));
    EXPECT_EQ(nValue, 0);
    EXPECT_FALSE(oSentence.getFloat(5, &fValue));
    EXPECT_FLOAT_EQ(fValue, 150.0f);
    EXPECT_TRUE(oSentence.getInt(6, &nValue)); // too long for the field buffer
    EXPECT_EQ(nValue, 0);
    EXPECT_TRUE(oSentence.getFloat(6, &fValue));
    std::string strText;
    EXPECT_FALSE(oSentence.getString(6, strText));
    EXPECT_EQ(strText, strLong);
    // Out-of-range numbers are held at the ends of int.
    CTvqelDatagram oHuge("$TVQEL,99999999999999,-99999999999999\n\r", false);
    EXPECT_FALSE(oHuge.getInt(1, &nValue));
    EXPECT_EQ(nValue, 2147483647);
    EXPECT_FALSE(oHuge.getInt(2, &nValue));
    EXPECT_EQ(nValue, -2147483647 - 1);
}

} // namespace

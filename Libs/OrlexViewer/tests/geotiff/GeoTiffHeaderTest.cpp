// The GeoTIFF key checks over generated files: each file's answers to all six checks, and what
// the checks wrote to the error stream.
#include "GeoTiffFixture.h"
#include "OrlexViewer/GeoTiffHeader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

using geotifftest::Key;
using namespace geotifftest;

std::string zoneText(bool bOk, std::uint32_t nZone, std::int32_t nHemisphere)
{
    if (bOk)
        return std::to_string(nZone) + (nHemisphere == 0 ? "N" : nHemisphere == 1 ? "S" : "?");
    return "no(" + std::to_string(nHemisphere) + ")";
}

// All six answers in the controller's order, with the error stream's text.
struct Answers
{
    std::string strSummary;
    std::string strErrors;
};

Answers askAll(const std::string& strPath, bool* pbHasKeys = nullptr)
{
    std::unique_ptr<TIFF, void (*)(TIFF*)> pTiff(XTIFFOpen(strPath.c_str(), "r"), XTIFFClose);
    EXPECT_TRUE(pTiff);
    std::ostringstream errors;
    std::streambuf* pOld = std::cerr.rdbuf(errors.rdbuf());
    geotiff_header header(pTiff.get());
    if (pbHasKeys)
        *pbHasKeys = header.hasKeys();
    std::string strSummary;
    std::uint32_t nZone = 0;
    std::int32_t nHemisphere = 7;
    bool bOk = header.getWgs84UtmZone(nZone, nHemisphere);
    strSummary += "wgs84:" + zoneText(bOk, nZone, nHemisphere);
    nHemisphere = 7;
    bOk = header.getUtmProjectionZone(nZone, nHemisphere);
    strSummary += " proj:" + zoneText(bOk, nZone, nHemisphere);
    nHemisphere = 7;
    bOk = header.getNad83UtmZone(nZone, nHemisphere);
    strSummary += " nad83:" + zoneText(bOk, nZone, nHemisphere);
    strSummary += std::string(" geo:") + (header.isGeographicMetersDegrees() ? "1" : "0");
    strSummary += std::string(" merc:") + (header.isMercator() ? "1" : "0");
    strSummary += std::string(" web:") + (header.isWebMercator() ? "1" : "0");
    std::cerr.rdbuf(pOld);
    return {strSummary, errors.str()};
}

class GeoTiffHeaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
    }
    std::string path(const char* szName) const
    {
        return ::testing::TempDir() + "geotiff_header_" + szName + ".tif";
    }
};

const char* const kNoModel = "NO Model Type defined!!!!\n";
const char* const kNotShort = "Expected a single value with type int16 (short)!\n";
const char* const kNoPcs = "KeyID=3072 is not valid\nMissing ProjectedCSTypeGeoKey (3072) key!\n";
const char* const kNoProjection = "KeyID=3074 is not valid\n";
const char* const kNoTransform = "KeyID=3075 is not valid\n";
const char* const kNoLinear = "KeyID=2052 is not valid\nMissing GeogLinearUnitsGeoKey (2052) key!\n";
const char* const kNotNad83 = "NOT in RANGE PCS_NAD83_UTM_zone_3N and PCS_NAD83_Missouri_West!\n";
const char* const kNotMercator = "NOT CT_Mercator!\n";

std::string cat(std::initializer_list<const char*> parts)
{
    std::string s;
    for (const char* p : parts)
        s += p;
    return s;
}

TEST_F(GeoTiffHeaderTest, EachFileAnswersTheChecksInTheControllersOrder)
{
    struct Case
    {
        const char* szName;
        std::vector<Key> keys;
        std::vector<std::uint16_t> rawDirectory;
        const char* szSummary;
        std::string strErrors;
    };
    const std::vector<Case> cases = {
        {"utm33n", projected(kProjectedCs, 32633), {}, "wgs84:33N proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoProjection, kNotNad83, kNoTransform})},
        {"utm60s", projected(kProjectedCs, 32760), {}, "wgs84:60S proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoProjection, kNotNad83, kNoTransform})},
        {"between", projected(kProjectedCs, 32700), {}, "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoProjection, kNotNad83, kNoTransform})},
        {"proj16032", projected(kProjection, 16032), {}, "wgs84:no(7) proj:32N nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoPcs, kNoPcs, kNoTransform, kNoPcs})},
        {"proj16160", projected(kProjection, 16160), {}, "wgs84:no(7) proj:60S nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoPcs, kNoPcs, kNoTransform, kNoPcs})},
        {"proj16100", projected(kProjection, 16100), {}, "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoPcs, kNoPcs, kNoTransform, kNoPcs})},
        {"nad83zone18", projected(kProjectedCs, 26918), {}, "wgs84:no(7) proj:no(7) nad83:18N geo:0 merc:0 web:0",
         cat({kNoProjection, kNoTransform})},
        // A state-plane code of the NAD83 range passes the range check with a zone beyond 60.
        {"stateplane", projected(kProjectedCs, 26996), {}, "wgs84:no(7) proj:no(7) nad83:96N geo:0 merc:0 web:0",
         cat({kNoProjection, kNoTransform})},
        {"webmercator", projected(kProjectedCs, 3857), {}, "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:1",
         cat({kNoProjection, kNotNad83, kNoTransform})},
        {"mercator", {{kModelType, 1}, {kCoordTrans, 7}}, {}, "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:1 web:0",
         cat({kNoPcs, kNoProjection, kNoPcs, kNoPcs})},
        {"transverse", {{kModelType, 1}, {kCoordTrans, 1}}, {}, "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNoPcs, kNoProjection, kNoPcs, kNotMercator, kNoPcs})},
        {"geographic", {{kModelType, 2}, {kLinearUnits, 9001}, {kAngularUnits, 9102}}, {},
         "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:1 merc:0 web:0", ""},
        {"geofeet", {{kModelType, 2}, {kLinearUnits, 9002}, {kAngularUnits, 9102}}, {},
         "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0", "Linear units are not in Meters!\n"},
        {"georadians", {{kModelType, 2}, {kLinearUnits, 9001}, {kAngularUnits, 9101}}, {},
         "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0", "Angular units are not in Degrees!\n"},
        {"geonounits", {{kModelType, 2}}, {}, "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0", kNoLinear},
        {"twovalues", {}, twoShortsDirectory(1, kProjectedCs, 32633),
         "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNotShort, kNoProjection, kNotShort, kNoTransform, kNotShort})},
        {"double", {{kModelType, 1}, {kProjectedCs, 32633, Key::Double}}, {},
         "wgs84:no(7) proj:no(7) nad83:no(7) geo:0 merc:0 web:0",
         cat({kNotShort, kNoProjection, kNotShort, kNoTransform, kNotShort})},
        // A model type that is not one SHORT answers false in every check, zone checks with -1.
        {"doublemodel", {{kModelType, 1, Key::Double}, {kProjectedCs, 32633}}, {},
         "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0",
         cat({kNotShort, kNotShort, kNotShort, kNotShort, kNotShort, kNotShort})},
        {"nomodel", {{kProjectedCs, 32633}}, {}, "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0",
         cat({kNoModel, kNoModel, kNoModel, kNoModel, kNoModel, kNoModel})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        ASSERT_TRUE(writeGeoTiff(path(c.szName), c.keys, c.rawDirectory));
        const Answers answers = askAll(path(c.szName));
        EXPECT_EQ(answers.strSummary, c.szSummary);
        EXPECT_EQ(answers.strErrors, c.strErrors);
    }
}

// The key directory is listed for a log, not printed on the console.
TEST_F(GeoTiffHeaderTest, KeyListingIsKeptNotPrinted)
{
    ASSERT_TRUE(writeGeoTiff(path("listed"), projected(kProjectedCs, 32633)));
    std::unique_ptr<TIFF, void (*)(TIFF*)> pTiff(XTIFFOpen(path("listed").c_str(), "r"), XTIFFClose);
    ASSERT_TRUE(pTiff);
    ::testing::internal::CaptureStdout();
    const geotiff_header header(pTiff.get());
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(header.keyListing().find("ProjectedCSTypeGeoKey"), std::string::npos) << header.keyListing();
    EXPECT_NE(header.keyListing().find("End_Of_Geotiff"), std::string::npos);
}

// No key directory, or one that libgeotiff refuses: every check answers false as for a missing
// model type, and nothing is dereferenced.
TEST_F(GeoTiffHeaderTest, MissingOrBrokenDirectoryAnswersNoModelType)
{
    const std::string strSix = cat({kNoModel, kNoModel, kNoModel, kNoModel, kNoModel, kNoModel});
    const char* const szNone = "wgs84:no(-1) proj:no(-1) nad83:no(-1) geo:0 merc:0 web:0";

    ASSERT_TRUE(writeGeoTiff(path("nokeys"), {}));
    Answers answers = askAll(path("nokeys"));
    EXPECT_EQ(answers.strSummary, szNone);
    EXPECT_EQ(answers.strErrors, strSix);

    ASSERT_TRUE(writeGeoTiff(path("broken"), {}, brokenDirectory()));
    bool bHasKeys = true;
    answers = askAll(path("broken"), &bHasKeys);
    EXPECT_FALSE(bHasKeys);
    EXPECT_EQ(answers.strSummary, szNone);
    EXPECT_EQ(answers.strErrors, strSix);

    std::ostringstream errors;
    std::streambuf* pOld = std::cerr.rdbuf(errors.rdbuf());
    geotiff_header nullHeader(nullptr);
    std::uint32_t nZone = 0;
    std::int32_t nHemisphere = 0;
    EXPECT_FALSE(nullHeader.getWgs84UtmZone(nZone, nHemisphere));
    EXPECT_EQ(nHemisphere, -1);
    std::cerr.rdbuf(pOld);
    EXPECT_EQ(errors.str(), kNoModel);
}

} // namespace

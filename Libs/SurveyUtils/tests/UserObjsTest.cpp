#include "SurveyUtils/UserObjs.h"

#include "SurveyFolders.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <mutex>

namespace {

// Collects the debug and warning lines written while it lives.
class MessageCatcher {
public:
    MessageCatcher()
    {
        s_poCurrent = this;
        m_pfPrevious = qInstallMessageHandler(&MessageCatcher::handle);
    }
    ~MessageCatcher()
    {
        qInstallMessageHandler(m_pfPrevious);
        s_poCurrent = nullptr;
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> oLock(m_mutex);
        return m_lstLines;
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& strText)
    {
        if (s_poCurrent) {
            std::lock_guard<std::mutex> oLock(s_poCurrent->m_mutex);
            s_poCurrent->m_lstLines << strText;
        }
    }
    static inline MessageCatcher* s_poCurrent = nullptr;
    QtMessageHandler m_pfPrevious = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_lstLines;
};

CQelGeoJSON feature(int nType, std::vector<float> vfPoints, quint64 nId, const char* szColor = "")
{
    CQelGeoJSON oFeature;
    oFeature.m_nType = nType;
    oFeature.m_vfPoints = std::move(vfPoints);
    oFeature.m_nObjectId = nId;
    oFeature.m_strColorName = QString::fromLatin1(szColor);
    return oFeature;
}

class UserObjsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::useProgramData();
        corvtest::clearWindowsRoot();
        m_strFile = corvtest::dataFolder() + QStringLiteral("/export.json");
    }

    QJsonObject readBack() const
    {
        QFile oFile(m_strFile);
        EXPECT_TRUE(oFile.open(QIODevice::ReadOnly));
        QJsonParseError oError;
        const QJsonDocument oDocument = QJsonDocument::fromJson(oFile.readAll(), &oError);
        EXPECT_EQ(oError.error, QJsonParseError::NoError) << oError.errorString().toStdString();
        return oDocument.object();
    }

    QString m_strFile;
};

TEST_F(UserObjsTest, PointFeature)
{
    CQelGeoJSON oPoint = feature(CQelGeoJSON::POINT, {1.5f, 2.5f}, 7, "red");
    oPoint.m_strTimestamp = QStringLiteral("2024-03-01T12:00:00");

    CUserObjs oObjects;
    EXPECT_FALSE(oObjects.isModified());
    oObjects.addObject(oPoint);
    EXPECT_TRUE(oObjects.isModified());
    ASSERT_TRUE(oObjects.writeGeoJson(m_strFile));
    EXPECT_FALSE(oObjects.isModified());

    const QJsonObject oCollection = readBack();
    EXPECT_EQ(oCollection.keys(), (QStringList{"features", "type"}));
    EXPECT_EQ(oCollection["type"], QJsonValue("FeatureCollection"));
    const QJsonArray aFeatures = oCollection["features"].toArray();
    ASSERT_EQ(aFeatures.size(), 1);
    const QJsonObject oFeature = aFeatures[0].toObject();
    EXPECT_EQ(oFeature["type"], QJsonValue("Feature"));
    EXPECT_EQ(oFeature["geometry"].toObject(),
              (QJsonObject{{"type", "Point"}, {"coordinates", QJsonArray{1.5, 2.5}}}));
    EXPECT_EQ(oFeature["properties"].toObject(),
              (QJsonObject{{"DREMM_ID", "7"}, {"marker-color", "red"}, {"timestamp", "2024-03-01T12:00:00"}}));

    // The JSON writer's indented layout with sorted keys.
    QFile oFile(m_strFile);
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(oFile.readAll().startsWith("{\n    \"features\": [\n        {\n            \"geometry\": {"));
}

TEST_F(UserObjsTest, EveryFeatureType)
{
    CQelGeoJSON oLine = feature(CQelGeoJSON::LINE, {0.f, 1.f, 2.f, 3.f}, 11, "cyan");
    oLine.m_vExtraProperties = {{"stroke", "blue"}, {"name", "first"}, {"name", "second"}};
    CQelGeoJSON oPointSet = feature(CQelGeoJSON::POINT_SET, {5.f, 6.f, 7.f, 8.f}, 12, "ignored");
    oPointSet.m_strTimestamp = QStringLiteral("t1");

    CUserObjs oObjects;
    oObjects.addObject(feature(CQelGeoJSON::POLYGON, {1.f, 2.f, 3.f, 4.f, 5.f, 6.f}, 10, "yellow"));
    oObjects.addObject(oLine);
    oObjects.addObject(feature(CQelGeoJSON::NONE, {1.f, 2.f}, 99));
    oObjects.addObject(oPointSet);
    oObjects.addObject(feature(CQelGeoJSON::LINE, {1.f, 2.f, 3.f, 4.f, 5.f}, 14, "black"));
    oObjects.addObject(feature(CQelGeoJSON::POINT, {0.1f, 0.2f}, 18446744073709551615ull, "white"));

    MessageCatcher oMessages;
    ASSERT_TRUE(oObjects.writeGeoJson(m_strFile));
    EXPECT_TRUE(oMessages.lines().contains("Unsupported type")) << oMessages.lines().join('|').toStdString();

    const QJsonArray aFeatures = readBack()["features"].toArray();
    ASSERT_EQ(aFeatures.size(), 5);
    const auto geometry = [](const char* szType, const QJsonArray& aCoordinates) {
        return QJsonObject{{"type", szType}, {"coordinates", aCoordinates}};
    };
    // Built by append: a braced list of one QJsonArray is taken as a copy by some compilers.
    const auto pair = [](double x, double y) { return QJsonArray{x, y}; };
    const auto list = [](std::initializer_list<QJsonArray> lstItems) {
        QJsonArray aList;
        for (const QJsonArray& aItem : lstItems)
            aList.append(aItem);
        return aList;
    };
    const QJsonArray aPolygon = list({list({pair(1, 2), pair(3, 4), pair(5, 6)})});
    struct Expected {
        QJsonObject oGeometry;
        QJsonObject oProperties;
    };
    const Expected kExpected[] = {
        {geometry("Polygon", aPolygon), QJsonObject{{"DREMM_ID", "10"}, {"stroke", "yellow"}}},
        {geometry("LineString", list({pair(0, 1), pair(2, 3)})),
         QJsonObject{{"DREMM_ID", "11"}, {"stroke", "blue"}, {"name", "second"}}},
        {geometry("MultiPoint", list({pair(5, 6), pair(7, 8)})),
         QJsonObject{{"DREMM_ID", "12"}, {"marker-color", "#800080"}, {"timestamp", "t1"}}},
        // A trailing half pair is dropped.
        {geometry("LineString", list({pair(1, 2), pair(3, 4)})), QJsonObject{{"DREMM_ID", "14"}, {"stroke", "black"}}},
        // Single-precision values widened, not rounded to their decimal text.
        {geometry("Point", pair(double(0.1f), double(0.2f))),
         QJsonObject{{"DREMM_ID", "18446744073709551615"}, {"marker-color", "white"}}},
    };
    for (int i = 0; i < aFeatures.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject oFeature = aFeatures[i].toObject();
        EXPECT_EQ(oFeature["geometry"].toObject(), kExpected[i].oGeometry)
            << QJsonDocument(oFeature).toJson().toStdString();
        EXPECT_EQ(oFeature["properties"].toObject(), kExpected[i].oProperties)
            << QJsonDocument(oFeature).toJson().toStdString();
    }
}

// Features that would make the file invalid GeoJSON, or lose the object's id, are not written as
// they stand; the others still are.
TEST_F(UserObjsTest, FaultyFeaturesAreLeftOutWithAWarning)
{
    const float fNaN = std::numeric_limits<float>::quiet_NaN();
    const float fInf = std::numeric_limits<float>::infinity();
    struct Case {
        CQelGeoJSON oObject;
        const char* szWarning;
    };
    const Case kCases[] = {
        {feature(CQelGeoJSON::POINT, {fNaN, 2.f}, 21), "object 21 not written: a coordinate that is not a finite number"},
        {feature(CQelGeoJSON::LINE, {0.f, 0.f, fInf, 1.f}, 22), "object 22 not written: a coordinate that is not a finite number"},
        {feature(CQelGeoJSON::POINT, {}, 23), "object 23 not written: no position"},
        {feature(CQelGeoJSON::POINT_SET, {1.f}, 24), "object 24 not written: no position"},
        {feature(CQelGeoJSON::LINE, {1.f, 2.f, 3.f}, 25), "object 25 not written: a line of fewer than two positions"},
        {feature(CQelGeoJSON::POLYGON, {1.f, 2.f, 3.f, 4.f}, 26), "object 26 not written: a polygon of fewer than three positions"},
    };
    CUserObjs oObjects;
    for (const Case& oCase : kCases)
        oObjects.addObject(oCase.oObject);
    CQelGeoJSON oNamed = feature(CQelGeoJSON::POINT, {1.f, 2.f}, 27, "red");
    oNamed.m_vExtraProperties = {{"DREMM_ID", "999"}, {"name", "kept"}};
    oObjects.addObject(oNamed);

    MessageCatcher oMessages;
    ASSERT_TRUE(oObjects.writeGeoJson(m_strFile));
    const QStringList lstLines = oMessages.lines();
    for (const Case& oCase : kCases)
        EXPECT_TRUE(lstLines.contains(QStringLiteral("CUserObjs::writeGeoJson - ") + oCase.szWarning))
            << oCase.szWarning << "\n" << lstLines.join('\n').toStdString();
    EXPECT_TRUE(lstLines.contains(QStringLiteral("CUserObjs::writeGeoJson - object 27: extra property \"DREMM_ID\" ignored")))
        << lstLines.join('\n').toStdString();

    const QJsonArray aFeatures = readBack()["features"].toArray();
    ASSERT_EQ(aFeatures.size(), 1);
    EXPECT_EQ(aFeatures[0].toObject()["properties"].toObject(),
              (QJsonObject{{"DREMM_ID", "27"}, {"marker-color", "red"}, {"name", "kept"}}));

    // Nothing writable: the file is left as it was.
    CUserObjs oOnlyFaulty;
    oOnlyFaulty.addObject(feature(CQelGeoJSON::LINE, {1.f, 2.f}, 28));
    const QString strOther = corvtest::dataFolder() + QStringLiteral("/other.json");
    EXPECT_FALSE(oOnlyFaulty.writeGeoJson(strOther));
    EXPECT_FALSE(QFile::exists(strOther));
}

TEST_F(UserObjsTest, EmptyCollectionLeavesTheFileAlone)
{
    CUserObjs oObjects;
    EXPECT_FALSE(oObjects.writeGeoJson(m_strFile));
    EXPECT_FALSE(QFile::exists(m_strFile));

    QFile oFile(m_strFile);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write("{\"type\": \"FeatureCollection\", \"features\": []}");
    oFile.close();
    EXPECT_FALSE(oObjects.writeGeoJson(m_strFile));
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(oFile.readAll(), QByteArray("{\"type\": \"FeatureCollection\", \"features\": []}"));
}

TEST_F(UserObjsTest, UnwritableFileIsReported)
{
    CUserObjs oObjects;
    oObjects.addObject(feature(CQelGeoJSON::POINT, {1.f, 2.f}, 1));
    MessageCatcher oMessages;
    EXPECT_FALSE(oObjects.writeGeoJson(corvtest::dataFolder() + QStringLiteral("/missing folder/x.json")));
    EXPECT_TRUE(oMessages.lines().contains("Couldn't open save file.")) << oMessages.lines().join('|').toStdString();
    EXPECT_TRUE(oObjects.isModified());
}

TEST_F(UserObjsTest, WindowsPathsMapIntoTheRoot)
{
    CUserObjs oObjects;
    oObjects.addObject(feature(CQelGeoJSON::POLYGON, {1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 1.f, 2.f}, 3));
    ASSERT_TRUE(oObjects.writeGeoJson(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\cropPolygon.json")));
    EXPECT_TRUE(QFile::exists(corvtest::dataFolder() + QStringLiteral("/cropPolygon.json")));
}

TEST(QelGeoJSON, DefaultsAndSerialNumbers)
{
    const CQelGeoJSON oFirst;
    const CQelGeoJSON oSecond;
    EXPECT_EQ(oSecond.m_nSerial, oFirst.m_nSerial + 1);
    EXPECT_EQ(oFirst.m_nType, 5);
    EXPECT_EQ(oFirst.m_nStyle, 3);
    EXPECT_EQ(oFirst.m_nReserved, 0);
    EXPECT_FALSE(oFirst.m_bReserved);
    EXPECT_EQ(oFirst.m_nObjectId, 0u);

    const CQelGeoJSON oCopy(oFirst);
    EXPECT_EQ(oCopy.m_nSerial, oFirst.m_nSerial);
    const CQelGeoJSON oThird;
    EXPECT_EQ(oThird.m_nSerial, oSecond.m_nSerial + 1);
}

TEST(UserObjDB, MissingDatabaseIsNotCreated)
{
    corvtest::useProgramData();
    corvtest::clearWindowsRoot();
    const bool bFirstCall = !QSqlDatabase::contains(QStringLiteral("tvgpl"));
    CUserObjDB oDatabase;
    EXPECT_EQ(oDatabase.open(), !bFirstCall); // false only on the first call of the process
    EXPECT_TRUE(oDatabase.open());
    EXPECT_FALSE(QFile::exists(corvtest::dataFolder() + QStringLiteral("/userobjects.sqlite")));
    EXPECT_TRUE(QSqlDatabase::contains(QStringLiteral("tvgpl")));
    EXPECT_FALSE(QSqlDatabase::database(QStringLiteral("tvgpl"), false).isOpen());
}

} // namespace

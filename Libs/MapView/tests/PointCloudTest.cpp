// The point-cloud hand-off: the coverage test, the point limit, the read-back of generated files,
// and whole hand-offs with the stand-ins of the coverage index tool and the generator.
#include "MapView/PointCloudFiles.h"
#include "MapView/PointCloudHandOff.h"
#include "MapView/QaSurveyManager.h"

#include "Common/GuiIni.h"
#include "OrlexViewer/Prompter.h"
#include "Projection/Projection.h"
#include "platform/paths.h"

#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>

#include <cmath>
#include <vector>

namespace {

using pointcloud::IndexVerdict;

// Degrees times 1000 as projected centimetres: easy to reason about.
int scaledProjection(std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes, double* pdNorths,
                     double* pdEasts)
{
    int nFailed = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        const double dLatitude = pdLatitudes[i];
        const double dLongitude = pdLongitudes[i];
        // Latitude 89 stands for a point the projection cannot convert.
        if (dLatitude == 89.0) {
            pdNorths[i] = pdEasts[i] = HUGE_VAL;
            ++nFailed;
            continue;
        }
        pdNorths[i] = dLatitude * 1000.0;
        pdEasts[i] = dLongitude * 1000.0;
    }
    return nFailed;
}

QByteArray indexFile(const QList<QList<QPointF>>& lstFeatures)
{
    QJsonArray aFeatures;
    for (const QList<QPointF>& lstPositions : lstFeatures) {
        QJsonArray aCoordinates;
        for (const QPointF& oPosition : lstPositions)
            aCoordinates.append(QJsonArray{oPosition.x(), oPosition.y()}); // longitude, latitude
        aFeatures.append(QJsonObject{{QStringLiteral("geometry"), QJsonObject{{QStringLiteral("coordinates"), aCoordinates}}}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("features"), aFeatures}}).toJson();
}

TEST(CoverageSegment, MeetsTheRectangleWhenInsideCrossingOrTouching)
{
    const QRectF oRect(QPointF(0, 0), QPointF(100, 50));
    struct Case {
        const char* name;
        double x1, y1, x2, y2;
        bool meets;
    };
    const Case aCases[] = {
        {"inside", 10, 10, 90, 40, true},
        {"crossing one edge", 50, 25, 150, 25, true},
        {"crossing through", -10, 25, 110, 25, true},
        {"touching a corner", 100, 50, 120, 70, true},
        {"along an edge", 20, 0, 80, 0, true},
        {"outside", 110, 10, 150, 40, false},
        {"outside, its line would cross", 110, -10, 200, 40, false},
        {"a single point inside", 30, 30, 30, 30, true},
        {"given upside down", 90, 40, 10, 10, true},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(pointcloud::segmentMeetsRectangle(oCase.x1, oCase.y1, oCase.x2, oCase.y2, oRect), oCase.meets) << oCase.name;
}

TEST(CoverageIndex, PositionsArePairedAndTheFileMatchesOnItsFirstHit)
{
    // Test rectangle in centimetres: longitude 1 to 2, latitude 1 to 2 under the scaled projection.
    const QRectF oRect(QPointF(1000, 1000), QPointF(2000, 2000));
    const QPointF pOutA(0.1, 0.1), pOutB(0.2, 0.2), pIn(1.5, 1.5), pFar(5, 5);
    struct Case {
        const char* name;
        QByteArray json;
        IndexVerdict verdict;
    };
    const Case aCases[] = {
        {"p0-p1 inside", indexFile({{pIn, pIn, pOutA, pOutB}}), IndexVerdict::Matched},
        // p1-p2 would cross, but only p0-p1 and p2-p3 are segments.
        {"only the span between pairs crosses", indexFile({{pOutA, pOutB, pFar, pFar}}), IndexVerdict::Unmatched},
        {"p2-p3 crosses", indexFile({{pOutA, pOutB, pOutA, pFar}}), IndexVerdict::Matched},
        {"the third position has no partner", indexFile({{pOutA, pOutB, pIn}}), IndexVerdict::Unmatched},
        {"a later feature", indexFile({{pOutA, pOutB}, {pIn, pFar}}), IndexVerdict::Matched},
        {"a position the projection refuses", indexFile({{QPointF(1.5, 89), pIn}}), IndexVerdict::Unmatched},
        {"positions that are not pairs of numbers",
         R"({"features":[{"geometry":{"coordinates":[[1.5],["a","b"],1.5,[1.5,1.5]]}}]})", IndexVerdict::Unmatched},
        {"no features", R"({"type":"FeatureCollection"})", IndexVerdict::Unmatched},
        {"an empty object", "{}", IndexVerdict::EmptyObject},
        {"an array", "[1,2]", IndexVerdict::NotAnObject},
        {"not JSON", "features: none", IndexVerdict::NotAnObject},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(pointcloud::testCoverageIndex(oCase.json, oRect, scaledProjection), oCase.verdict) << oCase.name;
}

TEST(PointLimit, TakenFromOneToTwentyMillion)
{
    struct Case {
        const char* value;
        int limit;
        bool warned;
    };
    const Case aCases[] = {
        {nullptr, 10000000, false}, {"1000000", 1000000, false}, {"20000000", 20000000, false},
        {"500000", 10000000, true}, {"30000000", 10000000, true}, {"many", 10000000, true},
        {"", 10000000, true},
    };
    for (const Case& oCase : aCases) {
        QString strWarning;
        EXPECT_EQ(pointcloud::pointLimit(oCase.value, &strWarning), oCase.limit) << (oCase.value ? oCase.value : "unset");
        EXPECT_EQ(strWarning.startsWith(QLatin1String("Illegal maxpoint value set. Default value set: 10000000")), oCase.warned);
    }
}

TEST(PointFiles, LinesAreCountedOverAllFilesUpToOneAboveTheLimit)
{
    corvtest::prepareScratch();
    const QDir oDir(corvtest::scratchDir());
    auto write = [&oDir](const char* szName, const QByteArray& baText) {
        QFile oFile(oDir.filePath(QLatin1String(szName)));
        EXPECT_TRUE(oFile.open(QIODevice::WriteOnly));
        oFile.write(baText);
        return oFile.fileName();
    };
    // Fields past the third are ignored; an unreadable number is 0; a short line gives no point;
    // a point the projection cannot convert gives none either. Both count as read.
    const QString strFirst = write("a.csv", "1.5,2.5,-10.25,extra\r\n1,x,7\n89,1,1\n3,4\n 2 , 3 ,+4\n");
    const QString strSecond = write("b.csv", "5,6,7\n8,9,10\n11,12,13\n");
    long long nRead = 0;
    const std::vector<double> vFirst = pointcloud::readPointFile(strFirst, nRead, 6, scaledProjection);
    EXPECT_EQ(nRead, 5);
    EXPECT_EQ(vFirst, (std::vector<double>{25, 15, -10.25, 0, 10, 7, 30, 20, 4}));
    // The limit is 6: lines are read while the count is not above it, so two more.
    const std::vector<double> vSecond = pointcloud::readPointFile(strSecond, nRead, 6, scaledProjection);
    EXPECT_EQ(nRead, 7);
    EXPECT_EQ(vSecond, (std::vector<double>{60, 50, 7, 90, 80, 10}));
    EXPECT_TRUE(pointcloud::readPointFile(oDir.filePath(QStringLiteral("missing.csv")), nRead, 100, scaledProjection).empty());
}

TEST(PointFiles, ALargeFileReadInPartsKeepsItsOrder)
{
    // Every 1000th line is short and gives no point, so the parts close up their gaps.
    QByteArray baText;
    const int nLines = 300000;
    for (int i = 0; i < nLines; ++i)
        baText += i % 1000 == 999 ? QByteArray("short\n") : QByteArray::number(1000 + i) + ",0.5," + QByteArray::number(-i) + '\n';
    long long nRead = 0;
    const std::vector<double> vAll = pointcloud::readPointText(baText, nRead, 10000000, scaledProjection);
    EXPECT_EQ(nRead, nLines);
    ASSERT_EQ(vAll.size(), 3u * (nLines - nLines / 1000));
    std::size_t nPoint = 0;
    bool bInOrder = true;
    for (int i = 0; i < nLines && bInOrder; ++i) {
        if (i % 1000 == 999)
            continue;
        bInOrder = vAll[3 * nPoint + 1] == (1000 + i) * 10.0 && vAll[3 * nPoint + 2] == -i;
        ++nPoint;
    }
    EXPECT_TRUE(bInOrder) << "point " << nPoint;

    // A limit inside the file cuts it at a line: 250,001 lines are read.
    nRead = 0;
    const std::vector<double> vCut = pointcloud::readPointText(baText, nRead, 250000, scaledProjection);
    EXPECT_EQ(nRead, 250001);
    EXPECT_EQ(vCut.size(), 3u * (250001 - 250));
    EXPECT_EQ(vCut[vCut.size() - 2], 2510000.0);
}

// Answers the raw-folder dialog without showing it.
class FolderPrompter : public CPrompter {
public:
    QString existingDirectory(QWidget*, const QString& strCaption, const QString& strDir) override
    {
        m_lstAsked << strCaption + QLatin1Char('|') + strDir;
        return m_strAnswer;
    }
    QString m_strAnswer;
    QStringList m_lstAsked;
};

// Whole hand-offs: the stand-ins run from folders of their own, as the installation has them.
class HandOffTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::prepareScratch();
        const QString strBin = qEnvironmentVariable("CORV_BIN_DIR");
        const QDir oScratch(corvtest::scratchDir());
        oScratch.mkpath(QStringLiteral("tools/index"));
        oScratch.mkpath(QStringLiteral("tools/generator"));
        s_strIndexFolder = oScratch.filePath(QStringLiteral("tools/index"));
        s_strGeneratorFolder = oScratch.filePath(QStringLiteral("tools/generator"));
        QFile::copy(strBin + QStringLiteral("/CovTrackIdx.exe"), s_strIndexFolder + QStringLiteral("/CovTrackIdx.exe"));
        QFile::copy(strBin + QStringLiteral("/QxallPointCloudGenerator.exe"),
                    s_strGeneratorFolder + QStringLiteral("/QxallPointCloudGenerator.exe"));
        // "./CovTrackIdx.exe" is started from the working folder, the generator found on PATH.
        QDir::setCurrent(s_strIndexFolder);
        qputenv("PATH", (s_strGeneratorFolder + QLatin1Char(':')).toLocal8Bit() + qgetenv("PATH"));
        qputenv("CORV_GENERATOR_DELAY_MS", "300");
        qputenv("CORV_COMPANION_LOG", oScratch.filePath(QStringLiteral("companions.jsonl")).toLocal8Bit());
        CQaSurveyManager::instance()->setCurrentSurvey(QStringLiteral("C:/qeldata/grids/V/Survey1"));
    }

    void SetUp() override
    {
        CPrompter::install(&m_oPrompter);
        m_oHandOff.setPollInterval(100);
        QDir(native(rawFolder())).removeRecursively();
        QDir().mkpath(native(rawFolder()));
        QFile::remove(logPath());
    }
    void TearDown() override { CPrompter::install(nullptr); }

    static QString native(const QString& strPath) { return platform::toNativePath(strPath); }
    static QString rawFolder() { return QStringLiteral("C:/qeldata/raw/Survey1"); }
    static QString logPath() { return QDir(corvtest::scratchDir()).filePath(QStringLiteral("companions.jsonl")); }

    // A raw file of the stand-ins: soundings around a position, 0.001 degree apart.
    static void writeRaw(const QString& strName, double dLatitude, double dLongitude, int nCount)
    {
        QFile oFile(native(rawFolder() + QLatin1Char('/') + strName));
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
        for (int i = 0; i < nCount; ++i)
            oFile.write(QByteArray::number(dLatitude + 0.001 * i, 'f', 6) + ',' + QByteArray::number(dLongitude + 0.001 * i, 'f', 6)
                        + ',' + QByteArray::number(-20.0 - i) + '\n');
    }

    // The selection in projected metres around two corners given in degrees.
    static QRectF selection(double dLat1, double dLon1, double dLat2, double dLon2)
    {
        double dNorth1 = 0, dEast1 = 0, dNorth2 = 0, dEast2 = 0;
        CProjection* poProjection = CProjection::instance();
        EXPECT_EQ(poProjection->toProjected(dLat1, dLon1, dNorth1, dEast1), 0);
        EXPECT_EQ(poProjection->toProjected(dLat2, dLon2, dNorth2, dEast2), 0);
        return QRectF(QPointF(dEast1 / 100.0, dNorth1 / 100.0), QPointF(dEast2 / 100.0, dNorth2 / 100.0));
    }

    static QList<QJsonObject> recorded()
    {
        QList<QJsonObject> lstLines;
        QFile oFile(logPath());
        if (oFile.open(QIODevice::ReadOnly))
            for (const QByteArray& baLine : oFile.readAll().split('\n'))
                if (!baLine.isEmpty())
                    lstLines << QJsonDocument::fromJson(baLine).object();
        return lstLines;
    }

    static QString s_strIndexFolder;
    static QString s_strGeneratorFolder;
    FolderPrompter m_oPrompter;
    CPointCloudHandOff m_oHandOff;
};

QString HandOffTest::s_strIndexFolder;
QString HandOffTest::s_strGeneratorFolder;

TEST_F(HandOffTest, SelectedSoundingsComeBackFromTheGenerator)
{
    writeRaw(QStringLiteral("a.qxall"), 59.10, 10.20, 5);  // inside the selection
    writeRaw(QStringLiteral("b.qxall"), 60.50, 11.50, 5);  // far outside
    writeRaw(QStringLiteral("c.qxall"), 59.102, 10.202, 3); // inside as well
    QSignalSpy points(&m_oHandOff, &CPointCloudHandOff::pointsReady);
    QSignalSpy finished(&m_oHandOff, &CPointCloudHandOff::finished);
    QSignalSpy status(&m_oHandOff, &CPointCloudHandOff::statusText);

    m_oHandOff.start(selection(59.0995, 10.1995, 59.1055, 10.2055));
    // The index tool runs without holding up the window: nothing is listed for the generator yet.
    EXPECT_TRUE(m_oHandOff.isRunning());
    EXPECT_FALSE(QFile::exists(native(QStringLiteral("C:/TEMP/QXPoint/Processfiles.txt"))));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !finished.isEmpty(); }, 20000));
    EXPECT_TRUE(m_oPrompter.m_lstAsked.isEmpty()); // the survey's own raw folder exists

    // The index tool ran first, with its three arguments, and wrote one index file a raw file.
    const QList<QJsonObject> lstRecorded = recorded();
    ASSERT_EQ(lstRecorded.size(), 2);
    EXPECT_EQ(lstRecorded[0].value(QStringLiteral("program")).toString(), QStringLiteral("CovTrackIdx.exe"));
    const QJsonArray aIndexArguments = lstRecorded[0].value(QStringLiteral("arguments")).toArray();
    ASSERT_EQ(aIndexArguments.size(), 3);
    EXPECT_EQ(aIndexArguments[0].toString(), native(rawFolder()));
    EXPECT_EQ(aIndexArguments[2].toString(), QStringLiteral("notrack"));
    EXPECT_TRUE(QFileInfo::exists(native(rawFolder() + QStringLiteral("/index/b.json"))));

    // The generator got an argument list, and the process list names the two matching files.
    const QJsonArray aArguments = lstRecorded[1].value(QStringLiteral("arguments")).toArray();
    EXPECT_EQ(aArguments.toVariantList(),
              (QVariantList{QStringLiteral("-f"), native(rawFolder()) + QLatin1Char('/'), QStringLiteral("-o"),
                            native(QStringLiteral("C:/TEMP/QXPoint/output")), QStringLiteral("-d"),
                            native(QStringLiteral("C:/TEMP/QXPoint"))}));
    QFile oList(native(QStringLiteral("C:/TEMP/QXPoint/Processfiles.txt")));
    ASSERT_TRUE(oList.open(QIODevice::ReadOnly));
    EXPECT_EQ(oList.readAll(), QByteArray("a.qxall,c.qxall,"));

    // One buffer is started by the first file; every point lies in the selection.
    ASSERT_EQ(points.size(), 2);
    EXPECT_TRUE(points[0][1].toBool());
    EXPECT_FALSE(points[1][1].toBool());
    const QRectF oSelection = selection(59.0995, 10.1995, 59.1055, 10.2055).normalized();
    std::size_t nPoints = 0;
    for (const QList<QVariant>& lstArgs : points) {
        const auto vPoints = lstArgs[0].value<std::vector<double>>();
        for (std::size_t i = 0; i + 2 < vPoints.size(); i += 3) {
            EXPECT_TRUE(oSelection.contains(vPoints[i], vPoints[i + 1]));
            EXPECT_LE(vPoints[i + 2], -20.0);
            ++nPoints;
        }
    }
    EXPECT_EQ(nPoints, 5u + 3u);
    EXPECT_TRUE(status.first()[0].toString().startsWith(QLatin1String("Loading point data")));
    EXPECT_FALSE(m_oHandOff.isRunning());
}

TEST_F(HandOffTest, ABadIndexFileIsPassedOverAndTheOthersCount)
{
    writeRaw(QStringLiteral("a.qxall"), 59.10, 10.20, 2);
    QDir().mkpath(native(rawFolder() + QStringLiteral("/index/more")));
    QFile oBad(native(rawFolder() + QStringLiteral("/index/bad.json")));
    ASSERT_TRUE(oBad.open(QIODevice::WriteOnly));
    oBad.write("not json");
    oBad.close();
    QFile oGood(native(rawFolder() + QStringLiteral("/index/more/a.json")));
    ASSERT_TRUE(oGood.open(QIODevice::WriteOnly));
    oGood.write(indexFile({{QPointF(10.2, 59.1), QPointF(10.201, 59.101)}}));
    oGood.close();
    QSignalSpy points(&m_oHandOff, &CPointCloudHandOff::pointsReady);
    QSignalSpy finished(&m_oHandOff, &CPointCloudHandOff::finished);

    m_oHandOff.start(selection(59.0995, 10.1995, 59.1035, 10.2035));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !finished.isEmpty(); }, 20000));
    // The index folder existed: no index tool this time.
    const QList<QJsonObject> lstRecorded = recorded();
    ASSERT_EQ(lstRecorded.size(), 1);
    EXPECT_EQ(lstRecorded[0].value(QStringLiteral("program")).toString(), QStringLiteral("QxallPointCloudGenerator.exe"));
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0][0].value<std::vector<double>>().size(), 6u);
}

TEST_F(HandOffTest, WithoutTheSurveysRawFolderTheOperatorChoosesOneAndItIsRemembered)
{
    CQaSurveyManager::instance()->setCurrentSurvey(QStringLiteral("C:/qeldata/grids/V/NoRaw"));
    GuiIni::setValue(QLatin1String(GuiIni::GroupGeneralDefs), QStringLiteral("RawPath"), QStringLiteral("C:/nowhere"));
    QSignalSpy finished(&m_oHandOff, &CPointCloudHandOff::finished);
    QFile oMarker(native(QStringLiteral("C:/TEMP/QXPoint/keep.txt")));
    QDir().mkpath(native(QStringLiteral("C:/TEMP/QXPoint")));
    ASSERT_TRUE(oMarker.open(QIODevice::WriteOnly));
    oMarker.close();

    // Cancelled: nothing is touched and nothing is started.
    m_oHandOff.start(QRectF(0, 0, 10, 10));
    ASSERT_EQ(m_oPrompter.m_lstAsked.size(), 1);
    EXPECT_TRUE(m_oPrompter.m_lstAsked[0].startsWith(QLatin1String("Select Rawdata Directory|")));
    EXPECT_TRUE(oMarker.exists());
    EXPECT_FALSE(m_oHandOff.isRunning());
    EXPECT_TRUE(recorded().isEmpty());

    // Chosen: the hand-off runs on it (no points there), and the next selection asks no more.
    m_oPrompter.m_strAnswer = native(rawFolder());
    m_oHandOff.start(QRectF(0, 0, 10, 10));
    EXPECT_FALSE(oMarker.exists());
    ASSERT_TRUE(corvtest::waitUntil([&] { return !finished.isEmpty(); }, 20000));
    EXPECT_EQ(m_oHandOff.rememberedRawFolder(), native(rawFolder()));
    EXPECT_EQ(GuiIni::value(QLatin1String(GuiIni::GroupGeneralDefs), QStringLiteral("RawPath")).toString(), native(rawFolder()));
    m_oHandOff.start(QRectF(0, 0, 10, 10));
    EXPECT_EQ(m_oPrompter.m_lstAsked.size(), 2);
    // The dialog opened where the setting pointed, a folder that does not exist.
    EXPECT_TRUE(m_oPrompter.m_lstAsked[0].endsWith(native(QStringLiteral("C:/nowhere"))));
    ASSERT_TRUE(corvtest::waitUntil([&] { return finished.size() == 2; }, 20000));
    CQaSurveyManager::instance()->setCurrentSurvey(QStringLiteral("C:/qeldata/grids/V/Survey1"));
}

TEST_F(HandOffTest, AnotherProgramOfTheGeneratorsNameIsNotWaitedFor)
{
    // A program that runs until it is ended, under the generator's name, started by someone else.
    const QDir oScratch(corvtest::scratchDir());
    oScratch.mkpath(QStringLiteral("tools/other"));
    const QString strOther = oScratch.filePath(QStringLiteral("tools/other/QxallPointCloudGenerator.exe"));
    QFile::copy(qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Converter/Tavrin.Quennet.Converter.exe"), strOther);
    QProcess oOther;
    oOther.start(strOther, QStringList());
    ASSERT_TRUE(oOther.waitForStarted());

    writeRaw(QStringLiteral("a.qxall"), 59.10, 10.20, 2);
    QSignalSpy points(&m_oHandOff, &CPointCloudHandOff::pointsReady);
    QSignalSpy finished(&m_oHandOff, &CPointCloudHandOff::finished);
    m_oHandOff.start(selection(59.0995, 10.1995, 59.1035, 10.2035));
    const bool bFinished = corvtest::waitUntil([&] { return !finished.isEmpty(); }, 10000);
    oOther.kill();
    oOther.waitForFinished();
    ASSERT_TRUE(bFinished);
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0][0].value<std::vector<double>>().size(), 6u);
}

TEST_F(HandOffTest, AGeneratorThatDoesNotEndIsGivenUp)
{
    writeRaw(QStringLiteral("a.qxall"), 59.10, 10.20, 2);
    qputenv("CORV_GENERATOR_DELAY_MS", "60000");
    m_oHandOff.setGeneratorTimeLimit(500);
    QSignalSpy points(&m_oHandOff, &CPointCloudHandOff::pointsReady);
    QSignalSpy finished(&m_oHandOff, &CPointCloudHandOff::finished);
    QSignalSpy status(&m_oHandOff, &CPointCloudHandOff::statusText);
    m_oHandOff.start(selection(59.0995, 10.1995, 59.1035, 10.2035));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !finished.isEmpty(); }, 10000));
    qputenv("CORV_GENERATOR_DELAY_MS", "300");
    EXPECT_TRUE(points.isEmpty());
    EXPECT_GE(status.size(), 2); // the waiting text came again while it ran
    EXPECT_EQ(status.last()[1].toInt(), 0);
}

} // namespace

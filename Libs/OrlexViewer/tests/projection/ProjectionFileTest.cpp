// Projection files: reading, writing, converting older files, content hashes, EPSG codes.
#include "ProjectionTestSupport.h"

#include <platform/paths.h>

#include <cstdint>

using namespace projtest;

namespace {

class ProjectionFiles : public ::testing::Test {
protected:
    void SetUp() override { qputenv("ProgramData", "C:\\ProgramData"); }
};

struct ReadCase {
    const char* name;
    QByteArray content;
    std::string source;
    std::string target;
};

TEST_F(ProjectionFiles, ReaderTakesLinesTwoAndThreeWithinTheirLimit)
{
    const std::string long600(600, 'x');
    const std::string long511(511, 'y');
    const std::vector<ReadCase> cases = {
        {"crlf", "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +units=cm\r\n", "EPSG:4326", "+proj=merc +units=cm"},
        {"lf", "<QEL_Projection>\nEPSG:4326\n+proj=merc\n", "EPSG:4326", "+proj=merc"},
        {"no final line end", "h\r\nEPSG:4326\r\n+proj=merc", "EPSG:4326", "+proj=merc"},
        {"blanks kept", "h\r\n EPSG:4326 \r\n  +proj=merc  \r\n", " EPSG:4326 ", "  +proj=merc  "},
        {"two lines", "h\r\nEPSG:4326\r\n", "EPSG:4326", ""},
        {"empty file", "", "", ""},
        {"long header", QByteArray::fromStdString(long600) + "\r\nEPSG:4326\r\n+proj=merc\r\n", "", ""},
        {"long source", "h\r\n" + QByteArray::fromStdString(long600) + "\r\n+proj=merc\r\n", long600.substr(0, 511), ""},
        {"target of 511", "h\r\nEPSG:4326\r\n" + QByteArray::fromStdString(long511) + "\r\n", "EPSG:4326", long511},
        {"fourth line ignored", "h\r\nEPSG:4326\r\n+proj=merc\r\n+proj=utm\r\n", "EPSG:4326", "+proj=merc"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeFile(scratch(QStringLiteral("read.txt")), c.content);
        TestProjection projection;
        QelProj::CProjection runtime;
        EXPECT_TRUE(projection.readProjectionFile(path));
        EXPECT_EQ(projection.sourceCrs(), c.source);
        EXPECT_EQ(projection.targetCrs(), c.target);
        EXPECT_TRUE(runtime.readProjectionFile(path));
        EXPECT_EQ(runtime.sourceCrs(), c.source);
        EXPECT_EQ(runtime.targetCrs(), c.target);
    }
}

TEST_F(ProjectionFiles, UnopenableFileKeepsThePreviousSystems)
{
    TestProjection projection;
    ASSERT_TRUE(projection.readProjectionFile(projectionFile(QStringLiteral("utm.txt"), "+proj=utm +zone=32")));
    EXPECT_FALSE(projection.readProjectionFile(scratch(QStringLiteral("missing.txt")).toStdString()));
    EXPECT_EQ(projection.sourceCrs(), "EPSG:4326");
    EXPECT_EQ(projection.targetCrs(), "+proj=utm +zone=32");
}

TEST_F(ProjectionFiles, WindowsPathsAreOpenedBelowTheWindowsRoot)
{
    writeFile(platform::winRoot() + QStringLiteral("/c/Surveys/S1/qel_projv6.txt"), projectionText("+proj=merc"));
    TestProjection projection;
    EXPECT_TRUE(projection.readProjectionFile("C:\\SURVEYS\\s1\\qel_projv6.txt"));
    EXPECT_EQ(projection.targetCrs(), "+proj=merc");
}

TEST_F(ProjectionFiles, DefaultsAreWrittenWithCrLfOnlyWhereMissing)
{
    const QString dataFile = platform::toNativePath(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\qel_projv6.txt"));
    QFile::remove(dataFile);
    {
        TestProjection projection;
        EXPECT_EQ(projection.initFromProgramData(), 0);
        EXPECT_EQ(projection.projFile, "C:\\ProgramData\\Tavrin Nautic\\tqel\\qel_projv6.txt");
    }
    EXPECT_EQ(readFile(dataFile), "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n");

    QFile::remove(dataFile);
    {
        QelProj::CProjection runtime;
        EXPECT_TRUE(runtime.isValid());
        EXPECT_EQ(runtime.projFile, "C:\\ProgramData\\Tavrin Nautic\\tqel\\qel_projv6.txt");
    }
    EXPECT_EQ(readFile(dataFile), "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n");

    // An existing file is read, never rewritten.
    const QByteArray utm = projectionText("+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84");
    writeFile(dataFile, utm);
    TestProjection projection;
    QelProj::CProjection runtime;
    EXPECT_EQ(projection.initFromProgramData(), 0);
    EXPECT_EQ(readFile(dataFile), utm);
    EXPECT_EQ(projection.epsgCode(), "32632");
    EXPECT_EQ(runtime.targetCrs(), "+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84");
    QFile::remove(dataFile);
}

TEST_F(ProjectionFiles, InvalidDataFileGivesMinusOne)
{
    const QString dataFile = platform::toNativePath(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\qel_projv6.txt"));
    writeFile(dataFile, "<QEL_Projection>\r\nEPSG:4326\r\n");
    QtWarningCounter warnings;
    TestProjection projection;
    EXPECT_EQ(projection.initFromProgramData(), -1);
    EXPECT_FALSE(projection.isValid());
    EXPECT_EQ(warnings.count(), 1);
    QelProj::CProjection runtime;
    EXPECT_FALSE(runtime.isValid());
    // The unchanged file is not read again, and the result still says there is no projection.
    EXPECT_EQ(runtime.initFromProgramData(), -1);
    QFile::remove(dataFile);
}

struct EpsgCase {
    std::string target;
    std::string code;
};

TEST_F(ProjectionFiles, EpsgCodeOfTheTarget)
{
    const std::vector<EpsgCase> cases = {
        {"+proj=merc +units=cm +ellps=WGS84", "3395"},
        {"+proj=merc +datum=WGS84 +units=cm", "3395"},
        {"+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84", "32632"},
        {"+proj=utm +zone=32 +datum=WGS84 +units=cm", "32632"}, // PROJ takes it as north
        {"+proj=utm +zone=23 +south +datum=WGS84 +units=cm", "32723"},
        {"+proj=utm +zone=5 +north +units=cm", "32605"},
        {"+proj=utm +zone=61 +units=cm", ""},
        {"+proj=utm +units=cm", ""},
        {"+proj=tmerc +lon_0=9 +units=cm", ""},
        {"+proj=stere +lat_0=90 +units=cm", ""},
        {"", ""},
    };
    for (const EpsgCase& c : cases) {
        SCOPED_TRACE(c.target);
        TestProjection projection;
        projection.readProjectionFile(projectionFile(QStringLiteral("epsg.txt"), c.target));
        EXPECT_EQ(projection.epsgCode(), c.code);
    }
}

struct SameCase {
    const char* name;
    std::string a;
    std::string b;
    bool same;
};

// Two definitions of one projection are the same however they are written; a different zone,
// hemisphere, unit or ellipsoid is not, nor is a text PROJ refuses.
TEST_F(ProjectionFiles, SameProjectionIsDecidedByPROJNotByText)
{
    const std::string survey31 = "+proj=utm +zone=31 +ellps=WGS84 +units=cm";
    const std::vector<SameCase> cases = {
        {"written differently", survey31, "+proj=utm +zone=31 +north +approx +units=cm +ellps=WGS84", true},
        {"EPSG code and its text", "EPSG:4326", "+proj=longlat +datum=WGS84 +no_defs +type=crs", true},
        {"other zone", survey31, "+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84", false},
        {"south", survey31, "+proj=utm +zone=31 +south +approx +units=cm +ellps=WGS84", false},
        {"metres", survey31, "+proj=utm +zone=31 +north +units=m +ellps=WGS84", false},
        {"other ellipsoid", survey31, "+proj=utm +zone=31 +north +units=cm +ellps=intl", false},
        {"Mercator", survey31, "+proj=merc +datum=WGS84 +units=cm", false},
        {"refused text", survey31, "+proj=nonsense", false},
        {"empty", "", "", false},
    };
    for (const SameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sameCrs(c.a, c.b), c.same);
        EXPECT_EQ(sameCrs(c.b, c.a), c.same);
    }

    const std::string file = projectionFile(QStringLiteral("same.txt"), "+proj=utm +zone=31 +north +approx +units=cm +ellps=WGS84");
    EXPECT_TRUE(projectionFileMatches(file, "EPSG:4326", survey31));
    EXPECT_FALSE(projectionFileMatches(file, "EPSG:4326", "+proj=utm +zone=32 +ellps=WGS84 +units=cm"));
    EXPECT_FALSE(projectionFileMatches(file + ".missing", "EPSG:4326", survey31));
}

struct ConvertCase {
    const char* name;
    QByteArray oldContent;
    QByteArray target; // empty: nothing may be written
};

TEST_F(ProjectionFiles, OlderSurveyFileIsConverted)
{
    const std::vector<ConvertCase> cases = {
        {"utm north", "QEL\r\nproj=utm\r\nzone=32\r\n", "+proj=utm +zone=32 +north +datum=WGS84 +units=cm"},
        {"utm south, lf", "QEL\nproj=utm\nzone=33\nsouth\n", "+proj=utm +zone=33 +south +datum=WGS84 +units=cm"},
        {"south in the header only", "south\r\nproj=utm\r\nzone=32\r\n", "+proj=utm +zone=32 +north +datum=WGS84 +units=cm"},
        {"mercator", "QEL\r\nproj=merc\r\n", "+proj=merc +north +datum=WGS84 +units=cm"},
        {"utm without zone", "QEL\r\nproj=utm\r\n", ""},
        {"unknown projection", "QEL\r\nproj=nonsense\r\nzone=3\r\n", ""},
        {"header only", "proj=utm zone=32\r\n", ""},
    };
    const QString oldPath = scratch(QStringLiteral("survey/qel_proj.txt"));
    const QString newPath = scratch(QStringLiteral("survey/qel_projv6.txt"));
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(newPath);
        writeFile(oldPath, c.oldContent);
        QtWarningCounter warnings;
        EXPECT_EQ(convertProjectionFile(oldPath.toStdString()), !c.target.isEmpty());
        if (c.target.isEmpty()) {
            EXPECT_FALSE(QFile::exists(newPath));
            EXPECT_EQ(warnings.count(), 1);
            continue;
        }
        EXPECT_EQ(readFile(newPath), "<QEL_Projection>\r\nEPSG:4326\r\n" + c.target + "\r\n");
        TestProjection projection;
        projection.readProjectionFile(newPath.toStdString());
        EXPECT_EQ(projection.createTransformation(), 0);
    }
}

TEST_F(ProjectionFiles, ConversionOfAMissingOlderFileWritesNothing)
{
    QtWarningCounter warnings;
    EXPECT_FALSE(convertProjectionFile("C:\\Surveys\\none\\qel_proj.txt"));
    EXPECT_FALSE(QFile::exists(platform::toNativePath(QStringLiteral("C:\\Surveys\\none\\qel_projv6.txt"))));
    EXPECT_EQ(warnings.count(), 1);
}

TEST_F(ProjectionFiles, ConvertedFileLandsBesideTheOlderOne)
{
    const QByteArray old = "QEL\r\nproj=utm\r\nzone=32\r\n";
    const QString root = platform::winRoot();
    struct Case {
        std::string oldPath;
        QString written;
    };
    const std::vector<Case> cases = {
        {"C:\\Surveys\\S1\\qel_proj.txt", root + QStringLiteral("/c/Surveys/S1/qel_projv6.txt")},
        {"C:/Surveys/S2//qel_proj.txt", root + QStringLiteral("/c/Surveys/S2/qel_projv6.txt")},
        {"C:\\Surveys\\S3//qel_proj.txt", root + QStringLiteral("/c/Surveys/S3/qel_projv6.txt")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oldPath);
        writeFile(platform::toNativePath(QString::fromStdString(c.oldPath)), old);
        writeFile(c.written, "stale");
        EXPECT_TRUE(convertProjectionFile(c.oldPath));
        EXPECT_EQ(readFile(c.written), projectionText("+proj=utm +zone=32 +north +datum=WGS84 +units=cm"));
    }

    // A bare name: the working folder.
    const QString work = scratch(QStringLiteral("work"));
    QDir().mkpath(work);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    writeFile(QDir(work).filePath(QStringLiteral("qel_proj.txt")), old);
    EXPECT_TRUE(convertProjectionFile("qel_proj.txt"));
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(QDir(work).filePath(QStringLiteral("qel_projv6.txt"))));
}

struct HashCase {
    QByteArray content;
    std::uint32_t hash; // low 32 bits of the published 64-bit FNV-1a values
};

TEST_F(ProjectionFiles, FileHashIsTheLowHalfOfFnv1a64)
{
    const std::vector<HashCase> cases = {
        {"", 0x84222325u},     // cbf29ce484222325
        {"a", 0x8601ec8cu},    // af63dc4c8601ec8c
        {"abc", 0x0541574bu},  // e71fa2190541574b
        {"foobar", 0xf73967e8u}, // 85944171f73967e8
    };
    for (const HashCase& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        const std::string path = writeFile(scratch(QStringLiteral("hash.txt")), c.content);
        EXPECT_EQ(projectionFileHash(path), static_cast<std::int32_t>(c.hash));
    }
    EXPECT_EQ(projectionFileHash(scratch(QStringLiteral("none.txt")).toStdString()), -1);

    // Bytes past the first read block count, and line ends are hashed as they are.
    QByteArray big(40000, 'p');
    const std::int32_t nBig = projectionFileHash(writeFile(scratch(QStringLiteral("hash.txt")), big));
    big[39999] = 'q';
    EXPECT_NE(projectionFileHash(writeFile(scratch(QStringLiteral("hash.txt")), big)), nBig);
    EXPECT_NE(projectionFileHash(writeFile(scratch(QStringLiteral("hash.txt")), "a\r\nb\r\n")),
              projectionFileHash(writeFile(scratch(QStringLiteral("hash.txt")), "a\nb\n")));
}

TEST_F(ProjectionFiles, UnchangedFileIsNotReadAgain)
{
    QelProj::CProjection runtime;
    const std::string path = projectionFile(QStringLiteral("survey.txt"), "+proj=utm +zone=32 +north +datum=WGS84 +units=cm");
    EXPECT_TRUE(runtime.loadProjectionFile(path));
    EXPECT_EQ(runtime.projFile, path);
    EXPECT_EQ(runtime.fileHash(), projectionFileHash(path));
    EXPECT_FALSE(runtime.loadProjectionFile(path));
    EXPECT_FALSE(runtime.readProjectionFile(path));

    // One character changed: read again.
    projectionFile(QStringLiteral("survey.txt"), "+proj=utm +zone=33 +north +datum=WGS84 +units=cm");
    EXPECT_TRUE(runtime.readProjectionFile(path));
    EXPECT_EQ(runtime.targetCrs(), "+proj=utm +zone=33 +north +datum=WGS84 +units=cm");

    // An unreadable file is one change, then unchanged; the systems stay.
    const std::string missing = scratch(QStringLiteral("gone.txt")).toStdString();
    EXPECT_TRUE(runtime.readProjectionFile(missing));
    EXPECT_EQ(runtime.fileHash(), -1);
    EXPECT_FALSE(runtime.readProjectionFile(missing));
    EXPECT_EQ(runtime.targetCrs(), "+proj=utm +zone=33 +north +datum=WGS84 +units=cm");
}

} // namespace

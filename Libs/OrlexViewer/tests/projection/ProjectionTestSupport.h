// Helpers of the projection tests: files, PROJ's cs2cs as the reference, log capture.
#pragma once

#include "Projection/Projection.h"
#include "Projection/QelProjection.h"

#include <gtest/gtest.h>

#include <log4cplus/appender.h>
#include <log4cplus/logger.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cmath>
#include <string>
#include <vector>

namespace projtest {

struct Point {
    double a;
    double b;
};

// A CProjection of its own, apart from the process-wide one.
class TestProjection : public CProjection {
public:
    TestProjection() = default;
};

inline QString scratch(const QString& name)
{
    const QString dir = QDir(qEnvironmentVariable("CORV_TEST_SCRATCH")).filePath(QStringLiteral("files"));
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

inline std::string writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    return path.toStdString();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray projectionText(const std::string& target)
{
    return QByteArray("<QEL_Projection>\r\nEPSG:4326\r\n") + QByteArray::fromStdString(target) + "\r\n";
}

// A projection file with that target line, in the scratch folder.
inline std::string projectionFile(const QString& name, const std::string& target)
{
    return writeFile(scratch(name), projectionText(target));
}

// PROJ's cs2cs between two CRS given as words; each point "a b" in, the first two numbers of
// each output line out (infinite where cs2cs prints "*").
inline std::vector<Point> cs2cs(const QStringList& crsWords, const std::vector<Point>& points)
{
    QProcess process;
    process.start(QStringLiteral("cs2cs"), QStringList{QStringLiteral("-f"), QStringLiteral("%.9f")} + crsWords);
    EXPECT_TRUE(process.waitForStarted(10000)) << "cs2cs (proj-bin) is needed";
    QByteArray input;
    for (const Point& point : points)
        input += QByteArray::number(point.a, 'f', 12) + ' ' + QByteArray::number(point.b, 'f', 12) + '\n';
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<Point> result;
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        bool bA = false;
        bool bB = false;
        const double dA = fields[0].toDouble(&bA);
        const double dB = fields[1].toDouble(&bB);
        result.push_back({bA ? dA : HUGE_VAL, bB ? dB : HUGE_VAL});
    }
    EXPECT_EQ(result.size(), points.size());
    return result;
}

inline QStringList words(const std::string& text)
{
    return QString::fromStdString(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Counts the warnings of CProjection (Qt messages) while it lives.
class QtWarningCounter {
public:
    QtWarningCounter()
    {
        s_count = 0;
        m_previous = qInstallMessageHandler(&QtWarningCounter::handle);
    }
    ~QtWarningCounter() { qInstallMessageHandler(m_previous); }
    int count() const { return s_count; }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg && text.startsWith(QLatin1String("CProjection:")))
            ++s_count;
    }
    static inline std::atomic<int> s_count{0};
    QtMessageHandler m_previous = nullptr;
};

// Counts the runtime link's log lines while it lives.
class RuntimeLogCounter {
public:
    RuntimeLogCounter()
        : m_appender(new CountingAppender)
    {
        logger().addAppender(m_appender);
    }
    ~RuntimeLogCounter() { logger().removeAppender(m_appender); }
    int count() const { return static_cast<CountingAppender*>(m_appender.get())->count; }

private:
    struct CountingAppender : log4cplus::Appender {
        ~CountingAppender() override { destructorImpl(); }
        void close() override {}
        void append(const log4cplus::spi::InternalLoggingEvent&) override { ++count; }
        std::atomic<int> count{0};
    };
    static log4cplus::Logger logger() { return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime")); }
    log4cplus::SharedAppenderPtr m_appender;
};

} // namespace projtest

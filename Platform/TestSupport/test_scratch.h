// Per-test scratch folders: the Windows root and the pipe folder live below the build tree.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace corvtest {

// Empties and recreates the folders named by CORV_WINROOT and DREMM_PIPE_DIR; when the test
// runs outside ctest, points them and CORV_TEST_SCRATCH at a fresh temporary folder.
inline void prepareScratch()
{
    static QTemporaryDir fallback;
    if (qEnvironmentVariableIsEmpty("CORV_WINROOT"))
        qputenv("CORV_WINROOT", QDir(fallback.path()).filePath("root").toUtf8());
    if (qEnvironmentVariableIsEmpty("DREMM_PIPE_DIR"))
        qputenv("DREMM_PIPE_DIR", QDir(fallback.path()).filePath("pipes").toUtf8());
    if (qEnvironmentVariableIsEmpty("CORV_TEST_SCRATCH"))
        qputenv("CORV_TEST_SCRATCH", fallback.path().toUtf8());
    for (const char* var : {"CORV_WINROOT", "DREMM_PIPE_DIR"}) {
        QDir dir(qEnvironmentVariable(var));
        dir.removeRecursively();
        QDir().mkpath(dir.path());
    }
    QFile::setPermissions(qEnvironmentVariable("DREMM_PIPE_DIR"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The scratch folder of this test executable (a fresh temporary folder outside ctest).
inline QString scratchDir()
{
    return qEnvironmentVariable("CORV_TEST_SCRATCH");
}

} // namespace corvtest

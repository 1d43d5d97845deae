#include "QtAppFramework/DBoperations.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(qEnvironmentVariable("CORV_WINROOT")).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

TEST(TranslateChar, LoadedOnlyWithAtLeastHundredBytes)
{
    QByteArray full(150, '\0');
    for (int i = 0; i < full.size(); ++i)
        full[i] = static_cast<char>(i);

    struct Case { const char* name; QByteArray bytes; bool loaded; };
    const Case cases[] = {
        {"exact.bin", full.left(100), true},
        {"longer.bin", full, true},
        {"short.bin", full.left(99), false},
        {"empty.bin", QByteArray(), false},
    };
    for (const Case& c : cases) {
        const QByteArray path = QFile::encodeName(writeFile(QString::fromLatin1(c.name), c.bytes));
        CTranslateChar table(path.constData());
        EXPECT_EQ(table.isLoaded(), c.loaded) << c.name;
        const int nCopied = std::min(c.bytes.size(), 100);
        EXPECT_EQ(std::memcmp(table.table(), c.bytes.constData(), static_cast<size_t>(nCopied)), 0) << c.name;
        EXPECT_EQ(table.table()[100], 0) << "only the first 100 bytes are read";
    }
}

TEST(DBoperations, StartsTheSameWithOrWithoutTranslationFile)
{
    CDBoperations withoutFile("QelExt", "/nonexistent/translate.bin");
    EXPECT_STREQ(withoutFile.getName(), "QelExt");
    EXPECT_FALSE(withoutFile.getTranslation().isLoaded());

    const QByteArray path = QFile::encodeName(writeFile(QStringLiteral("translate.bin"), QByteArray(100, 'x')));
    CDBoperations withFile("QelExt", path.constData());
    EXPECT_TRUE(withFile.getTranslation().isLoaded());
}

TEST(DBoperations, LongNamesAreCutAtThirtyOneCharacters)
{
    const std::string longName(64, 'n');
    CDBoperations ops(longName.c_str(), nullptr);
    EXPECT_EQ(std::strlen(ops.getName()), 31u);
    CDBoperations unnamed(nullptr, nullptr);
    EXPECT_STREQ(unnamed.getName(), "");
}

} // namespace

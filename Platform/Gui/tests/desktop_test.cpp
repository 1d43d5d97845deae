#include "platform/desktop.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QObject>

namespace {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(Desktop, HandsUrlsAndMappedFilesToTheHandler)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");

    EXPECT_TRUE(platform::openUrl(QUrl(QStringLiteral("http://127.0.0.1:8188/pages/help.html"))));
    EXPECT_TRUE(platform::openFile(QStringLiteral("C:\\Temp\\manual.pdf")));
    EXPECT_FALSE(platform::openFile(QString()));
    EXPECT_FALSE(platform::openUrl(QUrl()));

    ASSERT_EQ(recorder.urls.size(), 2);
    EXPECT_EQ(recorder.urls[0].toString(), QStringLiteral("http://127.0.0.1:8188/pages/help.html"));
    EXPECT_EQ(recorder.urls[1].toLocalFile(), platform::winRoot() + QStringLiteral("/c/Temp/manual.pdf"));

    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace

#include "desktop_test.moc"

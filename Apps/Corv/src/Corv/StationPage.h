// The web dock's page: shows the processing station's page with the fewest rights that still
// show it (no local files, plugins, pop-ups, downloads or device permissions).
#pragma once

#include <QUrl>
#include <QWebEnginePage>

class QWebEngineProfile;

class CStationPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CStationPage(QObject* poParent = nullptr);

    // Only plain web addresses are opened: no files, resources or other schemes.
    static bool isAllowedAddress(const QUrl& oUrl);
    // The profile of every station page: in memory only, downloads refused.
    static QWebEngineProfile* stationProfile();

protected:
    bool acceptNavigationRequest(const QUrl& oUrl, NavigationType eType, bool bMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType eType) override;
};

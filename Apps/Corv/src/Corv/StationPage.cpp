#include "StationPage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

QWebEngineProfile* CStationPage::stationProfile()
{
    // Off the record (no name): nothing of the page is kept on disk.
    static QWebEngineProfile* s_poProfile = [] {
        auto* poProfile = new QWebEngineProfile(QCoreApplication::instance());
        poProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        poProfile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        QObject::connect(poProfile, &QWebEngineProfile::downloadRequested, poProfile, [](QWebEngineDownloadItem* poItem) {
            qWarning().noquote() << "Station page: download refused:" << poItem->url().toString();
            poItem->cancel();
        });
        return poProfile;
    }();
    return s_poProfile;
}

CStationPage::CStationPage(QObject* poParent) : QWebEnginePage(stationProfile(), poParent)
{
    QWebEngineSettings* poSettings = settings();
    for (const QWebEngineSettings::WebAttribute eOff :
         {QWebEngineSettings::LocalContentCanAccessFileUrls, QWebEngineSettings::LocalContentCanAccessRemoteUrls,
          QWebEngineSettings::PluginsEnabled, QWebEngineSettings::JavascriptCanOpenWindows,
          QWebEngineSettings::JavascriptCanAccessClipboard, QWebEngineSettings::JavascriptCanPaste,
          QWebEngineSettings::FullScreenSupportEnabled, QWebEngineSettings::ScreenCaptureEnabled,
          QWebEngineSettings::AllowRunningInsecureContent, QWebEngineSettings::AllowGeolocationOnInsecureOrigins,
          QWebEngineSettings::AllowWindowActivationFromJavaScript, QWebEngineSettings::PdfViewerEnabled,
          QWebEngineSettings::DnsPrefetchEnabled})
        poSettings->setAttribute(eOff, false);
    poSettings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    // Camera, microphone, location, notifications and the like: always refused.
    connect(this, &QWebEnginePage::featurePermissionRequested, this, [this](const QUrl& oOrigin, Feature eFeature) {
        setFeaturePermission(oOrigin, eFeature, PermissionDeniedByUser);
    });
}

bool CStationPage::isAllowedAddress(const QUrl& oUrl)
{
    const QString strScheme = oUrl.scheme().toLower();
    return oUrl.isValid() && (strScheme == QLatin1String("http") || strScheme == QLatin1String("https")) && !oUrl.host().isEmpty();
}

bool CStationPage::acceptNavigationRequest(const QUrl& oUrl, NavigationType eType, bool bMainFrame)
{
    if (!isAllowedAddress(oUrl)) {
        qWarning().noquote() << "Station page: not opened:" << oUrl.toString();
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(oUrl, eType, bMainFrame);
}

QWebEnginePage* CStationPage::createWindow(WebWindowType)
{
    return nullptr;
}

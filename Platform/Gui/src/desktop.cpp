#include "platform/desktop.h"

#include "platform/paths.h"

#include <QDesktopServices>

namespace platform {

bool openUrl(const QUrl& url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

bool openFile(const QString& path)
{
    const QString local = toNativePath(path);
    if (local.isEmpty())
        return false;
    return openUrl(QUrl::fromLocalFile(local));
}

} // namespace platform

// Opening a web address or a file with the desktop's handler (the shell's URL handler).
#pragma once

#include <QString>
#include <QUrl>

namespace platform {

bool openUrl(const QUrl& url);

// A Windows or local file path, mapped with toNativePath.
bool openFile(const QString& path);

} // namespace platform

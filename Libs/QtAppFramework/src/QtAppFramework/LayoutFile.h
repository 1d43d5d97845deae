// Layout file of a main window: one length byte, the window geometry, then the window state.
#pragma once

#include <QByteArray>
#include <QString>

class QMainWindow;

class CLayoutFile {
public:
    // A larger file is not a layout file.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // strFileName with strExtension appended unless it already ends with it (case-sensitive).
    static QString completeName(const QString& strFileName, const QString& strExtension);
    // Writes the window's layout through a temporary file, so a failed save keeps the old
    // file. Returns a null text on success, else the error text.
    static QString save(QMainWindow* poWindow, const QString& strFileName);
    // Writes one layout record; a geometry longer than 255 bytes is refused.
    static QString write(const QString& strFileName, const QByteArray& baGeometry, const QByteArray& baState);
    // Applies a layout file: the geometry first, then the state (version 0). Returns a null
    // text on success, else the error text; a file that fails any check changes nothing.
    static QString load(QMainWindow* poWindow, const QString& strFileName);
    // Applies the bytes of a layout file. The geometry is checked and kept within the available
    // screens, the state is checked against the window state format before Qt reads either;
    // false when a check fails, and then the window is left as it was.
    static bool apply(QMainWindow* poWindow, const QByteArray& baFile);
};

// Collects the files of a folder tree that are due to be sent again, with a record of what was
// sent and when; shared by the remote-station sender and the watched-folder uploader.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>

#include <functional>

class CFileCollector {
public:
    // Files read by one collection, by absolute path, with their last-modified times (s).
    struct Collected {
        QMap<QString, QByteArray> files;
        QHash<QString, qint64> modified;
    };

    // Collection stops after the file that takes the total above this many bytes; a file larger
    // than this alone is skipped unread.
    static constexpr qint64 s_nMaxTotalBytes = 51200000;

    // Seconds a file must be newer than its recorded send to be taken again; read per file.
    std::function<qint64()> quarantineSeconds = [] { return qint64(30); };
    // Information traces ("Get all terrain files", "Getting %1", ...); none when unset.
    std::function<void(const QString&)> info;
    // The warning text put before the collected total when the byte limit stops a collection.
    QString strTooMuchWarning = QStringLiteral("getAllFileData - WARNING - collected too much data from files:");

    // Every file below 'folder' (a local path) matching 'filter', recursively. onlyChanged takes
    // a file only when it changed more than the quarantine after its recorded send; terrainOnly
    // with a ".tiff" filter keeps terrain files only from "/zMedian/" trees; minutes > 0 skips
    // files older than that. Reads the files; records nothing.
    Collected collect(const QString& folder, const QString& filter, bool onlyChanged, bool terrainOnly,
                      unsigned minutes) const;

    // Records a file as sent with the modification time it had when collected.
    void markSent(const QString& path, qint64 modified) { m_hashSent.insert(path, modified); }
    void markAllSent(const Collected& collected);
    // Forgets every send, so that the next collection takes every file again.
    void forgetSent() { m_hashSent.clear(); }
    qint64 sentTime(const QString& path) const { return m_hashSent.value(path, 0); }

private:
    QHash<QString, qint64> m_hashSent;
};

// The ship-track loader: reads the track files of a survey's "tracks" folder and hands them to
// the survey's grid. One per process, GUI thread only.
#pragma once

#include "OrlexViewer/TrackRecord.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class COrlexGrid;

class CHandleTracks : public QObject
{
    Q_OBJECT
public:
    static CHandleTracks* instance();

    // The tracks of a survey that has just opened: the files found become the known files.
    // False without a grid, without new files or when a file cannot be read.
    bool openTracks(COrlexGrid* poGrid);
    // New tracks of a survey: as openTracks, but the known files stay as they are; the new
    // files' paths, joined by ";", go to strNames.
    bool updateTracks(COrlexGrid* poGrid, QString& strNames);

    // Track and coverage files of the track folder not known yet, in name order.
    QStringList listTrackFiles() const;
    // Reads the track files among the paths; null when one cannot be opened. A track keeps at
    // most a million points, a load four million.
    const TrackSet* loadTracks(const QStringList& lstPaths);
    // The survey manager's track-line colour into both colours; origins and points cleared.
    void applyTrackColor(TrackRecord& oRecord) const;

    const TrackSet* trackSet() const { return m_poSet.get(); }
    QStringList knownFiles() const { return m_lstKnownFiles; }

private:
    CHandleTracks();
    bool readTrackFile(const QString& strPath, TrackRecord& oRecord, qint64& nBudget) const;
    bool loadInto(COrlexGrid* poGrid, bool bOpening, QString* pstrNames);

    QString m_strTrackFolder;
    std::unique_ptr<TrackSet> m_poSet;
    QStringList m_lstKnownFiles;
};

// The installation's survey bookkeeping in "SurveyInfo.ini" of the data folder: data roots and,
// per sounder, the current survey with its projection, grid size, comment, line and history.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <string>

class CSurveyData {
public:
    // Opens the settings file; nothing is read yet.
    CSurveyData();
    virtual ~CSurveyData();
    CSurveyData(const CSurveyData&) = delete;
    CSurveyData& operator=(const CSurveyData&) = delete;

    // Re-reads the file and takes the common keys and those of the sounder's group. The first
    // load in the process writes the file back (save), so it holds every key afterwards.
    bool load(const std::string& strSounderName);
    // Writes the keys of the loaded sounder back; false (nothing written) before any load.
    bool save();

    std::string getGridDataRoot();
    std::string getRawDataRoot();

    // Creates the current survey's grid folder when missing and copies the projection template
    // "<projection>.projsetup" of the data folder's "proj4" folder into it as "qel_projv6.txt",
    // never replacing an existing file. Returns the path of that file.
    std::string prepareGridFolder();

private:
    std::string m_strSounderName;
    QSettings m_oSettings;
    int m_nCurrentLine = 0;
    QString m_strRawDataRoot;
    QString m_strCurrentSurvey;
    QString m_strProjection;
    QString m_strComment;
    QStringList m_lstPreviousSurveys;
    int m_nGridSize = 0;
    int m_nNumGridCells = 0;
    bool m_bLoaded = false;
};

// Texts of the main window that follow fixed rules: QA log entries, the map-scale edit and the
// log level of runtime events.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// One entry of the QA log file (without its final line end): the message on one line after its
// time stamp, preceded by the new-session header when bNewSession is set, and followed by an
// empty line unless dtNow and dtLast fall in the same millisecond.
QString qaLogEntry(const QString& strMsg, const QDateTime& dtNow, const QDateTime& dtLast, bool bNewSession);

// The scale denominator of the scale edit's text ("1:25000" or "25000"); false when it is none
// or not above 1.
bool scaleFromText(const QString& strText, int& nScale);

// The window title for a sounder model, spelled as the sounder menu spells it ("Ulma 2200").
QString sounderWindowTitle(int nModel);

// Where a runtime event's line goes: the Output pane, or the Debug pane only (an event without
// text, or the same text as the previous event of that code, such as the periodic ping mode).
class CRuntimeEventLines
{
public:
    // True when the line for (nCode, strParams) belongs in the Output pane; remembers the text.
    bool forOutput(int nCode, const QString& strParams);

private:
    QHash<int, QString> m_lastByCode;
};

// Edge file names: the ids that stand for the files exchanged with the edge collector.
#pragma once

#include <QHash>
#include <QString>

// Id -> file-name pattern, "SOUNDER_NAME" standing for the sounder; built anew on each call.
QHash<int, QString> edgeFileNameTable();

// The id of a bare file name (0 when none matches); the sounder name found in it goes to
// sounderName (left alone when the name holds no "_").
int edgeFileIdFromName(const QString& name, QString& sounderName);

// The file name of an id for a sounder; empty for an empty sounder name or an unknown id.
QString edgeFileNameFromId(int id, const QString& sounderName);

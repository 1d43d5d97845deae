// One file moved between programs: its bytes, name, source folder and vessel, as a CBOR map.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class CQelData {
public:
    QString MessageType; // the file's name without folder
    QString VesselID;    // "default" when the sender has none
    QString SourcePath;  // the folder, "/"-separated, without a trailing separator
    QString MetaData;    // reserved, written empty
    QByteArray Data;     // the file's contents

    // The CBOR map {"Data" (base64 text), "MessageType", "MetaData", "SourcePath", "VesselID"}.
    QByteArray serialize() const;
    // Reads one CBOR item; null for damaged input. A well-formed item that is not a map gives a
    // record with every field empty; keys may come in any order, missing keys read as empty.
    static std::shared_ptr<CQelData> deserialize(const QByteArray& baInput);
    static std::shared_ptr<CQelData> deserialize(const char* pData, std::size_t nSize);

    // Packs a file for the remote stations: vessel "default", MessageType the last component of
    // the path, SourcePath the rest ("." for a bare name). "/" and "\" both separate.
    static QByteArray packDefaultVessel(const QString& strPath, const QByteArray& baData);
    // Packs a file for the edge upload: split like packDefaultVessel only when the name holds a
    // drive ("X:/", "X:\") or a double separator; otherwise the whole name with no SourcePath.
    static QByteArray packForEdge(const QString& strName, const QString& strVessel, const QByteArray& baData);
};

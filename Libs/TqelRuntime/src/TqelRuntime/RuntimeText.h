// Text helpers of the runtime link's datagram handlers (not part of the library's interface).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

namespace runtime_text {

// Whether the talker of a "$" sentence (the text before its first comma) holds szWord at
// position nFrom or later.
bool talkerHas(const QByteArray& baDatagram, const char* szWord, int nFrom);

// Strict conversions: leading blanks, then a number; what follows is ignored. A text without a
// number throws std::invalid_argument ("invalid stoi argument", "invalid stof argument"), a
// value out of range (or not finite) std::out_of_range.
int toInt(const std::string& strText);
float toFloat(const std::string& strText);

// A Windows path from a peer with "\" turned into "/"; empty when it is empty or has a ".."
// component.
QString peerPath(const QString& strPath);
// Whether a peer's path lies below one of the roots (compared without case, as on Windows).
bool isBelowRoot(const QString& strPath, const QStringList& lstRoots);
// A single path component: not empty, not "." or "..", without "/", "\" or ":".
bool isPlainName(const QString& strName);

} // namespace runtime_text

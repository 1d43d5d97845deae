// Readable GoogleTest output for Qt values; included into every test source.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* os)
{
    *os << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QByteArray& value, std::ostream* os)
{
    *os << "QByteArray(\"" << value.toStdString() << "\")";
}

inline void PrintTo(const QStringList& value, std::ostream* os)
{
    *os << '[' << value.join(QStringLiteral(", ")).toStdString() << ']';
}

inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << "QVariant(" << value.typeName() << ", " << value.toString().toStdString() << ')';
}

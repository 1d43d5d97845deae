// Reads tokens through the process-wide store of a fresh process and prints what it got, one
// line per argument: "int:NAME", "double:NAME", "str:NAME" or "rec:NAME".
#include "Common/GetToken.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const QString kind = arg.section(QLatin1Char(':'), 0, 0);
        const QByteArray name = arg.section(QLatin1Char(':'), 1).toLocal8Bit();
        QString result;
        if (kind == QLatin1String("int")) {
            result = QString::number(g_getToken.getTokValueInt(name.constData()));
        } else if (kind == QLatin1String("double")) {
            result = QString::number(g_getToken.getTokValueDouble(name.constData()), 'g', 17);
        } else if (kind == QLatin1String("str")) {
            result = QString::fromLocal8Bit(g_getToken.getTokValueStr(name.constData()).c_str());
        } else if (kind == QLatin1String("rec")) {
            TokenRecord record;
            const int rc = g_getToken.get_token_value(name.constData(), &record);
            result = QStringLiteral("%1 %2 %3 %4 %5|%6")
                         .arg(rc)
                         .arg(record.type)
                         .arg(record.intValue)
                         .arg(record.doubleValue, 0, 'g', 17)
                         .arg(QString::fromLocal8Bit(record.stringValue.c_str()), QString::fromStdString(record.description));
        } else {
            std::fprintf(stderr, "unknown request %s\n", argv[i]);
            return 2;
        }
        std::printf("%s=%s\n", name.constData(), result.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    return 0;
}

#include "QtAppFramework/LayoutFile.h"

#include "platform/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QMainWindow>
#include <QSaveFile>

namespace {

QString tr(const char* szText)
{
    return QCoreApplication::translate("CLayoutFile", szText);
}

QString writeError(const QString& strFileName, const QString& strReason)
{
    return tr("Error writing to %1\n%2").arg(strFileName, strReason);
}

} // namespace

QString CLayoutFile::completeName(const QString& strFileName, const QString& strExtension)
{
    return strFileName.endsWith(strExtension, Qt::CaseSensitive) ? strFileName : strFileName + strExtension;
}

QString CLayoutFile::save(QMainWindow* poWindow, const QString& strFileName)
{
    if (!poWindow)
        return writeError(strFileName, tr("No window"));
    return write(strFileName, poWindow->saveGeometry(), poWindow->saveState(0));
}

QString CLayoutFile::write(const QString& strFileName, const QByteArray& baGeometry, const QByteArray& baState)
{
    QSaveFile oFile(platform::toNativePath(strFileName));
    if (!oFile.open(QIODevice::WriteOnly))
        return tr("Failed to open %1\n%2").arg(strFileName, oFile.errorString());
    // The length byte cannot describe a longer geometry; wrapping it would make a bad file.
    if (baGeometry.size() > 255) {
        oFile.cancelWriting();
        return writeError(strFileName, tr("Window geometry of %1 bytes is too long").arg(baGeometry.size()));
    }
    const char cLength = static_cast<char>(static_cast<unsigned char>(baGeometry.size()));
    if (!oFile.putChar(cLength) || oFile.write(baGeometry) != baGeometry.size()
        || oFile.write(baState) != baState.size()) {
        const QString strError = writeError(strFileName, oFile.errorString());
        oFile.cancelWriting();
        return strError;
    }
    // Only a complete file replaces the previous one.
    if (!oFile.commit())
        return writeError(strFileName, oFile.errorString());
    return QString();
}

QString CLayoutFile::load(QMainWindow* poWindow, const QString& strFileName)
{
    QFile oFile(platform::toNativePath(strFileName));
    if (!oFile.open(QIODevice::ReadOnly))
        return tr("Failed to open %1\n%2").arg(strFileName, oFile.errorString());
    const QString strReadError = tr("Error reading %1").arg(strFileName);
    if (!poWindow || oFile.size() > MaxFileSize)
        return strReadError;

    if (!apply(poWindow, oFile.readAll()))
        return strReadError;
    return QString();
}

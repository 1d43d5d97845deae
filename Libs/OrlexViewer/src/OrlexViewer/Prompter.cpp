#include "OrlexViewer/Prompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QToolTip>

namespace {

CPrompter* s_pInstalled = nullptr;

} // namespace

QMessageBox::StandardButton CPrompter::question(QWidget* pParent, const QString& strTitle, const QString& strText,
                                                QMessageBox::StandardButtons buttons)
{
    return QMessageBox::question(pParent, strTitle, strText, buttons);
}

QAction* CPrompter::popup(QMenu& menu, const QPoint& oGlobalPos)
{
    return menu.exec(oGlobalPos);
}

void CPrompter::toolTip(const QPoint& oGlobalPos, const QString& strText, QWidget* pWidget, int nMsecDisplayTime)
{
    if (strText.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(oGlobalPos, strText, pWidget, QRect(), nMsecDisplayTime);
}

QMessageBox::StandardButton CPrompter::warning(QWidget* pParent, const QString& strTitle, const QString& strText,
                                               QMessageBox::StandardButtons buttons)
{
    return QMessageBox::warning(pParent, strTitle, strText, buttons);
}

int CPrompter::execDialog(QDialog& dialog)
{
    return dialog.exec();
}

bool CPrompter::getInt(QWidget* pParent, const QString& strTitle, const QString& strLabel, int nValue, int nMin,
                       int nMax, int nStep, int& nResult)
{
    bool bOk = false;
    nResult = QInputDialog::getInt(pParent, strTitle, strLabel, nValue, nMin, nMax, nStep, &bOk);
    return bOk;
}

QString CPrompter::saveFileName(QWidget* pParent, const QString& strCaption, const QString& strDir,
                                const QString& strFilter)
{
    return QFileDialog::getSaveFileName(pParent, strCaption, strDir, strFilter);
}

QString CPrompter::openFileName(QWidget* pParent, const QString& strCaption, const QString& strDir,
                                const QString& strFilter)
{
    return QFileDialog::getOpenFileName(pParent, strCaption, strDir, strFilter);
}

void CPrompter::information(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    QMessageBox::information(pParent, strTitle, strText, QMessageBox::Ok);
}

QString CPrompter::existingDirectory(QWidget* pParent, const QString& strCaption, const QString& strDir)
{
    return QFileDialog::getExistingDirectory(pParent, strCaption, strDir,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

CPrompter& CPrompter::current()
{
    static CPrompter s_default;
    return s_pInstalled ? *s_pInstalled : s_default;
}

CPrompter* CPrompter::install(CPrompter* pPrompter)
{
    CPrompter* pPrevious = s_pInstalled;
    s_pInstalled = pPrompter;
    return pPrevious;
}

#include "OrlexViewer/Prompter.h"

#include <QDialog>
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

void CPrompter::warning(QWidget* pParent, const QString& strTitle, const QString& strText)
{
    QMessageBox::warning(pParent, strTitle, strText, QMessageBox::Ok);
}

int CPrompter::execDialog(QDialog& oDialog)
{
    return oDialog.exec();
}

QAction* CPrompter::popup(QMenu& menu, const QPoint& oGlobalPos)
{
    return menu.exec(oGlobalPos);
}

void CPrompter::toolTip(const QPoint& oGlobalPos, const QString& strText, QWidget* pWidget)
{
    if (strText.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(oGlobalPos, strText, pWidget);
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

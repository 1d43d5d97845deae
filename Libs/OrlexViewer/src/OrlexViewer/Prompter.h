// What the controller puts in front of the operator (question boxes, pop-up menus, tool tips),
// behind one replaceable object so that tests can answer without a modal loop.
#pragma once

#include <QMessageBox>
#include <QPoint>
#include <QString>

class QAction;
class QDialog;
class QMenu;
class QWidget;

class CPrompter
{
public:
    virtual ~CPrompter() = default;

    virtual QMessageBox::StandardButton question(QWidget* pParent, const QString& strTitle, const QString& strText,
                                                 QMessageBox::StandardButtons buttons);
    // The chosen action; null when the menu was closed without a choice.
    virtual QAction* popup(QMenu& menu, const QPoint& oGlobalPos);
    // An empty text hides the tip.
    virtual void toolTip(const QPoint& oGlobalPos, const QString& strText, QWidget* pWidget, int nMsecDisplayTime = -1);
    virtual QMessageBox::StandardButton warning(QWidget* pParent, const QString& strTitle, const QString& strText,
                                                QMessageBox::StandardButtons buttons);
    // Runs the dialog modally; QDialog::Accepted or Rejected.
    virtual int execDialog(QDialog& dialog);
    // False when cancelled.
    virtual bool getInt(QWidget* pParent, const QString& strTitle, const QString& strLabel, int nValue, int nMin,
                        int nMax, int nStep, int& nResult);
    // Empty when cancelled.
    virtual QString saveFileName(QWidget* pParent, const QString& strCaption, const QString& strDir,
                                 const QString& strFilter);
    virtual QString openFileName(QWidget* pParent, const QString& strCaption, const QString& strDir,
                                 const QString& strFilter);
    // An information box with an OK button.
    virtual void information(QWidget* pParent, const QString& strTitle, const QString& strText);
    // A folder chosen in a folder dialog (folders only, symbolic links not resolved); empty when
    // cancelled.
    virtual QString existingDirectory(QWidget* pParent, const QString& strCaption, const QString& strDir);

    // The prompter in use; the default one shows real boxes and menus.
    static CPrompter& current();
    // Installs a prompter (null restores the default) and returns the one it replaces; the caller
    // keeps ownership.
    static CPrompter* install(CPrompter* pPrompter);
};

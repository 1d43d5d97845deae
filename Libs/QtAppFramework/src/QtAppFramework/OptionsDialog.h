// The options dialog: a tree of page names, the selected page, a description frame, OK and
// Cancel. OK applies every page's edits, Cancel reverts them.
#pragma once

#include "QtAppFramework/SettingsDescriptionFrame.h"
#include "QtAppFramework/SettingsPageMap.h"

#include <QDialog>

class CSettingsNodeComponent;
class QAbstractButton;
class QDialogButtonBox;
class QGridLayout;
class QHBoxLayout;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

class COptionsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit COptionsDialog(QWidget* poParent = nullptr);
    ~COptionsDialog() override;

    void addNode(CSettingsNodeComponent* poNode);

public slots:
    virtual void init();
    virtual void apply(bool bForce);
    void apply() { apply(false); }
    virtual void cancel();
    void activate();
    void deactivate();
    void handleTreeItemChanged(QTreeWidgetItem* poItemCurr, QTreeWidgetItem* poItemPrev);
    void handleStackedWidgetChanged(int nIndex);
    void handleButtonClick(QAbstractButton* poButton);
    void setInfo(QString& strTitle, QString& strDescription);
    // Closing the dialog any other way (Escape, the window's close button) cancels as well.
    void reject() override;

protected:
    void setupUi(QDialog* poDialog);
    void retranslateUi(QDialog* poDialog);

    QGridLayout* m_poGridLayout = nullptr;
    QHBoxLayout* m_poHorizontalLayout = nullptr;
    QTreeWidget* m_poTreeWidget = nullptr;
    QVBoxLayout* m_poVerticalLayout = nullptr;
    QStackedWidget* m_poStackedWidget = nullptr;
    CSettingsDescriptionFrame m_oDescription;
    QDialogButtonBox* m_poButtonBox = nullptr;

private:
    void addPage(CSettingsNodeComponent* poNode, QTreeWidgetItem* poItem, bool bCurrent);
    QWidget* pageOf(QTreeWidgetItem* poItem) const;

    CSettingsPageMap m_oPages;
};

// A frame with one tab per options page and a description frame; every edit is applied at
// once.
#pragma once

#include "QtAppFramework/SettingsDescriptionFrame.h"
#include "QtAppFramework/SettingsPageMap.h"

#include <QFrame>

class CSettingsNodeComponent;
class QGroupBox;
class QHBoxLayout;
class QTabWidget;
class QVBoxLayout;

class CControlPane : public QFrame
{
    Q_OBJECT
public:
    explicit CControlPane(QWidget* poParent = nullptr);
    ~CControlPane() override;

    // Leaf nodes only; the new page becomes the first tab.
    void addNode(CSettingsNodeComponent* poNode);

public slots:
    virtual void init();
    virtual void apply(bool bForce);
    void apply() { apply(false); }
    virtual void cancel();
    void activate();
    void deactivate();
    // Shows the page of the node named like the object that sent the signal.
    void setCurrentPane();
    void handleTabPageChanged(int iNewPage);
    void setInfo(QString& strTitle, QString& strDescription);

protected:
    void setupUi(QFrame* poForm);
    void retranslateUi(QFrame* poForm);

    QHBoxLayout* m_poHorizontalLayoutForm = nullptr;
    QGroupBox* m_poGroupBox = nullptr;
    QHBoxLayout* m_poHorizontalLayoutGroupBox = nullptr;
    QVBoxLayout* m_poVerticalLayoutMain = nullptr;
    QTabWidget* m_poTabWidget = nullptr;
    CSettingsDescriptionFrame m_oDescription;

private:
    CSettingsPageMap m_oPages;
};

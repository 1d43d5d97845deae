// The frame under an options page that shows the title and description of the current row.
// Shared by the options dialog and the control pane.
#pragma once

#include <QString>

class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

struct CSettingsDescriptionFrame
{
    void setupUi(QWidget* poParent);
    void retranslateUi(const char* pszContext);
    void setInfo(const QString& strTitle, const QString& strDescription);

    QFrame* m_poFrameDescription = nullptr;
    QVBoxLayout* m_frameLayout = nullptr;
    QVBoxLayout* m_poVerticalLayoutDescription = nullptr;
    QLabel* m_poLabelTitle = nullptr;
    QLabel* m_poLabelDescription = nullptr;
};

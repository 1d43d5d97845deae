#include "QtAppFramework/SettingsDescriptionFrame.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(QWidget* poParent, const char* pszName)
{
    auto* poLabel = new QLabel(poParent);
    poLabel->setObjectName(QLatin1String(pszName));
    poLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    poLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    poLabel->setWordWrap(true);
    return poLabel;
}

} // namespace

void CSettingsDescriptionFrame::setupUi(QWidget* poParent)
{
    m_poFrameDescription = new QFrame(poParent);
    m_poFrameDescription->setObjectName(QStringLiteral("m_poFrameDescription"));
    m_poFrameDescription->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_poFrameDescription->setFrameShape(QFrame::StyledPanel);

    m_frameLayout = new QVBoxLayout(m_poFrameDescription);
    m_frameLayout->setObjectName(QStringLiteral("m_frameLayout"));
    m_frameLayout->setSpacing(4);
    m_frameLayout->setContentsMargins(4, 4, 4, 4);

    m_poVerticalLayoutDescription = new QVBoxLayout();
    m_poVerticalLayoutDescription->setObjectName(QStringLiteral("m_poVerticalLayoutDescription"));
    m_poLabelTitle = makeLabel(m_poFrameDescription, "m_poLabelTitle");
    m_poLabelDescription = makeLabel(m_poFrameDescription, "m_poLabelDescription");
    m_poVerticalLayoutDescription->addWidget(m_poLabelTitle, 1);
    m_poVerticalLayoutDescription->addWidget(m_poLabelDescription, 2);
    m_frameLayout->addLayout(m_poVerticalLayoutDescription);
}

void CSettingsDescriptionFrame::retranslateUi(const char* pszContext)
{
    m_poLabelTitle->setText(QCoreApplication::translate(
        pszContext, "<html><head/><body><p><span style=\" font-size:8pt; font-weight:600;\">"
                    "Property Title</span></p></body></html>"));
    m_poLabelDescription->setText(QCoreApplication::translate(
        pszContext, "<html><head/><body><p><span style=\" font-size:8pt;\">Property description."
                    "  A long line of text here that will wrap around at least one line so I "
                    "can see what it looks like.</span></p></body></html>"));
}

void CSettingsDescriptionFrame::setInfo(const QString& strTitle, const QString& strDescription)
{
    m_poLabelTitle->setText(QStringLiteral("<b>") + strTitle + QStringLiteral("</b>"));
    m_poLabelDescription->setText(strDescription);
}

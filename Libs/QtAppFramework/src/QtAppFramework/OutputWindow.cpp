#include "QtAppFramework/OutputWindow.h"

#include <QFont>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QWidget>

namespace {

// Received text shown in colour: escaped, blanks and line ends kept as they are.
QString colouredHtml(const QString& strText, const char* szColour)
{
    return QStringLiteral("<font color=\"%1\" style=\"white-space:pre\">%2</font>")
        .arg(QLatin1String(szColour), strText.toHtmlEscaped());
}

} // namespace

COutputWindow::COutputWindow(const QString& strTitle, QWidget* parent, Qt::WindowFlags flags,
                             Qt::DockWidgetAreas areas)
    : CAppDockWidget(strTitle, parent, flags, areas)
{
    auto* poOuter = new QWidget(this);
    auto* poOuterLayout = new QHBoxLayout(poOuter);
    poOuterLayout->setSpacing(0);
    poOuterLayout->setContentsMargins(0, 4, 0, 4);

    setAllowedAreas(Qt::BottomDockWidgetArea);
    setContentsMargins(1, 0, 0, 0);

    m_poText = new QPlainTextEdit();
    m_poText->setFont(QFont(QStringLiteral("Lato"), 8));
    m_poText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_poText->setReadOnly(true);
    m_poText->setMaximumBlockCount(MaxLines);

    auto* poInner = new QWidget(poOuter);
    auto* poInnerLayout = new QHBoxLayout(poInner);
    poInnerLayout->setSpacing(0);
    poInnerLayout->setContentsMargins(4, 4, 4, 4);
    poInnerLayout->addWidget(m_poText);
    poOuterLayout->addWidget(poInner);
    setWidget(poOuter);
}

void COutputWindow::insertPlainText(QString strText)
{
    m_poText->insertPlainText(strText);
}

void COutputWindow::appendPlainText(QString strText)
{
    m_poText->appendPlainText(strText);
}

void COutputWindow::appendHtml(QString strText)
{
    m_poText->appendHtml(strText);
}

void COutputWindow::log(QString strMsg, uint nMsgType)
{
    if (nMsgType == 4)
        m_poText->appendHtml(colouredHtml(strMsg, "#FF0000"));
    else if (nMsgType == 2)
        m_poText->appendHtml(colouredHtml(strMsg, "#FF7F00"));
    else
        m_poText->appendPlainText(strMsg);
}

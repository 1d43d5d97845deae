// Dock pane that shows log lines as plain text, warnings in orange and errors in red.
#pragma once

#include "QtAppFramework/AppDockWidget.h"

class QPlainTextEdit;

class COutputWindow : public CAppDockWidget {
    Q_OBJECT
public:
    // Lines kept by the pane; the oldest go first.
    static constexpr int MaxLines = 10000;

    COutputWindow(const QString& strTitle, QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags(),
                  Qt::DockWidgetAreas areas = Qt::AllDockWidgetAreas);

    QPlainTextEdit* textEdit() const { return m_poText; }

public slots:
    void insertPlainText(QString strText);
    void appendPlainText(QString strText);
    void appendHtml(QString strText);
    // Type 4 red, type 2 orange, else plain; the text is shown as text, never as markup.
    void log(QString strMsg, uint nMsgType);

private:
    QPlainTextEdit* m_poText = nullptr;
};

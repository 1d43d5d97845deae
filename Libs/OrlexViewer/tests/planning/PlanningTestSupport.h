// What the planning tests share: the planning library's request log, gui.ini and token set-up,
// a prompter that answers dialogs and menus, and a receiver of display-station datagrams.
#pragma once

#include "OrlexViewer/Prompter.h"

#include "Common/CorvPaths.h"
#include "platform/paths.h"
#include "test_wait.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QSettings>
#include <QUdpSocket>

#include <functional>

namespace plantest {

inline QString scratch(const QString& strName)
{
    return QDir(qEnvironmentVariable("CORV_TEST_SCRATCH")).filePath(strName);
}

// The planning library writes one JSON line per call to this file.
inline QString requestLogPath()
{
    return scratch(QStringLiteral("planning-requests.jsonl"));
}

inline void startRequestLog()
{
    qputenv("CORV_PLANNING_LOG", requestLogPath().toUtf8());
    QFile::remove(requestLogPath());
}

// Calls logged since the last clear, optionally of one kind only.
inline QList<QJsonObject> loggedCalls(const QString& strCall = QString())
{
    QList<QJsonObject> calls;
    QFile file(requestLogPath());
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (!entry.isEmpty() && (strCall.isEmpty() || entry.value(QStringLiteral("call")).toString() == strCall))
            calls.append(entry);
    }
    return calls;
}

// The texts of the logged Planning_request calls.
inline QStringList loggedRequests()
{
    QStringList texts;
    for (const QJsonObject& entry : loggedCalls(QStringLiteral("Planning_request")))
        texts << entry.value(QStringLiteral("text")).toString();
    return texts;
}

inline void clearRequestLog()
{
    QFile::remove(requestLogPath());
}

inline QString localGuiIni()
{
    const QString strPath = platform::toNativePath(guiIniPath());
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    return strPath;
}

inline void setRuntimeKey(const QString& strKey, const QVariant& value)
{
    QSettings settings(localGuiIni(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("RUNTIME/") + strKey, value);
    settings.sync();
}

inline void writeTokens(const QJsonArray& tokens)
{
    QDir().mkpath(platform::winRoot() + QStringLiteral("/c/temp"));
    const QString strPath = platform::toNativePath(programDataPath() + QStringLiteral("QelTokens.json"));
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QJsonDocument(QJsonObject{{"version", "1"}, {"lastsave", "20240101_120000"}, {"tokens", tokens}}).toJson());
}

inline QJsonObject intToken(const char* szName, int nValue)
{
    return QJsonObject{{"Name", szName}, {"Descr", ""}, {"Type", 2}, {"Value", QString::number(nValue)}};
}

// Answers file dialogs, dialogs and menus from what the test sets.
class ScriptedPrompter : public CPrompter
{
public:
    QMessageBox::StandardButton question(QWidget* pParent, const QString& strTitle, const QString& strText,
                                         QMessageBox::StandardButtons buttons) override
    {
        questions << strTitle + QStringLiteral("|") + strText;
        questionParents << pParent;
        return buttons.testFlag(questionAnswer) ? questionAnswer : QMessageBox::No;
    }
    QAction* popup(QMenu& menu, const QPoint&) override
    {
        QStringList texts;
        QAction* pChosen = nullptr;
        for (QAction* pAction : menu.actions()) {
            texts << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
            if (!pAction->isSeparator() && pAction->text() == menuChoice)
                pChosen = pAction;
        }
        menus << texts;
        return pChosen;
    }
    void toolTip(const QPoint&, const QString& strText, QWidget*, int nMsecDisplayTime) override
    {
        if (!strText.isEmpty()) {
            tips << strText;
            tipTimes << nMsecDisplayTime;
        }
    }
    void information(QWidget*, const QString& strTitle, const QString& strText) override
    {
        boxes << strTitle + QStringLiteral("|") + strText;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString& strTitle, const QString& strText,
                                        QMessageBox::StandardButtons) override
    {
        boxes << strTitle + QStringLiteral("|") + strText;
        return QMessageBox::Ok;
    }
    int execDialog(QDialog& dialog) override
    {
        ++dialogsShown;
        if (fillDialog)
            fillDialog(dialog);
        if (!acceptDialog)
            return QDialog::Rejected;
        dialog.accept();
        return dialog.result();
    }
    QString saveFileName(QWidget*, const QString& strCaption, const QString& strDir, const QString&) override
    {
        fileDialogs << strCaption + QStringLiteral("|") + strDir;
        return fileAnswer;
    }
    QString openFileName(QWidget*, const QString& strCaption, const QString& strDir, const QString&) override
    {
        fileDialogs << strCaption + QStringLiteral("|") + strDir;
        return fileAnswer;
    }

    QString menuChoice;
    QMessageBox::StandardButton questionAnswer = QMessageBox::No;
    QStringList questions;
    QList<QWidget*> questionParents;
    QList<QStringList> menus;
    QStringList tips;
    QList<int> tipTimes;
    QStringList boxes;
    QStringList fileDialogs;
    QString fileAnswer;
    bool acceptDialog = true;
    int dialogsShown = 0;
    std::function<void(QDialog&)> fillDialog;
};

// Display-station datagrams on 127.0.0.1 at a port.
class DatagramReceiver
{
public:
    bool bind(quint16 nPort) { return m_socket.bind(QHostAddress::LocalHost, nPort); }
    // Every datagram that arrives within the time.
    QList<QByteArray> collect(int nMs)
    {
        QList<QByteArray> received;
        corvtest::waitUntil(
            [&] {
                while (m_socket.hasPendingDatagrams()) {
                    QByteArray data(static_cast<int>(m_socket.pendingDatagramSize()), '\0');
                    m_socket.readDatagram(data.data(), data.size());
                    received << data;
                }
                return false;
            },
            nMs);
        return received;
    }
    // Waits for the next datagram; empty when none arrives.
    QByteArray next(int nMs = 5000)
    {
        if (!corvtest::waitUntil([&] { return m_socket.hasPendingDatagrams(); }, nMs))
            return QByteArray();
        QByteArray data(static_cast<int>(m_socket.pendingDatagramSize()), '\0');
        m_socket.readDatagram(data.data(), data.size());
        return data;
    }

private:
    QUdpSocket m_socket;
};

} // namespace plantest

// Events of the runtime link: the processing station's address, the safety contour, new ship
// tracks, the sounder runtime's messages, the ping-mode fields and remote survey grids.
#include "CorvMainWindow.h"
#include "CorvMainWindowPrivate.h"

#include "Common/GetToken.h"
#include "MainWindowCommands.h"
#include "MainWindowText.h"
#include "SettingsMapViewer.h"
#include "StatusInformationWidget.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/SettingsManager.h"
#include "TqelRuntime/HandleTracks.h"
#include "TqelRuntime/UlmaRuntime.h"

#include <QColor>
#include <QAction>
#include <QDebug>
#include <QHostAddress>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <algorithm>
#include <cmath>

using corvwindow::viewer;

namespace {

const char* const s_szStationPage = "/Pages/CorvaneDisplay.html";
constexpr int StationPagePort = 8188;
constexpr int StationReloadDelayMs = 5000;
constexpr int RemoteGridPollMs = 10000;
// One GUI frame.
constexpr int PingModeFrameMs = 16;
// Boxes raised by the network that may be open at once; later ones are only logged.
constexpr int MaxEventBoxes = 4;

enum UlmaEvent {
    StationAddress = 22,
    SafetyContour = 31,
    ShipTracks = 33,
    RuntimeMessage = 478,
    PingMode = 479,
    RemoteSurvey = 494,
};

QColor colourOf(const QVariant& vValue)
{
    if (vValue.userType() == QMetaType::QColor)
        return vValue.value<QColor>();
    QVariant vCopy = vValue;
    return vCopy.convert(QMetaType::QColor) ? vCopy.value<QColor>() : QColor();
}

} // namespace

void CMainWindow::onHandleUlmaMsg(int nID, QString stParams)
{
    QString strLine = QStringLiteral("UlmaxMsg: ") + stParams;
    if (m_runtimeEventLines.forOutput(nID, stParams))
        logMsg(strLine, 1);
    else
        qDebug().noquote() << strLine;
    const QStringList lstFields = stParams.split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);

    switch (nID) {
    case StationAddress:
        onStationAddress(stParams);
        break;
    case SafetyContour:
        onSafetyContour(lstFields.value(0));
        break;
    case ShipTracks:
        if (COrlexViewer* poViewer = viewer()) {
            QString strNames;
            CHandleTracks::instance()->updateTracks(poViewer->getDataManager()->getActiveSurvey(), strNames);
        }
        break;
    case RuntimeMessage: {
        // Only the first field after the severity is the message; a message holding ";" is cut.
        if (lstFields.size() < 2)
            break;
        const int nSeverity = lstFields.at(0).toInt(nullptr, 10);
        if (nSeverity == 1)
            showEventBox(tr("Warning"), lstFields.at(1));
        else if (nSeverity == 2)
            showEventBox(tr("Error"), lstFields.at(1));
        break;
    }
    case PingMode:
        onPingMode(lstFields);
        break;
    case RemoteSurvey:
        startRemoteGridPoll(lstFields.value(0));
        break;
    default:
        break;
    }
}

void CMainWindow::onStateChanged(int nState)
{
    m_bStateChanged = nState != 0;
}

void CMainWindow::onStationAddress(const QString& strAddress)
{
    if (QHostAddress(strAddress).isNull()) {
        QString strLine = QStringLiteral("Ignored station address that is not a host address: %1").arg(strAddress);
        logMsg(strLine, 2);
        return;
    }
    m_strStationAddress = strAddress;
    if (m_poFollowStationAction)
        m_poFollowStationAction->setText(tr("Followed Station: %1...").arg(strAddress));
    // One reload pending at a time; it loads the page of the address stored when it fires.
    if (!m_poStationReloadTimer) {
        m_poStationReloadTimer = new QTimer(this);
        m_poStationReloadTimer->setSingleShot(true);
        m_poStationReloadTimer->setInterval(StationReloadDelayMs);
        connect(m_poStationReloadTimer, &QTimer::timeout, this, [this] {
            if (!m_poWebView)
                return;
            QUrl oUrl;
            oUrl.setScheme(QStringLiteral("http"));
            oUrl.setHost(m_strStationAddress);
            oUrl.setPort(StationPagePort);
            oUrl.setPath(QLatin1String(s_szStationPage));
            m_poWebView->load(oUrl);
        });
    }
    if (!m_poStationReloadTimer->isActive())
        m_poStationReloadTimer->start();
}

void CMainWindow::onFollowStation()
{
    bool bOk = false;
    const QString strAddress =
        QInputDialog::getText(this, tr("Followed Station"),
                              tr("Address of the main station to follow (empty: the first station that sends positions):"),
                              QLineEdit::Normal, m_poRuntime ? m_poRuntime->followedStation() : m_strStationAddress, &bOk)
            .trimmed();
    if (!bOk)
        return;
    if (!strAddress.isEmpty() && QHostAddress(strAddress).isNull()) {
        QString strLine = QStringLiteral("Not a station address: %1").arg(strAddress);
        logMsg(strLine, 2);
        return;
    }
    if (m_poRuntime)
        QMetaObject::invokeMethod(m_poRuntime, "followStation", Qt::QueuedConnection, Q_ARG(QString, strAddress));
}

void CMainWindow::onPingMode(const QStringList& lstFields)
{
    if (!m_poStatusInfo)
        return;
    // The fields show the latest event; a flood updates them once per frame.
    m_lstPendingPingMode = lstFields;
    if (!m_poPingModeTimer) {
        m_poPingModeTimer = new QTimer(this);
        m_poPingModeTimer->setSingleShot(true);
        m_poPingModeTimer->setInterval(PingModeFrameMs);
        connect(m_poPingModeTimer, &QTimer::timeout, this, &CMainWindow::applyPingMode);
    }
    if (!m_poPingModeTimer->isActive())
        m_poPingModeTimer->start();
}

void CMainWindow::applyPingMode()
{
    if (!m_poStatusInfo)
        return;
    const QStringList& lstFields = m_lstPendingPingMode;
    const int nType = lstFields.value(0).toInt();
    const int nNumber = lstFields.value(4).toInt();
    m_poStatusInfo->setItemText(1, pingModeLabel(nType));
    m_poStatusInfo->setItemText(2, lstFields.value(1));
    m_poStatusInfo->setItemText(3, lstFields.value(2));
    m_poStatusInfo->setItemText(4, lstFields.value(3));
    m_poStatusInfo->setItemText(5, QStringLiteral("Mode ") + QString::number(nNumber));
}

void CMainWindow::onSafetyContour(const QString& strDepth)
{
    CSettingsManager* poManager = CSettingsManager::instance();
    if (!poManager)
        return;
    QVariant vVisible;
    poManager->getValue(MapViewer, CSettingsMapViewer::SafetyCountorVisibility, vVisible, false);
    if (!vVisible.isValid() || !vVisible.toBool())
        return;
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    COrlexGrid* poGrid = poViewer->getDataManager()->getActiveSurvey();
    if (!poGrid)
        return;

    const float fDepth = strDepth.toFloat();
    if (!std::isfinite(fDepth)) {
        QString strLine = QStringLiteral("Ignored safety contour depth %1").arg(strDepth);
        logMsg(strLine, 2);
        return;
    }
    QVariant vColour;
    poManager->getValue(MapViewer, CSettingsMapViewer::SafetyContourColor, vColour, false);
    QColor oColour = Qt::white;
    float fOffset = 0;
    if (vColour.isValid()) {
        oColour = colourOf(vColour);
        fOffset = static_cast<float>(g_getToken.getTokValueInt("ROZOVED_SAFETY_CONTOUR_RANGE_MAX") / 100);
    }
    poViewer->setSafetyContour(poGrid->getPath(), fDepth + fOffset, oColour, false);
}

void CMainWindow::showEventBox(const QString& strTitle, const QString& strText)
{
    // Closed boxes make room at once, whenever their deletion comes.
    m_lstEventBoxes.erase(std::remove_if(m_lstEventBoxes.begin(), m_lstEventBoxes.end(),
                                         [](const QPointer<QMessageBox>& poBox) { return !poBox || !poBox->isVisible(); }),
                          m_lstEventBoxes.end());
    for (const QPointer<QMessageBox>& poOpen : qAsConst(m_lstEventBoxes)) {
        if (poOpen->windowTitle() == strTitle && poOpen->text() == strText) {
            poOpen->raise();
            return;
        }
    }
    if (m_lstEventBoxes.size() >= MaxEventBoxes) {
        QString strLine = QStringLiteral("Not shown, too many open messages: %1: %2").arg(strTitle, strText);
        logMsg(strLine, 2);
        return;
    }
    // Modal for the window, but the handler goes on: events keep arriving while a box is open.
    auto* poBox = new QMessageBox(QMessageBox::Warning, strTitle, strText, QMessageBox::Ok, this);
    poBox->setTextFormat(Qt::PlainText);
    poBox->setAttribute(Qt::WA_DeleteOnClose);
    m_lstEventBoxes.append(poBox);
    poBox->open();
}

void CMainWindow::startRemoteGridPoll(const QString& strVessel)
{
    if (m_nStationMode != 1 && m_nStationMode != 4)
        return;
    if (!isPlainFolderName(strVessel)) {
        QString strLine = QStringLiteral("Ignored survey of vessel %1: not a folder name").arg(strVessel);
        logMsg(strLine, 2);
        return;
    }
    if (!m_poRemoteGridTimer) {
        m_poRemoteGridTimer = new QTimer(this);
        connect(m_poRemoteGridTimer, &QTimer::timeout, this, &CMainWindow::pollRemoteGrids);
    }
    if (!m_lstPolledVessels.contains(strVessel))
        m_lstPolledVessels.append(strVessel);
    m_poRemoteGridTimer->start(RemoteGridPollMs);
}

void CMainWindow::pollRemoteGrids()
{
    // A poll that finds its survey takes its vessel out of the list.
    const QStringList lstVessels = m_lstPolledVessels;
    for (const QString& strVessel : lstVessels)
        fetchRemoteGrid(strVessel, m_poRemoteGridTimer);
}

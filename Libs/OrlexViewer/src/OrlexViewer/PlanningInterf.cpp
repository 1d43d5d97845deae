#include "OrlexViewer/PlanningInterf.h"

#include "OrlexViewer/EditObjDlg.h"
#include "OrlexViewer/Prompter.h"

#include "Common/CorvPaths.h"
#include "Common/GetToken.h"
#include "Common/GuiIni.h"
#include "PlanningLib.h"
#include "Projection/Projection.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

namespace {

const char* const s_szLinesRequest = "PAGE_DESCRIPTOR=PLANNING_LINES,ACTION=/planning_%1";
const char* const s_szJobsRequest = "PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning";
const char* const s_szJobFilter = "Jobs (*.asciiplan);; GeoJSON(*.json)";
constexpr int kShareDelayMs = 2000;
constexpr int kSaveWaitMs = 1000;
constexpr int kActiveLineRepeatMs = 20000;
constexpr quint16 kCorvBasePort = 25135;
// The planning service's web socket: the operator hears of it after this many refusals.
constexpr int kRefusalsBeforeWarning = 5;
constexpr int kPlanningServicePort = 8189;
constexpr int kPlanningRetryMs = 1000;

CPlanningInterf::RemoteSender& remoteSender()
{
    static CPlanningInterf::RemoteSender sender = [](const QString& strPath) {
        if (CUlmaRuntime* poRuntime = CUlmaRuntime::instance(0))
            poRuntime->postFileToRemoteStations(strPath);
    };
    return sender;
}

log4cplus::Logger logger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CPlanIF"));
}

QVariant runtimeValue(const char* szKey, const QVariant& fallback)
{
    return GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QLatin1String(szKey), fallback);
}

// A job name that may go into a request: one line, no parent references, not too long. A
// refused name is logged.
bool acceptableJobName(const QString& strName)
{
    bool bAcceptable = !strName.isEmpty() && strName.size() <= 1024;
    for (const QChar c : strName)
        bAcceptable = bAcceptable && c.category() != QChar::Other_Control;
    QString strClean = strName;
    strClean.replace(QLatin1Char('\\'), QLatin1Char('/'));
    bAcceptable = bAcceptable && !strClean.split(QLatin1Char('/')).contains(QStringLiteral(".."));
    if (!bAcceptable)
        LOG4CPLUS_WARN(logger(), LOG4CPLUS_TEXT("Job name refused: ") << strName.toStdString());
    return bAcceptable;
}

} // namespace

CPlanningInterf::CPlanningInterf(int nMode) : m_nMode(nMode)
{
    m_pPlanningLib = std::make_shared<CPlanningLib>(nullptr);
    m_pPlanningLib->openSockets(nMode == 1 ? 1 : 0);
    // The rest of the system writes the port offset in group "RUNTIME".
    const QVariant portAdd = runtimeValue("CorvPortAdd", QVariant());
    m_nCorvPort = static_cast<quint16>(kCorvBasePort + (portAdd.isValid() ? portAdd.toInt() : 0));
    m_pPlanningLib->m_poProjection = CProjection::instance();
    connect(m_pPlanningLib.get(), &CPlanningLib::sigNotifyGUI, this, &CPlanningInterf::slotMsgFromPlanning);
    auto singleShot = [this](void (CPlanningInterf::*pSlot)()) {
        auto* pTimer = new QTimer(this);
        pTimer->setSingleShot(true);
        connect(pTimer, &QTimer::timeout, this, pSlot);
        return pTimer;
    };
    m_pScheduleTimer = singleShot(&CPlanningInterf::sharePlanNow);
    m_pShareTimer = singleShot(&CPlanningInterf::finishShare);
}

CPlanningInterf::~CPlanningInterf()
{
    if (m_pActiveLineTimer)
        m_pActiveLineTimer->stop();
}

void CPlanningInterf::setRemoteSender(RemoteSender sender)
{
    remoteSender() = std::move(sender);
}

int CPlanningInterf::getActiveLineHeading() const
{
    return m_pPlanningLib ? m_pPlanningLib->m_nActiveLineHeading : -1;
}

QString CPlanningInterf::activateCommand() const
{
    QString strCommand = QStringLiteral("__activateLine__");
    if (g_getToken.getTokValueInt("CORRIDOR_ENABLE") > 0)
        strCommand += QStringLiteral(",CORR,%1,%2")
                          .arg(g_getToken.getTokValueInt("CORRIDOR_WIDTH_PORT"))
                          .arg(g_getToken.getTokValueInt("CORRIDOR_WIDTH_STARB"));
    return strCommand;
}

bool CPlanningInterf::lineCommand(int nAction, int)
{
    QString strCommand;
    bool bReset = false;
    switch (nAction) {
    case 1: strCommand = QStringLiteral("__newLine__"); break;
    case 2: strCommand = QStringLiteral("__newPolygon__"); break;
    case 3: {
        CEditObjDlg dialog(2);
        CPrompter::current().execDialog(dialog);
        return false;
    }
    case 4: strCommand = QStringLiteral("__extendLine__"); bReset = true; break;
    case 5: strCommand = QStringLiteral("__reverseLine__"); bReset = true; break;
    case 6: strCommand = activateCommand(); bReset = true; break;
    case 7: strCommand = QStringLiteral("__deactivateLine__"); bReset = true; break;
    case 10: strCommand = QStringLiteral("__keepInside__"); bReset = true; break;
    case 11: strCommand = QStringLiteral("__keepOutside__"); bReset = true; break;
    case 13:
    case 17:
    case 18: strCommand = QStringLiteral("__deleteSelection__"); break;
    case 14: strCommand = QStringLiteral("__resetSelection__"); bReset = true; break;
    case 19: strCommand = QStringLiteral("__selectCrossings__"); break;
    default: return false;
    }
    sendPlanningCommand(strCommand);
    return bReset;
}

bool CPlanningInterf::sendPlanningCommand(const QString& strCommand, int)
{
    if (strCommand.isEmpty() || !m_pPlanningLib)
        return true;
    if (strCommand.startsWith(QLatin1String("$TVGPL_NEW_LINE")))
        m_pPlanningLib->newLineArrived(strCommand);
    else if (strCommand.startsWith(QLatin1String("$TVGPL_NEW_POLYGON")))
        m_pPlanningLib->newPolygonArrived(strCommand);
    else
        m_pPlanningLib->Planning_request(QString::fromLatin1(s_szLinesRequest).arg(strCommand));
    return true;
}

QString CPlanningInterf::plansFolder() const
{
    return programDataPath() + QStringLiteral("/plans/");
}

void CPlanningInterf::jobRequest(int nAction, QString strJobName)
{
    if (!m_pPlanningLib)
        return;
    QString strRequest = QString::fromLatin1(s_szJobsRequest);
    const QString strOpen = QStringLiteral("__openjob__,JOBNAME=");
    const QString strSave = QStringLiteral("___saveas__,JOBNAME=");
    CPrompter& prompter = CPrompter::current();
    const QString strFilter = QString::fromLatin1(s_szJobFilter);
    auto planDir = [this] {
        return runtimeValue("PlanDir", plansFolder()).toString();
    };
    auto rememberFolder = [](const QString& strFile) {
        GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("PlanDir"),
                         QFileInfo(strFile).absolutePath());
    };
    switch (nAction) {
    case 20: {
        const QString strFile = prompter.openFileName(nullptr, tr("Open Job"), planDir(), strFilter);
        if (strFile.isEmpty())
            return;
        if (!acceptableJobName(strFile))
            return;
        m_strCurrentJobFile = strFile;
        rememberFolder(strFile);
        strRequest += strOpen + strFile;
        break;
    }
    case 21: {
        const QString strName = strJobName.trimmed();
        if (!acceptableJobName(strName))
            return;
        strRequest += strOpen + strName;
        break;
    }
    case 22:
    case 23: {
        QString strFile = nAction == 22 ? m_strCurrentJobFile : QString();
        if (strFile.isEmpty()) {
            strFile = prompter.saveFileName(nullptr, tr("Save Job"), nAction == 22 ? plansFolder() : planDir(), strFilter);
            if (strFile.isEmpty())
                return;
            if (!acceptableJobName(strFile))
                return;
            m_strCurrentJobFile = strFile;
            if (nAction == 23)
                rememberFolder(strFile);
        }
        strRequest += strSave + strFile;
        break;
    }
    case 24: strRequest += strSave + plansFolder() + QStringLiteral("_default.asciiplan"); break;
    case 25: strRequest += strSave + plansFolder() + QStringLiteral("_current.asciiplan"); break;
    case 26:
        m_strCurrentJobFile.clear();
        strRequest += QStringLiteral("___clearJob__");
        break;
    default: break;
    }
    m_pPlanningLib->Planning_request(strRequest);
}

void CPlanningInterf::exportPlan()
{
    if (!m_pPlanningLib)
        return;
    publishPlan(false, true);
    m_pPlanningLib->exportPlan();
}

void CPlanningInterf::publishPlan(bool, bool bSaveCurrentOnly)
{
    if (bSaveCurrentOnly)
        jobRequest(25, QString());
    else
        sharePlanNow();
}

void CPlanningInterf::schedulePlanShare()
{
    if (!m_bSharePlan)
        return;
    // Edits in quick succession share once, 2000 ms after the last.
    m_pScheduleTimer->start(kShareDelayMs);
}

void CPlanningInterf::sharePlanNow()
{
    jobRequest(24, QString());
    // The library's file is taken up a second later, without holding the GUI thread.
    m_pShareTimer->start(kSaveWaitMs);
}

void CPlanningInterf::finishShare()
{
    const QString strDefault = programDataPath() + QStringLiteral("plans\\_default.asciiplan");
    const QString strLocalDefault = platform::toNativePath(strDefault);
    if (!QFileInfo::exists(strLocalDefault))
        return;
    const QString strTarget = m_strShareFolder + QStringLiteral("\\corv.asciiplan");
    const QString strLocalTarget = platform::toNativePath(strTarget);
    QFile::remove(strLocalTarget);
    QFile::copy(strLocalDefault, strLocalTarget);
    if (m_pCorvSocket)
        sendDatagram(QStringLiteral("$PQQEL,CVN_SHOW_PLAN,%1").arg(strTarget));
    if (const RemoteSender& sender = remoteSender())
        sender(strDefault);
    emit sigPlanToVessel(strTarget);
}

void CPlanningInterf::slotMsgFromPlanning(QString strMessage)
{
    qDebug().noquote() << QStringLiteral("From Planning Lib ") + strMessage;
    const QStringList parts = strMessage.split(QLatin1Char(':'));
    const QString& strWord = parts.front();
    if (strWord == QLatin1String("ACTIVATE")) {
        bool bOk = false;
        const int nLine = parts.size() > 1 ? parts[1].trimmed().toInt(&bOk) : 0;
        // Without a line number there is nothing to activate.
        if (!bOk) {
            LOG4CPLUS_WARN(logger(), LOG4CPLUS_TEXT("ACTIVATE without a line number: ") << strMessage.toStdString());
            return;
        }
        activateLine(nLine, false);
    } else if (strWord == QLatin1String("LOG_ON") || strWord == QLatin1String("LOG_OFF")
               || strWord == QLatin1String("RUNTIME")) {
        emit sigPlanToMain(strMessage);
    }
}

// ---------------------------------------------------------------------------------------------
// Display stations

void CPlanningInterf::setUpSocket()
{
    if (m_pCorvSocket)
        return;
    const bool bNoMulticast = runtimeValue("CorvNoMCAST", false).toBool();
    const QString strSendIp = GuiIni::readSendIp();
    QHostAddress localAddress(strSendIp);
    if (localAddress.isNull()) {
        // A failed look-up is reported; the socket then binds to every interface.
        LOG4CPLUS_ERROR(logger(), LOG4CPLUS_TEXT("No local address for the display stations (SendIP \"")
                                      << strSendIp.toStdString() << LOG4CPLUS_TEXT("\"); sending from any interface"));
        localAddress = QHostAddress(QHostAddress::AnyIPv4);
    }
    m_pCorvSocket = std::make_unique<QUdpSocket>();
    LOG4CPLUS_INFO(logger(), LOG4CPLUS_TEXT("Send data to corv from IP ") << localAddress.toString().toStdString());
    if (!m_pCorvSocket->bind(localAddress, 0))
        LOG4CPLUS_ERROR(logger(), LOG4CPLUS_TEXT("Display socket bind failed: ")
                                      << m_pCorvSocket->errorString().toStdString());
    if (!bNoMulticast)
        m_pCorvSocket->setSocketOption(QAbstractSocket::MulticastTtlOption, 2);
}

void CPlanningInterf::sendDatagram(const QString& strText)
{
    if (!m_pCorvSocket || !m_pCorvAddress)
        return;
    m_pCorvSocket->writeDatagram(strText.toLatin1(), *m_pCorvAddress, m_nCorvPort);
    qDebug().noquote() << QStringLiteral("Sent %1 to %2 port %3").arg(strText, m_pCorvAddress->toString()).arg(m_nCorvPort);
}

void CPlanningInterf::sendToCorv(const QString& strText)
{
    if (!m_bCorvSettingsRead) {
        m_bCorvSettingsRead = true;
        QString strGroup = runtimeValue("CorvMcastGrpActive", QString()).toString();
        if (runtimeValue("CorvNoMCAST", false).toBool())
            strGroup = QStringLiteral("127.0.0.1");
        LOG4CPLUS_INFO(logger(), LOG4CPLUS_TEXT("Sending corv data to grp ") << strGroup.toStdString());
        if (!m_pCorvAddress)
            m_pCorvAddress = std::make_unique<QHostAddress>(strGroup);
        setUpSocket();
        qDebug().noquote() << QStringLiteral("Corv mcast addr: ") + strGroup;
    }
    sendDatagram(strText);
}

void CPlanningInterf::updateCorvAddr(const QString& strGroup)
{
    const QString strAddress = runtimeValue("CorvNoMCAST", false).toBool() ? QStringLiteral("127.0.0.1") : strGroup;
    if (m_pCorvAddress)
        m_pCorvAddress->setAddress(strAddress);
    else
        m_pCorvAddress = std::make_unique<QHostAddress>(strAddress);
    LOG4CPLUS_DEBUG(logger(), LOG4CPLUS_TEXT("Update: Sending corv data to grp  ") << strAddress.toStdString());
    setUpSocket();
    qDebug().noquote() << QStringLiteral("Corv mcast addr: ") + strAddress;
}

void CPlanningInterf::activateLine(int nLine, bool bNotifyPlanning)
{
    if (nLine == -1) {
        sendDatagram(QStringLiteral("$PQQEL,CVN_DEACT_LINE"));
        if (bNotifyPlanning)
            sendPlanningCommand(QStringLiteral("__deactivateLine__"));
        m_nActiveLine = 0;
        if (m_pActiveLineTimer)
            m_pActiveLineTimer->stop();
        return;
    }
    m_nActiveLine = nLine;
    m_strActiveLineDatagram = QStringLiteral("$PQQEL,CVN_ACT_LINE,%1,").arg(nLine);
    if (!m_pActiveLineTimer) {
        m_pActiveLineTimer = new QTimer(this);
        connect(m_pActiveLineTimer, &QTimer::timeout, this, [this] { sendDatagram(m_strActiveLineDatagram); });
    }
    m_pActiveLineTimer->start(kActiveLineRepeatMs);
    sendDatagram(m_strActiveLineDatagram);
    if (bNotifyPlanning)
        sendPlanningCommand(activateCommand());
}

// ---------------------------------------------------------------------------------------------
// Planning web service: no connection is made in this system.

void CPlanningInterf::connectToPlanning()
{
}

void CPlanningInterf::planSocketConnection()
{
    if (m_pWebSocket)
        m_bWebSocketConnected = true;
}

void CPlanningInterf::processWebSocketMessage(QString strText)
{
    qDebug().noquote() << QStringLiteral("CPlanningInterf::processWebSocketMessage: ") + strText;
}

void CPlanningInterf::webSocketDisconnected()
{
    m_bWebSocketConnected = false;
}

void CPlanningInterf::webSocketError(QAbstractSocket::SocketError error)
{
    qDebug() << "webSocketError: " << error;
    if (error != QAbstractSocket::ConnectionRefusedError)
        return;
    static int s_nRefusals = 0;
    if (s_nRefusals == kRefusalsBeforeWarning)
        CPrompter::current().warning(nullptr, QStringLiteral("Connection failed"),
                                     QStringLiteral("Failed to connect to Planning module"), QMessageBox::Ok);
    ++s_nRefusals;
    const auto* pSocket = qobject_cast<const QWebSocket*>(sender());
    if (pSocket && pSocket->requestUrl().port() == kPlanningServicePort)
        QTimer::singleShot(kPlanningRetryMs, this, &CPlanningInterf::connectToPlanning);
}

void CPlanningInterf::onSendWsMessage(QString)
{
}

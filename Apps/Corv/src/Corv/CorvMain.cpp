#include "CorvMain.h"

#include "Common/CorvPaths.h"
#include "CorvMainWindow.h"

#include "OrlexQtClient/ViewerProcess.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/Logger.h"
#include "QtAppFramework/QtLogger.h"
#include "platform/debug_output.h"
#include "platform/lock_file.h"
#include "platform/paths.h"
#include "platform/pipes.h"
#include "platform/process.h"

#include <log4cplus/configurator.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QPlainTextEdit>
#include <QSplashScreen>
#include <QStyleFactory>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const log4cplus::Logger& corvLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Qel5Corv"));
    return oLogger;
}

const char* const s_szPipeName = "dremmCorv";
const char* const s_szViewerServer = "Tavrin.Dremm.Orlex.exe";
const char* const s_szLog4cplusFile = "log4cplus_configureCorv.ini";

// Written on the GUI thread, read by the message handler on any thread.
std::atomic<bool> g_bMainWindowBuilt{false};
std::atomic<QPlainTextEdit*> g_poDebugText{nullptr};
std::atomic<CQtLogger*> g_poLogFileLogger{nullptr};

QString messageText(QtMsgType eType, const QString& strMsg)
{
    switch (eType) {
    case QtDebugMsg:
        return strMsg;
    case QtWarningMsg:
        return QStringLiteral("<font color=\"#FF7F00\">") + strMsg + QStringLiteral("</font>");
    case QtCriticalMsg:
    case QtFatalMsg:
        return QStringLiteral("<font color=\"#FF0000\">") + strMsg + QStringLiteral("</font>");
    default:
        return QString();
    }
}

// The same line for the pane: the message is shown as text, only the colour is markup.
QString paneText(QtMsgType eType, const QString& strMsg)
{
    QString strEscaped = strMsg.trimmed().toHtmlEscaped();
    strEscaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return messageText(eType, strEscaped);
}

void configureLog4cplus()
{
    log4cplus::initialize();
    QString strConfig = platform::toNativePath(programDataPath() + QStringLiteral("/") + QLatin1String(s_szLog4cplusFile));
    if (!QFile::exists(strConfig))
        strConfig = QLatin1String(s_szLog4cplusFile);
    log4cplus::PropertyConfigurator::doConfigure(LOG4CPLUS_STRING_TO_TSTRING(QFile::encodeName(strConfig).toStdString()));
}

// The "-logfile" file logger; an error line when the option has no usable value.
void createLogFileLogger(int argc, char* argv[])
{
    char* szFileName = nullptr;
    const int nResult = ReadArg(argc, argv, "-logfile %s", &szFileName);
    if (nResult == 0 || (nResult == 2 && !szFileName)) {
        std::fprintf(stderr, "         Error in argument: -logfile option failed.  \n");
        return;
    }
    if (!szFileName)
        return;
    auto* poLogger = new CQtLogger(szFileName, 15000000, 0, nullptr);
    poLogger->setFlags(CLogger::File);
    g_poLogFileLogger.store(poLogger);
}

// Shows a message to the user through the installation's error-message program.
void showErrorMessage(const QString& strText)
{
    platform::StartOptions oOptions;
    oOptions.program = QStringLiteral("ErrorMsg.exe");
    oOptions.arguments << strText;
    platform::startDetached(oOptions);
}

// The lock of this program's pipe folder, held until the process ends; null when another copy
// holds it. A folder that cannot hold the lock file does not stop the start.
std::unique_ptr<platform::LockFile> lockInstance()
{
    platform::ensurePipeDirectory();
    auto poLock = std::make_unique<platform::LockFile>(platform::pipeDirectory() + QLatin1Char('/')
                                                        + QLatin1String(s_szPipeName) + QStringLiteral(".lock"));
    if (poLock->isOpen() && !poLock->tryLock(0, 1))
        return nullptr;
    return poLock;
}

[[noreturn]] void failViewerStart(const std::string& strExecutable)
{
    const QString strName = QString::fromLocal8Bit(strExecutable.c_str());
    std::fprintf(stderr, "Uh-Oh! CreateProcess() failed to start program \"%s\"\n", strExecutable.c_str());
    showErrorMessage(QStringLiteral("Failed to start %1.\nQel is terminated.").arg(strName, 0, QLatin1Char(' ')));
    std::exit(1);
}

QString processEnvironmentValue(qint64 nPid, const QByteArray& baName)
{
    QFile oFile(QStringLiteral("/proc/%1/environ").arg(nPid));
    if (!oFile.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray baPrefix = baName + '=';
    for (const QByteArray& baEntry : oFile.readAll().split('\0'))
        if (baEntry.startsWith(baPrefix))
            return QString::fromLocal8Bit(baEntry.mid(baPrefix.size()));
    return QString();
}

} // namespace

void qtMessageHandler(QtMsgType eType, const QMessageLogContext&, const QString& strMsg)
{
    QString strText = messageText(eType, strMsg);
    if (g_bMainWindowBuilt.load()) {
        if (QPlainTextEdit* poText = g_poDebugText.load())
            QMetaObject::invokeMethod(poText, "appendHtml", Qt::AutoConnection, Q_ARG(QString, paneText(eType, strMsg)));
    } else {
        strText += QLatin1Char('\n');
        platform::outputDebugString(strText);
    }
    // One line per message in the log file, also for those shown in the pane.
    if (CQtLogger* poLogger = g_poLogFileLogger.load()) {
        if (!strText.endsWith(QLatin1Char('\n')))
            strText += QLatin1Char('\n');
        poLogger->log(strText.toLatin1().constData());
    }
}

void setMessageTarget(QPlainTextEdit* poDebugText)
{
    g_poDebugText.store(poDebugText);
    g_bMainWindowBuilt.store(true);
}

void clearMessageTarget()
{
    g_bMainWindowBuilt.store(false);
    g_poDebugText.store(nullptr);
}

QString viewerServerFolder()
{
    const QString strDir = qEnvironmentVariable("ORLEXDIR");
    if (!strDir.isEmpty() && QFile::exists(platform::toNativePath(strDir)))
        return strDir;
    return QStringLiteral("..\\Orlex\\");
}

void endViewerServers(const QString& strPipeName)
{
    const QString strArgument = QStringLiteral("--PipeName=") + strPipeName;
    const QString strPipeDir = qEnvironmentVariable("DREMM_PIPE_DIR");
    for (const platform::ProcessInfo& oInfo : platform::findProcessesByImageName(QLatin1String(s_szViewerServer))) {
        if (!oInfo.arguments.contains(strArgument))
            continue;
        // A pipe name is this program's only in its pipe folder.
        if (processEnvironmentValue(oInfo.pid, "DREMM_PIPE_DIR") != strPipeDir)
            continue;
        platform::endProcess(oInfo.pid);
    }
}

int corvMain(int argc, char* argv[])
{
    platform::ensureWindowsEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    configureLog4cplus();
    if (corvLogger().isEnabledFor(log4cplus::INFO_LOG_LEVEL))
        LOG4CPLUS_INFO(corvLogger(), LOG4CPLUS_TEXT("Start QelMainapp"));

    // One copy per pipe folder: a second one would take over the first one's viewer server.
    std::unique_ptr<platform::LockFile> poInstanceLock = lockInstance();
    if (!poInstanceLock) {
        const QString strText = QStringLiteral("Corvane is already running (pipe folder %1).").arg(platform::pipeDirectory());
        std::fprintf(stderr, "%s\n", strText.toLocal8Bit().constData());
        LOG4CPLUS_WARN(corvLogger(), strText.toLocal8Bit().constData());
        showErrorMessage(strText);
        return 1;
    }

    const QString strExecutable = viewerServerFolder() + QStringLiteral("\\") + QLatin1String(s_szViewerServer);
    auto poLauncher = std::make_unique<Dremm::Orlex::QtClient::ViewerProcess>(
        strExecutable.toLocal8Bit().toStdString(), false, 0, s_szPipeName, 0, true);
    if (poLauncher->processId() == 0)
        failViewerStart(poLauncher->executableName());
    // A lost server is replaced on the operator's request: the old one is ended first.
    COrlexViewer::setServerStarter([&poLauncher, strExecutable] {
        poLauncher.reset();
        endViewerServers(QLatin1String(s_szPipeName));
        poLauncher = std::make_unique<Dremm::Orlex::QtClient::ViewerProcess>(strExecutable.toLocal8Bit().toStdString(), false, 0,
                                                                             s_szPipeName, 0, true);
        return poLauncher->processId() != 0;
    });

    Q_INIT_RESOURCE(corv);
    qInstallMessageHandler(qtMessageHandler);
    QApplication oApp(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, true);
    createLogFileLogger(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_DontShowIconsInMenus, true);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    QFontDatabase::addApplicationFont(QStringLiteral(":/Lato-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/Lato-Bold.ttf"));
    QFont oFont;
    oFont.setFamily(QStringLiteral("Lato"));
    QApplication::setFont(oFont);

    auto* poSplash = new QSplashScreen(QPixmap());
    poSplash->setPixmap(QPixmap(QStringLiteral(":/images/splashQaMapView.png")));
    poSplash->show();
    poSplash->showMessage(QObject::tr("Initialising..."), Qt::AlignLeft | Qt::AlignTop, Qt::white);

    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin Nautic AS"));
    QCoreApplication::setApplicationName(QStringLiteral("T-Qel Corvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tavrinnautic.no"));

    auto* poWindow = new CMainWindow(argc, argv);
    setMessageTarget(poWindow->debugText());
    poWindow->setWindowIcon(QIcon(QStringLiteral(":/images/iconQaMapView.png")));
    poSplash->showMessage(QObject::tr("Loading modules..."), Qt::AlignLeft | Qt::AlignTop, Qt::white);
    // A pause without event processing, so the splash stays up a moment.
    QThread::sleep(1);
    poSplash->finish(poWindow);
    delete poSplash;
    poWindow->show();
    QApplication::exec();

    qInstallMessageHandler(nullptr);
    clearMessageTarget();
    // The window's end stops the runtime thread, and the map view's end takes the viewer
    // controller and its connection threads with it: no thread runs into static destruction.
    delete poWindow;
    COrlexViewer::setServerStarter(nullptr);
    poLauncher.reset();
    endViewerServers(QLatin1String(s_szPipeName));
    // A server that died leaves its pipe files; this copy holds the pipe folder's lock, so no one
    // else uses them.
    for (const QString& strPipe : {QString::fromLatin1(s_szPipeName), QString::fromLatin1(s_szPipeName) + QStringLiteral("Out")})
        QFile::remove(platform::pipePath(strPipe));
    if (CQtLogger* poLogger = g_poLogFileLogger.exchange(nullptr))
        delete poLogger;
    log4cplus::deinitialize();
    return 0;
}

// Layout file bytes applied to a real main window (offscreen) with the main application's tool
// bar and docks. Writes the window's own layout as a seed.
#include "QtAppFramework/LayoutFile.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QToolBar>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QMainWindow* g_poWindow = nullptr;

QMainWindow* makeWindow()
{
    auto* poWindow = new QMainWindow;
    poWindow->setCentralWidget(new QLabel(QStringLiteral("map")));
    QToolBar* poToolBar = poWindow->addToolBar(QStringLiteral("CORV"));
    poToolBar->setObjectName(QStringLiteral("logoToolBar"));
    poToolBar->addAction(QStringLiteral("Zoom In"));
    struct Dock { const char* szName; Qt::DockWidgetArea eArea; };
    const Dock aDocks[] = {{"OutputGeneral", Qt::BottomDockWidgetArea},
                           {"OutputDebug", Qt::BottomDockWidgetArea},
                           {"controlDockWidget", Qt::RightDockWidgetArea},
                           {"webDockWidget", Qt::RightDockWidgetArea}};
    for (const Dock& d : aDocks) {
        auto* poDock = new QDockWidget(QString::fromLatin1(d.szName), poWindow);
        poDock->setObjectName(QString::fromLatin1(d.szName));
        poDock->setWidget(new QLabel(QString::fromLatin1(d.szName)));
        poWindow->addDockWidget(d.eArea, poDock);
    }
    poWindow->tabifyDockWidget(poWindow->findChild<QDockWidget*>(QStringLiteral("OutputGeneral")),
                               poWindow->findChild<QDockWidget*>(QStringLiteral("OutputDebug")));
    poWindow->resize(1000, 700);
    poWindow->show();
    return poWindow;
}

void writeSeed(const QString& strName, const QByteArray& baGeometry, const QByteArray& baState)
{
    const QString strDir = qEnvironmentVariable("CORV_FUZZ_SEED_DIR");
    if (strDir.isEmpty())
        return;
    QFile oFile(QDir(strDir).filePath(strName));
    if (oFile.open(QIODevice::WriteOnly))
        oFile.write(QByteArray(1, static_cast<char>(baGeometry.size())) + baGeometry + baState);
}

} // namespace

// Font caches that fontconfig keeps for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*pArgc, *pArgv);
    g_poWindow = makeWindow();
    QApplication::processEvents();
    writeSeed(QStringLiteral("seed-docked"), g_poWindow->saveGeometry(), g_poWindow->saveState(0));
    g_poWindow->findChild<QDockWidget*>(QStringLiteral("controlDockWidget"))->setFloating(true);
    g_poWindow->findChild<QToolBar*>()->hide();
    writeSeed(QStringLiteral("seed-floating"), g_poWindow->saveGeometry(), g_poWindow->saveState(0));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize > 4096)
        return 0;
    CLayoutFile::apply(g_poWindow, QByteArray(reinterpret_cast<const char*>(pData), static_cast<int>(nSize)));
    QApplication::processEvents();
    return 0;
}

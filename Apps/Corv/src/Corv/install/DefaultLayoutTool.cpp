// Writes the layout file the program falls back to on a first start: a window with the main
// window's tool bar and docks, in their usual places.
#include "QtAppFramework/LayoutFile.h"
#include "QtAppFramework/UiStyle.h"

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QToolBar>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <layout file>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("map")));
    window.addToolBar(createLogoToolBar(QStringLiteral("CORV")));
    struct Dock { const char* szName; Qt::DockWidgetArea eArea; int nSize; };
    const Dock aDocks[] = {{"OutputGeneral", Qt::BottomDockWidgetArea, 160},
                           {"OutputDebug", Qt::BottomDockWidgetArea, 160},
                           {"controlDockWidget", Qt::RightDockWidgetArea, 320},
                           {"webDockWidget", Qt::RightDockWidgetArea, 320}};
    QList<QDockWidget*> lstBottom;
    for (const Dock& d : aDocks) {
        auto* poDock = new QDockWidget(QString::fromLatin1(d.szName), &window);
        poDock->setObjectName(QString::fromLatin1(d.szName));
        poDock->setWidget(new QLabel(QString::fromLatin1(d.szName)));
        window.addDockWidget(d.eArea, poDock);
        if (d.eArea == Qt::BottomDockWidgetArea)
            lstBottom << poDock;
    }
    window.setGeometry(40, 40, 1280, 900);
    window.show();
    QApplication::processEvents();
    window.resizeDocks(lstBottom, {160, 160}, Qt::Vertical);
    window.resizeDocks({window.findChild<QDockWidget*>(QStringLiteral("controlDockWidget"))}, {320}, Qt::Horizontal);
    QApplication::processEvents();
    // The record holds the width of the screen it was saved on, and Qt refuses it on a screen of
    // a much different width; written here offscreen, it carries none (0).
    QByteArray baGeometry = window.saveGeometry();
    constexpr int ScreenWidthOffset = 46;
    if (baGeometry.size() >= ScreenWidthOffset + 4)
        baGeometry.replace(ScreenWidthOffset, 4, QByteArray(4, '\0'));
    const QString strError = CLayoutFile::write(QString::fromLocal8Bit(argv[1]), baGeometry, window.saveState(0));
    if (!strError.isNull()) {
        std::fprintf(stderr, "%s\n", strError.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

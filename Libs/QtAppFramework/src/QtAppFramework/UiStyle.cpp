#include "UiStyle.h"

#include "SvgIconEngine.h"

#include <platform/paths.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

static void initUiStyleResources()
{
    Q_INIT_RESOURCE(uistyle);
    Q_INIT_RESOURCE(uistyle_fonts);
}

namespace {

const char* const kClassProperty = "class";

QString styleClass(const QObject* poObject)
{
    return poObject->property(kClassProperty).toString();
}

// Sets the class and lets an already polished widget pick up the rules of its new class.
void setStyleClass(QObject* poObject, const QString& strClass)
{
    if (styleClass(poObject) == strClass)
        return;
    poObject->setProperty(kClassProperty, strClass);
    auto* poWidget = qobject_cast<QWidget*>(poObject);
    if (poWidget && poWidget->testAttribute(Qt::WA_WState_Polished)) {
        poWidget->style()->unpolish(poWidget);
        poWidget->style()->polish(poWidget);
    }
}

QIcon recoloured(const QIcon& oIcon, bool bGP)
{
    return QIcon(new SvgIconEngine(oIcon, bGP));
}

// Reads a text up to its first zero byte; false when the device does not open.
bool readText(QIODevice& oDevice, QString& strOut)
{
    if (!oDevice.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QByteArray oData = oDevice.readAll();
    oDevice.close();
    const int nZero = oData.indexOf('\0');
    if (nZero >= 0)
        oData.truncate(nZero);
    strOut += QString::fromUtf8(oData);
    return true;
}

void visitBelow(QObject* poParent)
{
    const QObjectList oChildren = poParent->children();
    for (QObject* poChild : oChildren) {
        if (!poChild->isWidgetType())
            continue;
        applyStyleClass(poChild, styleClass(poChild));
        visitBelow(poChild);
    }
}

} // namespace

void initUiStyle()
{
    initUiStyleResources();
    QFontDatabase::addApplicationFont(QStringLiteral(":/uistyle/Lato-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/uistyle/Lato-Bold.ttf"));
    initStylePalette();
    setDayPalette();
}

void applyStyleSheet(QIODevice* poExtra, int nMode, int nScale)
{
    QString strMode;
    if (nMode == 0) {
        strMode = QStringLiteral("Day");
        initStylePalette();
        setDayPalette();
    } else if (nMode == 3) {
        strMode = QStringLiteral("BrightDay");
        setBrightDayPalette();
    } else {
        strMode = QStringLiteral("Dusk");
        initStylePalette();
        setDuskPalette();
    }

    QString strPath = QStringLiteral(":/uistyle/CommonStylesheet.css");
    const QString strDir = qEnvironmentVariable("UISTYLEDIR");
    if (!strDir.isEmpty())
        strPath = platform::toNativePath(strDir + QStringLiteral("/uistyle/CommonStylesheet.css"));

    QString strText;
    QFile oTemplate(strPath);
    if (!readText(oTemplate, strText))
        return;
    if (poExtra)
        readText(*poExtra, strText);

    // A factor below 1 would wipe every size out; such a scale is taken as 1.
    if (nScale > 1) {
        scaleStyleSheetSizes(strText, QStringLiteral("px"), unsigned(nScale));
        scaleStyleSheetSizes(strText, QStringLiteral("pt"), unsigned(nScale));
    }

    // Keep the definitions of this mode: drop every other mode block.
    static const QRegularExpression oModeBlock(QStringLiteral("Mode=(.*?)Mode="),
                                               QRegularExpression::DotMatchesEverythingOption);
    QStringList oOtherBlocks;
    for (auto it = oModeBlock.globalMatch(strText); it.hasNext();) {
        const QString strBlock = it.next().captured(1);
        if (!strBlock.startsWith(strMode))
            oOtherBlocks << strBlock;
    }
    for (const QString& strBlock : qAsConst(oOtherBlocks)) {
        if (!strBlock.isEmpty())
            strText.remove(strBlock);
    }

    // Put the values in: the first definition of a name wins.
    static const QRegularExpression oDefinition(
        QStringLiteral("(@\\w+).+?(#[0-9a-fA-F]+|rgba\\(.*\\))"));
    QVector<QPair<QString, QString>> oDefinitions;
    for (auto it = oDefinition.globalMatch(strText); it.hasNext();) {
        const QRegularExpressionMatch oMatch = it.next();
        oDefinitions.append({oMatch.captured(1), oMatch.captured(2)});
    }
    for (const auto& oDef : qAsConst(oDefinitions))
        strText.replace(oDef.first, oDef.second);

    if (!qEnvironmentVariableIsEmpty("UISTYLE_DEBUG_STYLESHEET")) {
        QFile oDebug(QStringLiteral("stylesheet_debug.css"));
        if (oDebug.open(QIODevice::WriteOnly | QIODevice::Truncate))
            oDebug.write(strText.toLocal8Bit());
    }

    if (auto* poApp = qobject_cast<QApplication*>(QCoreApplication::instance()))
        poApp->setStyleSheet(strText);
}

void scaleStyleSheetSizes(QString& strStyleSheet, QString strUnit, unsigned nFactor)
{
    // Two passes, so that a size is never multiplied twice.
    const QRegularExpression oSized(QStringLiteral("\\s(\\d+)")
                                    + QRegularExpression::escape(strUnit));
    QVector<QPair<QString, QString>> oFound;
    for (auto it = oSized.globalMatch(strStyleSheet); it.hasNext();) {
        const QRegularExpressionMatch oMatch = it.next();
        oFound.append({oMatch.captured(0), oMatch.captured(1)});
    }
    for (const auto& oHit : qAsConst(oFound))
        strStyleSheet.replace(oHit.first, QLatin1Char(' ') + oHit.second + QStringLiteral("dummy"));

    static const QRegularExpression oMarked(QStringLiteral("\\s(\\d+)dummy"));
    oFound.clear();
    for (auto it = oMarked.globalMatch(strStyleSheet); it.hasNext();) {
        const QRegularExpressionMatch oMatch = it.next();
        oFound.append({oMatch.captured(0), oMatch.captured(1)});
    }
    for (const auto& oHit : qAsConst(oFound)) {
        const qulonglong nScaled = oHit.second.toULongLong() * nFactor;
        strStyleSheet.replace(oHit.first, QLatin1Char(' ') + QString::number(nScaled) + strUnit);
    }
}

void applyStyleClasses(QObject* poRoot)
{
    if (poRoot)
        visitBelow(poRoot);
}

void applyStyleClass(QObject* poObject, QString strInheritedClass)
{
    if (!poObject)
        return;
    const bool bGP = strInheritedClass == QLatin1String("GP");

    auto* poButton = qobject_cast<QAbstractButton*>(poObject);
    if (poButton && !poButton->icon().isNull()) {
        if (!styleClass(poButton).isEmpty())
            return;
        auto* poTool = qobject_cast<QToolButton*>(poButton);
        if (poTool && poTool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon) {
            setStyleClass(poTool, bGP ? QStringLiteral("GPIconWithText")
                                      : QStringLiteral("IconWithText"));
            if (QAction* poAction = poTool->defaultAction())
                poAction->setIcon(recoloured(poAction->icon(), bGP));
        } else {
            setStyleClass(poButton, bGP ? QStringLiteral("GPIcon") : QStringLiteral("Icon"));
            poButton->setIcon(recoloured(poButton->icon(), bGP));
        }
        return;
    }

    const QString strOwn = styleClass(poObject);
    if (strOwn.isEmpty() || strOwn == QLatin1String("GP") || strOwn == QLatin1String("SystemMenu"))
        setStyleClass(poObject, strInheritedClass);

    const QObjectList oChildren = poObject->children();
    for (QObject* poChild : oChildren) {
        if (poChild->isWidgetType())
            applyStyleClass(poChild, strInheritedClass);
    }

    if (auto* poToolBar = qobject_cast<QToolBar*>(poObject)) {
        const bool bBarGP = styleClass(poToolBar) == QLatin1String("GP");
        const QList<QAction*> oActions = poToolBar->actions();
        for (QAction* poAction : oActions) {
            if (!poAction->icon().isNull())
                poAction->setIcon(recoloured(poAction->icon(), bBarGP));
        }
    }
}

void markSystemMenu(QObject* poObject)
{
    if (poObject)
        setStyleClass(poObject, QStringLiteral("SystemMenu"));
}

QToolBar* createLogoToolBar(QString strProductName)
{
    auto* poToolBar = new QToolBar();
    // The window state keeps tool bars by object name; the tool bars' menu shows the title.
    poToolBar->setObjectName(QStringLiteral("logoToolBar"));
    poToolBar->setWindowTitle(strProductName);
    setStyleClass(poToolBar, QStringLiteral("GP"));

    auto* poLogo = new QFrame(poToolBar);
    poLogo->setObjectName(QStringLiteral("TavrinLogo"));
    poToolBar->addWidget(poLogo);

    auto* poName = new QLabel(strProductName, poToolBar);
    poName->setObjectName(QStringLiteral("ProductName"));
    poName->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    poToolBar->addWidget(poName);
    return poToolBar;
}

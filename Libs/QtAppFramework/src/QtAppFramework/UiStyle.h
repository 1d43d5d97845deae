// The common look of every window: the style sheet with its colour modes, style classes,
// recoloured icons and the logo tool bar.
#pragma once

#include <QString>

class QIODevice;
class QObject;
class QToolBar;

// Registers the style resources, loads the Lato fonts and selects the day icon colours.
void initUiStyle();

// Builds the style sheet from the template for a mode (0 Day, 3 BrightDay, any other Dusk)
// and a scale factor, appends the extra style sheet, and sets it on the application.
void applyStyleSheet(QIODevice* poExtra, int nMode, int nScale);

// Multiplies every size of the unit ("px", "pt") that follows a white-space character.
void scaleStyleSheetSizes(QString& strStyleSheet, QString strUnit, unsigned nFactor);

// Sets the "class" property on every widget below poRoot and recolours button icons.
void applyStyleClasses(QObject* poRoot);
void applyStyleClass(QObject* poObject, QString strInheritedClass);
void markSystemMenu(QObject* poObject);

// A tool bar of class "GP" with the logo and the product name; the caller owns it.
QToolBar* createLogoToolBar(QString strProductName);

// Icon colours that SvgIconEngine draws with.
void initStylePalette();
void setDayPalette();
// The day colours, with dark icons on the light logo tool bar.
void setBrightDayPalette();
void setDuskPalette();

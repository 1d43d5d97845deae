#include "OrlexViewer/ColorMapDialog.h"

ColorMapDialog::ColorMapDialog(QWidget* poParent) : QDialog(poParent) {}

ColorMapDialog::~ColorMapDialog() = default;

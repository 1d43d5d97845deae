#include "OrlexViewer/ColorMap.h"

ColorMap::ColorMap(QObject* poParent) : QObject(poParent) {}

ColorMap::~ColorMap() = default;

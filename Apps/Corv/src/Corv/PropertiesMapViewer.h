// The Map Viewer options page: the overlay group.
#pragma once

#include "QtAppFramework/AppPropertiesNode.h"

class CPropertiesMapViewer : public CAppPropertiesNode {
    Q_OBJECT
public:
    CPropertiesMapViewer(QString strName, QObject* poParent);

public slots:
    // Asks for a row of (16, nTypeId) under the row (16, 31), which the page does not have.
    void addTvgplObjectType(QString strTypeName, int nTypeId);
};

// The Survey options page: terrain model, ships track, overlay, miscellaneous, planning and user objects.
#pragma once

#include "QtAppFramework/AppPropertiesNode.h"

class CPropertiesSurvey : public CAppPropertiesNode {
    Q_OBJECT
public:
    CPropertiesSurvey(QString strName, QObject* poParent);
};

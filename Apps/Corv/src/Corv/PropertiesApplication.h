// The Application options page: the general start-up switches.
#pragma once

#include "QtAppFramework/AppPropertiesNode.h"

class CPropertiesApplication : public CAppPropertiesNode {
    Q_OBJECT
public:
    CPropertiesApplication(QString strName, QObject* poParent);
};

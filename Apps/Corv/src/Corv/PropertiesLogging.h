// The Logging options page: logging state, log file name and size.
#pragma once

#include "QtAppFramework/AppPropertiesNode.h"

class CPropertiesLogging : public CAppPropertiesNode {
    Q_OBJECT
public:
    CPropertiesLogging(QString strName, QObject* poParent);
};

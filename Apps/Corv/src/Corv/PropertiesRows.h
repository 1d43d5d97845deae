// Rows of the application's option pages: a table of group rows with their child rows.
#pragma once

#include "QtAppFramework/PropertiesNode.h"

class CAppPropertiesNode;

struct PropertyRow {
    PropertyType eType;
    int nGroupId;
    int nSettingId;
    const char* pszName;
    const char* pszDescription;
    const PropertyEnumItem* poItems = nullptr;
    int nItemCount = 0;
    // Limits of an Int row; none when minimum > maximum.
    int nMinimum = 1;
    int nMaximum = 0;
    // A row that sits at the top level even without being a group.
    bool bTopLevel = false;
};

// Adds the rows in order: group rows and rows marked top-level at the top, every other row
// under the last group row. The rows of a group that could not be created are left out. Labels
// and descriptions are translated in the context szContext.
void addPropertyRows(CAppPropertiesNode* poNode, const char* szContext, const PropertyRow* poRows, int nCount);

#include "PropertiesRows.h"

#include "QtAppFramework/AppPropertiesNode.h"

#include <QCoreApplication>

void addPropertyRows(CAppPropertiesNode* poNode, const char* szContext, const PropertyRow* poRows, int nCount)
{
    const PropertyRow* poGroup = nullptr;
    bool bGroupCreated = false;
    for (int i = 0; i < nCount; ++i) {
        const PropertyRow& oRow = poRows[i];
        const QString strName = QCoreApplication::translate(szContext, oRow.pszName);
        const QString strDescription = QCoreApplication::translate(szContext, oRow.pszDescription);
        QtProperty* poProperty = nullptr;
        if (oRow.eType == PropertyType::Group || oRow.bTopLevel) {
            poProperty = poNode->addTopLevelSetting(oRow.eType, oRow.nGroupId, oRow.nSettingId, strName,
                                                    strDescription, oRow.poItems, oRow.nItemCount);
            if (oRow.eType == PropertyType::Group) {
                poGroup = &oRow;
                bGroupCreated = poProperty != nullptr;
            }
        } else if (poGroup && bGroupCreated) {
            poProperty = poNode->addSubSetting(poGroup->nGroupId, poGroup->nSettingId, oRow.eType, oRow.nGroupId,
                                               oRow.nSettingId, strName, strDescription, oRow.poItems,
                                               oRow.nItemCount);
        }
        if (poProperty && oRow.nMinimum <= oRow.nMaximum) {
            if (QtVariantProperty* poVariant = poNode->manager()->variantProperty(poProperty)) {
                poVariant->setAttribute(QStringLiteral("minimum"), oRow.nMinimum);
                poVariant->setAttribute(QStringLiteral("maximum"), oRow.nMaximum);
            }
        }
    }
}

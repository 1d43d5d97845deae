#include "QtAppFramework/PropertiesNode.h"

#include <qttreepropertybrowser.h>
#include <qtvariantproperty.h>

#include <QCoreApplication>
#include <QStringList>

namespace {

const QString kNewLine = QStringLiteral("\n");

// The value type of the property a row type creates; QVariant::Invalid for none.
int valueTypeOf(PropertyType eType)
{
    switch (eType) {
    case PropertyType::Group:
        return QtVariantPropertyManager::groupTypeId();
    case PropertyType::Bool:
        return QVariant::Bool;
    case PropertyType::Int:
        return QVariant::Int;
    case PropertyType::Double:
        return QVariant::Double;
    case PropertyType::String:
        return QVariant::String;
    case PropertyType::Date:
        return QVariant::Date;
    case PropertyType::Time:
        return QVariant::Time;
    case PropertyType::DateTime:
        return QVariant::DateTime;
    case PropertyType::KeySequence:
        return QVariant::KeySequence;
    case PropertyType::Char:
        return QVariant::Char;
    case PropertyType::Locale:
        return QVariant::Locale;
    case PropertyType::Point:
        return QVariant::Point;
    case PropertyType::PointF:
        return QVariant::PointF;
    case PropertyType::Size:
        return QVariant::Size;
    case PropertyType::SizeF:
        return QVariant::SizeF;
    case PropertyType::Rect:
        return QVariant::Rect;
    case PropertyType::RectF:
        return QVariant::RectF;
    case PropertyType::Enum:
        return QtVariantPropertyManager::enumTypeId();
    case PropertyType::Flag:
        return QVariant::Invalid; // this browser has no flag rows
    case PropertyType::SizePolicy:
        return QVariant::SizePolicy;
    case PropertyType::Font:
        return QVariant::Font;
    case PropertyType::Cursor:
        return QVariant::Cursor;
    case PropertyType::Color:
        return QVariant::Color;
    }
    return QVariant::Invalid;
}

} // namespace

CPropertiesNode::CPropertiesNode(QString strName, QObject* poParent)
    : CSettingsNodeComponent(std::move(strName), nullptr, poParent),
      m_poBrowser(new QtTreePropertyBrowser()), m_poManager(new QtVariantPropertyManager()),
      m_poFactory(new QtVariantEditorFactory())
{
    m_poBrowser->setFactoryForManager(m_poManager, m_poFactory);
    m_poBrowser->setPropertiesWithoutValueMarked(false);
    m_poBrowser->setRootIsDecorated(true);
    m_poBrowser->setAlternatingRowColors(false);
    m_poBrowser->setHeaderVisible(false);
    setWidget(m_poBrowser);
}

CPropertiesNode::~CPropertiesNode()
{
    // The browser may already be gone with the container it was put into.
    delete m_poBrowser;
    delete m_poFactory;
    delete m_poManager;
}

int CPropertiesNode::propertyId(int nGroupId, int nSettingId)
{
    return static_cast<int>((static_cast<unsigned>(nGroupId) << 16)
                            | (static_cast<unsigned>(nSettingId) & 0xFFFFu));
}

void CPropertiesNode::showInfo(QWidget* poPage)
{
    auto* poBrowser = qobject_cast<QtTreePropertyBrowser*>(poPage);
    if (!poBrowser)
        return;
    if (QtBrowserItem* poCurrent = poBrowser->currentItem()) {
        QString strTitle = kNewLine;
        QString strDescription = kNewLine;
        if (QtProperty* poProperty = poCurrent->property()) {
            strTitle = poProperty->propertyName();
            strDescription = poProperty->statusTip();
        }
        emit settingInfo(strTitle, strDescription);
        return;
    }
    const QList<QtBrowserItem*> lstItems = poBrowser->topLevelItems();
    if (lstItems.isEmpty())
        return;
    poBrowser->setExpanded(lstItems.first(), true);
    poBrowser->setCurrentItem(lstItems.first());
}

void CPropertiesNode::collapseAll()
{
    if (!m_poBrowser)
        return;
    const QList<QtBrowserItem*> lstItems = m_poBrowser->topLevelItems();
    for (QtBrowserItem* poItem : lstItems)
        collapseItem(poItem);
}

void CPropertiesNode::collapseItem(QtBrowserItem* poItem)
{
    if (!poItem || !m_poBrowser)
        return;
    const QList<QtBrowserItem*> lstChildren = poItem->children();
    for (QtBrowserItem* poChild : lstChildren)
        collapseItem(poChild);
    m_poBrowser->setExpanded(poItem, false);
}

QtVariantProperty* CPropertiesNode::createProperty(PropertyType eType, const QString& strName,
                                                   const QString& strDescription)
{
    const int nValueType = valueTypeOf(eType);
    if (!m_poManager)
        return nullptr;
    if (nValueType == QVariant::Invalid) {
        qWarning("CPropertiesNode: the browser has no rows of type %d; row \"%s\" not created", static_cast<int>(eType),
                 qPrintable(strName));
        return nullptr;
    }
    QtVariantProperty* poProperty = m_poManager->addProperty(nValueType, strName);
    if (!poProperty)
        return nullptr;
    poProperty->setPropertyName(strName);
    poProperty->setStatusTip(strDescription);
    return poProperty;
}

QtVariantProperty* CPropertiesNode::addTopLevelProperty(PropertyType eType, int nPropertyId,
                                                        const QString& strName,
                                                        const QString& strDescription,
                                                        const PropertyEnumItem* poItems,
                                                        int nCount)
{
    QtVariantProperty* poProperty = createProperty(eType, strName, strDescription);
    if (!poProperty)
        return nullptr;
    if (m_poBrowser)
        m_poBrowser->addProperty(poProperty);
    m_mapProperties.insert(nPropertyId, poProperty);
    addItems(poProperty, eType, nPropertyId, poItems, nCount);
    return poProperty;
}

QtVariantProperty* CPropertiesNode::addSubProperty(int nParentId, PropertyType eType,
                                                   int nPropertyId, const QString& strName,
                                                   const QString& strDescription,
                                                   const PropertyEnumItem* poItems, int nCount)
{
    QtVariantProperty* poParent = m_poManager->variantProperty(m_mapProperties.value(nParentId));
    if (!poParent || poParent->propertyType() != QtVariantPropertyManager::groupTypeId())
        return nullptr;
    QtVariantProperty* poProperty = createProperty(eType, strName, strDescription);
    if (!poProperty)
        return nullptr;
    poParent->addSubProperty(poProperty);
    m_mapProperties.insert(nPropertyId, poProperty);
    addItems(poProperty, eType, nPropertyId, poItems, nCount);
    return poProperty;
}

void CPropertiesNode::addItems(QtVariantProperty* poProperty, PropertyType eType,
                               int nPropertyId, const PropertyEnumItem* poItems, int nCount)
{
    if (!poItems || nCount <= 0)
        return;
    QStringList lstNames;
    for (int i = 0; i < nCount; ++i)
        lstNames << QCoreApplication::translate("CPropertiesNode", poItems[i].pszText);
    if (eType == PropertyType::Enum) {
        poProperty->setAttribute(QStringLiteral("enumNames"), lstNames);
        registerEnumValues(nPropertyId, poItems, nCount);
    } else if (eType == PropertyType::Flag) {
        poProperty->setAttribute(QStringLiteral("flagNames"), lstNames);
    }
}

void CPropertiesNode::registerEnumValues(int nPropertyId, const PropertyEnumItem* poItems,
                                         int nCount)
{
    if (!poItems || nCount <= 0)
        return;
    QMap<int, int> mapTable;
    for (int i = 0; i < nCount; ++i)
        mapTable.insert(i, poItems[i].nValue);
    m_mapEnumTables.insert(nPropertyId, mapTable);
}

void CPropertiesNode::readPropertyValue(int nPropertyId, QtVariantProperty* poProperty,
                                        QVariant& vOut) const
{
    if (!poProperty)
        return;
    vOut = poProperty->value();
    const auto itTable = m_mapEnumTables.constFind(nPropertyId);
    if (itTable == m_mapEnumTables.constEnd())
        return;
    const int nIndex = vOut.toInt();
    vOut = itTable->contains(nIndex) ? itTable->value(nIndex) : nIndex;
}

QVariant CPropertiesNode::propertyValue(int nPropertyId) const
{
    QtVariantProperty* poProperty =
        m_poManager->variantProperty(m_mapProperties.value(nPropertyId));
    if (!poProperty)
        return QVariant();
    QVariant vValue;
    readPropertyValue(nPropertyId, poProperty, vValue);
    return vValue;
}

void CPropertiesNode::setPropertyValue(int nPropertyId, const QVariant& vValue)
{
    QtVariantProperty* poProperty =
        m_poManager->variantProperty(m_mapProperties.value(nPropertyId));
    if (!poProperty)
        return;
    const QMap<int, int> mapTable = m_mapEnumTables.value(nPropertyId);
    if (!mapTable.isEmpty()) {
        const int nWanted = vValue.toInt();
        for (auto it = mapTable.constBegin(); it != mapTable.constEnd(); ++it) {
            if (it.value() == nWanted) {
                poProperty->setValue(it.key());
                return;
            }
        }
    }
    poProperty->setValue(vValue);
}

void CPropertiesNode::connectBrowser(bool bOn)
{
    if (!m_poBrowser)
        return;
    if (bOn && !m_bBrowserConnected) {
        connect(m_poBrowser, &QtAbstractPropertyBrowser::currentItemChanged, this,
                qOverload<QtBrowserItem*>(&CPropertiesNode::handleBrowserItemChanged));
        connect(m_poBrowser, &QtTreePropertyBrowser::expanded, this,
                &CPropertiesNode::handleBrowserItemExpanded);
        connect(m_poBrowser, &QtTreePropertyBrowser::collapsed, this,
                &CPropertiesNode::handleBrowserItemCollapsed);
        connect(m_poManager, &QtAbstractPropertyManager::propertyChanged, this,
                &CPropertiesNode::handlePropertyChanged);
    } else if (!bOn && m_bBrowserConnected) {
        disconnect(m_poBrowser, &QtAbstractPropertyBrowser::currentItemChanged, this,
                   qOverload<QtBrowserItem*>(&CPropertiesNode::handleBrowserItemChanged));
        disconnect(m_poBrowser, &QtTreePropertyBrowser::expanded, this,
                   &CPropertiesNode::handleBrowserItemExpanded);
        disconnect(m_poBrowser, &QtTreePropertyBrowser::collapsed, this,
                   &CPropertiesNode::handleBrowserItemCollapsed);
        disconnect(m_poManager, &QtAbstractPropertyManager::propertyChanged, this,
                   &CPropertiesNode::handlePropertyChanged);
    }
    m_bBrowserConnected = bOn;
}

void CPropertiesNode::runWithBrowserCut(const std::function<void()>& fnOperation)
{
    // Writes into the rows must not come back as edits; the operation may change m_bActive.
    if (m_bActive)
        connectBrowser(false);
    fnOperation();
    if (m_bActive)
        connectBrowser(true);
}

void CPropertiesNode::init()
{
    runWithBrowserCut([this] { loadFromModel(); });
}

void CPropertiesNode::apply(bool bForce)
{
    runWithBrowserCut([this, bForce] { applyBound(bForce); });
}

void CPropertiesNode::cancel()
{
    runWithBrowserCut([this] { revertBound(); });
}

void CPropertiesNode::activate()
{
    connectBrowser(true);
    m_bActive = true;
}

void CPropertiesNode::deactivate()
{
    connectBrowser(false);
    m_bActive = false;
}

void CPropertiesNode::handleBrowserItemChanged(QtBrowserItem* poBrowserItem, bool bEdit)
{
    QString strTitle = kNewLine;
    QString strDescription = kNewLine;
    if (poBrowserItem && poBrowserItem->property()) {
        strTitle = poBrowserItem->property()->propertyName();
        strDescription = poBrowserItem->property()->statusTip();
        if (bEdit && m_poBrowser)
            m_poBrowser->editItem(poBrowserItem);
    }
    emit settingInfo(strTitle, strDescription);
}

void CPropertiesNode::handleBrowserItemChanged(QtBrowserItem* poBrowserItem)
{
    handleBrowserItemChanged(poBrowserItem, true);
}

void CPropertiesNode::handleBrowserItemExpanded(QtBrowserItem* poBrowserItem)
{
    setExpandState(poBrowserItem, true);
}

void CPropertiesNode::handleBrowserItemCollapsed(QtBrowserItem* poBrowserItem)
{
    setExpandState(poBrowserItem, false);
}

void CPropertiesNode::setExpandState(QtBrowserItem* poBrowserItem, bool bExpanded)
{
    if (!poBrowserItem)
        return;
    // Only a yes/no row takes the state. A group row has no value: opening or closing it is no
    // edit and leaves its bound setting as it is. A real change reaches handlePropertyChanged
    // through the manager.
    QtVariantProperty* poProperty = m_poManager->variantProperty(poBrowserItem->property());
    if (poProperty && poProperty->valueType() == QVariant::Bool)
        poProperty->setValue(bExpanded);
}

void CPropertiesNode::handlePropertyChanged(QtProperty* poProperty)
{
    QtVariantProperty* poVariant = m_poManager->variantProperty(poProperty);
    if (!poVariant)
        return;
    for (auto it = m_mapProperties.constBegin(); it != m_mapProperties.constEnd(); ++it) {
        if (it.value() != poProperty || it.key() == -1)
            continue;
        const int nPropertyId = it.key();
        QVariant vValue;
        readPropertyValue(nPropertyId, poVariant, vValue);
        emit propertyValueChanged(nPropertyId, vValue);
        emit settingValueChanged();
        return;
    }
}

#include "VirelleConnector/DomDocument.h"

#include <QDebug>

namespace {
const QString s_strToken = QStringLiteral("TOKEN");

QString tokenId(const QDomElement& token)
{
    return token.firstChildElement(QStringLiteral("ID")).text();
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}
} // namespace

bool CDomDocument::updateFromXml(const QString& xml, QString* errorMessage, int* errorLine, int* errorColumn,
                                 bool check)
{
    CDomDocument oUpdate;
    if (!oUpdate.setContent(xml, errorMessage, errorLine, errorColumn))
        return false;
    if (check && !oUpdate.sanitizeCheck())
        return false;
    if (isNull())
        return setContent(xml, errorMessage, errorLine, errorColumn);
    const QDomNodeList oTokens = oUpdate.elementsByTagName(s_strToken);
    for (int i = 0; i < oTokens.size(); ++i) {
        const QDomElement oToken = oTokens.at(i).toElement();
        mergeToken(oToken, tokenId(oToken));
    }
    return true;
}

bool CDomDocument::sanitizeCheck() const
{
    const QDomNodeList oTokens = elementsByTagName(s_strToken);
    for (int i = 0; i < oTokens.size(); ++i) {
        const QDomElement oToken = oTokens.at(i).toElement();
        const QString strId = tokenId(oToken);
        if (strId.isEmpty()) {
            qDebug().noquote() << "CDomDocument::sanitizeCheck - WARNING - token in xml has no ID -"
                               << tokenToString(oToken);
            return false;
        }
        for (QDomElement oChild = oToken.firstChildElement(); !oChild.isNull();
             oChild = oChild.nextSiblingElement()) {
            if (hasLineBreak(oChild.tagName())) {
                qDebug().noquote() << "CDomDocument::sanitizeCheck - WARNING - token:" << oChild.tagName()
                                   << "contains illigal characters" << tokenToString(oToken);
                return false;
            }
            if (hasLineBreak(oChild.text())) {
                qDebug().noquote() << "CDomDocument::sanitizeCheck - WARNING - token:" << oChild.tagName()
                                   << "value contains illigal characters" << oChild.text();
                return false;
            }
        }
        if (oToken.elementsByTagName(s_strToken).size() > 0) {
            qDebug().noquote() << "CDomDocument::sanitizeCheck - WARNING - token:" << strId
                               << "has more tokens (and might have a bad format)";
            return false;
        }
    }
    return true;
}

void CDomDocument::mergeToken(const QDomNode& token, const QString& id)
{
    QDomNode oTarget = findToken(id, token);
    if (oTarget.isNull())
        return;
    for (QDomNode oChild = token.firstChild(); !oChild.isNull(); oChild = oChild.nextSibling()) {
        const QDomNode oCopy = importNode(oChild, true);
        QDomNode oExisting;
        for (QDomNode oOld = oTarget.firstChild(); !oOld.isNull(); oOld = oOld.nextSibling())
            if (oOld.nodeName() == oChild.nodeName()) {
                oExisting = oOld;
                break;
            }
        if (!oExisting.isNull())
            oTarget.replaceChild(oCopy, oExisting);
        else
            oTarget.appendChild(oCopy);
    }
}

QDomNode CDomDocument::findToken(const QString& id, const QDomNode& templateNode)
{
    const QDomNodeList oTokens = elementsByTagName(s_strToken);
    for (int i = 0; i < oTokens.size(); ++i)
        if (tokenId(oTokens.at(i).toElement()).compare(id, Qt::CaseInsensitive) == 0)
            return oTokens.at(i);
    if (templateNode.isNull())
        return QDomNode();
    // A new token goes next to the last one; a document without tokens takes it under its root.
    QDomNode oParent = oTokens.isEmpty() ? QDomNode(documentElement()) : oTokens.at(oTokens.size() - 1).parentNode();
    if (oParent.isNull())
        return QDomNode();
    return oParent.appendChild(importNode(templateNode, true));
}

QString CDomDocument::tokenToString(const QDomNode& node)
{
    QDomDocument oDoc(QStringLiteral("err"));
    QDomElement oRoot = oDoc.createElement(QStringLiteral("MyRoot"));
    oDoc.appendChild(oRoot);
    oRoot.appendChild(oDoc.importNode(node, true));
    return oDoc.toString(1);
}

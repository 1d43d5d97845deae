// A parameter XML held as "TOKEN" elements that takes partial updates token by token.
#pragma once

#include <QDomDocument>
#include <QDomNode>
#include <QString>

class CDomDocument : public QDomDocument {
public:
    using QDomDocument::QDomDocument;

    // Merges the tokens of xml into this document (or takes xml whole while this one is empty);
    // with check, a badly formed token refuses the whole update. False leaves the document as it was.
    bool updateFromXml(const QString& xml, QString* errorMessage = nullptr, int* errorLine = nullptr,
                       int* errorColumn = nullptr, bool check = true);
    // True when every token has an id, no line break in tag names or values and no nested token.
    bool sanitizeCheck() const;
    // Replaces or appends the token's values in the token of the same id (added when new).
    void mergeToken(const QDomNode& token, const QString& id);
    // The first token whose id equals id ignoring case; with a template, a copy of it added next
    // to the last token (or under the root when there is none) when no token has the id.
    QDomNode findToken(const QString& id, const QDomNode& templateNode = QDomNode());
    static QString tokenToString(const QDomNode& node);
};

// Token documents: partial updates merged token by token, and the token check.
#include "VirelleConnector/DomDocument.h"

#include <gtest/gtest.h>

namespace {

const char* const s_szBase =
    "<PARAMS><GROUP>"
    "<TOKEN><ID>Gain</ID><VALUE>3</VALUE><MIN>0</MIN></TOKEN>"
    "<TOKEN><ID>Range</ID><VALUE>100</VALUE></TOKEN>"
    "</GROUP></PARAMS>";

QString valueOf(CDomDocument& doc, const QString& id, const QString& tag)
{
    return doc.findToken(id).firstChildElement(tag).text();
}

CDomDocument baseDocument()
{
    CDomDocument oDoc;
    EXPECT_TRUE(oDoc.setContent(QString::fromUtf8(s_szBase)));
    return oDoc;
}

TEST(CDomDocument, UpdateReplacesOnlyTheValuesItCarries)
{
    CDomDocument oDoc = baseDocument();
    ASSERT_TRUE(oDoc.updateFromXml(QStringLiteral("<U><TOKEN><ID>gain</ID><VALUE>7</VALUE><MAX>9</MAX></TOKEN></U>")));
    EXPECT_EQ(valueOf(oDoc, "Gain", "VALUE"), "7");
    EXPECT_EQ(valueOf(oDoc, "Gain", "MIN"), "0");
    EXPECT_EQ(valueOf(oDoc, "Gain", "MAX"), "9");
    EXPECT_EQ(valueOf(oDoc, "Gain", "ID"), "gain"); // the update's ID element replaces the old one
    EXPECT_EQ(oDoc.elementsByTagName("TOKEN").size(), 2);
}

TEST(CDomDocument, NewTokenGoesNextToTheLastToken)
{
    CDomDocument oDoc = baseDocument();
    ASSERT_TRUE(oDoc.updateFromXml(QStringLiteral("<U><TOKEN><ID>Pulse</ID><VALUE>2</VALUE></TOKEN></U>")));
    const QDomNodeList oTokens = oDoc.elementsByTagName("TOKEN");
    ASSERT_EQ(oTokens.size(), 3);
    EXPECT_EQ(oTokens.at(2).parentNode().nodeName(), "GROUP");
    EXPECT_EQ(valueOf(oDoc, "PULSE", "VALUE"), "2");
}

TEST(CDomDocument, NewTokenIsKeptByDocumentWithoutTokens)
{
    CDomDocument oDoc;
    ASSERT_TRUE(oDoc.setContent(QStringLiteral("<PARAMS/>")));
    ASSERT_TRUE(oDoc.updateFromXml(QStringLiteral("<U><TOKEN><ID>Gain</ID><VALUE>1</VALUE></TOKEN></U>")));
    EXPECT_EQ(valueOf(oDoc, "Gain", "VALUE"), "1");
    EXPECT_EQ(oDoc.findToken("Gain").parentNode().nodeName(), "PARAMS");
}

TEST(CDomDocument, EmptyDocumentTakesFirstUpdateWhole)
{
    CDomDocument oDoc;
    ASSERT_TRUE(oDoc.updateFromXml(QStringLiteral("<ROOT><X>1</X></ROOT>")));
    EXPECT_EQ(oDoc.documentElement().tagName(), "ROOT");
    EXPECT_EQ(oDoc.documentElement().firstChildElement("X").text(), "1");
}

struct RefusedCase {
    const char* label;
    const char* xml;
    bool check;
};

class CDomDocumentRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(CDomDocumentRefused, LeavesDocumentUnchanged)
{
    CDomDocument oDoc = baseDocument();
    const QString strBefore = oDoc.toString();
    QString strError;
    int nLine = 0, nColumn = 0;
    EXPECT_FALSE(oDoc.updateFromXml(QString::fromUtf8(GetParam().xml), &strError, &nLine, &nColumn, GetParam().check))
        << GetParam().label;
    EXPECT_EQ(oDoc.toString(), strBefore) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(Table, CDomDocumentRefused, ::testing::Values(
    RefusedCase{"line feed in value", "<U><TOKEN><ID>Gain</ID><VALUE>1\n2</VALUE></TOKEN></U>", true},
    RefusedCase{"carriage return in value", "<U><TOKEN><ID>Gain</ID><VALUE>1\r2</VALUE></TOKEN></U>", true},
    RefusedCase{"missing id", "<U><TOKEN><VALUE>1</VALUE></TOKEN></U>", true},
    RefusedCase{"nested token", "<U><TOKEN><ID>A</ID><TOKEN><ID>B</ID></TOKEN></TOKEN></U>", true},
    RefusedCase{"second token bad", "<U><TOKEN><ID>Gain</ID><VALUE>5</VALUE></TOKEN><TOKEN><ID/></TOKEN></U>", true},
    RefusedCase{"not well-formed", "<U><TOKEN>", false}));

TEST(CDomDocument, CheckOffMergesLineBreaks)
{
    CDomDocument oDoc = baseDocument();
    ASSERT_TRUE(oDoc.updateFromXml(QStringLiteral("<U><TOKEN><ID>Gain</ID><VALUE>1\n2</VALUE></TOKEN></U>"), nullptr,
                                   nullptr, nullptr, false));
    EXPECT_EQ(valueOf(oDoc, "Gain", "VALUE"), "1\n2");
}

TEST(CDomDocument, ParseErrorIsReported)
{
    CDomDocument oDoc;
    QString strError;
    int nLine = 0, nColumn = 0;
    EXPECT_FALSE(oDoc.updateFromXml(QStringLiteral("<a>\n<b></a>"), &strError, &nLine, &nColumn));
    EXPECT_FALSE(strError.isEmpty());
    EXPECT_EQ(nLine, 2);
    EXPECT_TRUE(oDoc.isNull());
}

TEST(CDomDocument, TokenToStringWrapsACopy)
{
    CDomDocument oDoc = baseDocument();
    const QString strText = CDomDocument::tokenToString(oDoc.findToken("Range"));
    EXPECT_TRUE(strText.contains("<!DOCTYPE err>"));
    EXPECT_TRUE(strText.contains("<MyRoot>\n <TOKEN>\n  <ID>Range</ID>")) << strText.toStdString();
    EXPECT_EQ(oDoc.elementsByTagName("TOKEN").size(), 2);
}

} // namespace

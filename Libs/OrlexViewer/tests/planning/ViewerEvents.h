// Viewer events that the stand-in server sends to the controller in the planning tests.
#pragma once

#include "../controller/ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace plantest {

inline QJsonObject positionLevels(double dX, double dY, double dZ)
{
    // Built with << so that clang and gcc both nest the inner array.
    return QJsonObject{{"levels", QJsonArray() << QJsonArray{viewertest::doubleField(0, dX), viewertest::doubleField(1, dY),
                                                             viewertest::doubleField(2, dZ)}}};
}

// Sends a viewer event of the core protocol to the controller.
inline void sendViewerEvent(viewertest::ControllerHarness& harness, int nViewerId, const char* szType,
                            const QJsonArray& own)
{
    ASSERT_TRUE(harness.sendToClient(orlex_standin::coreType(szType),
                                     QJsonArray{QJsonArray(), QJsonArray{viewertest::int32Field(0, nViewerId)}, own}));
}

// A pick: the object (none for 0) and the position.
inline void sendPick(viewertest::ControllerHarness& harness, int nViewerId, quint64 nId, double dX, double dY)
{
    QJsonArray own;
    if (nId != 0)
        own.append(orlex_standin::listField(0, QStringLiteral("uint64"), QJsonArray{QString::number(nId)}));
    own.append(orlex_standin::listField(1, QStringLiteral("struct"), QJsonArray{positionLevels(dX, dY, 0)}));
    sendViewerEvent(harness, nViewerId, "ObjectPickedMessage", own);
}

// Waits until the controller has handled everything the server sent before: the server's error
// report sent after it reaches the controller's signal.
inline void settle(viewertest::ControllerHarness& harness, COrlexViewer* pViewer)
{
    QSignalSpy errors(pViewer, &COrlexViewer::viewerError);
    ASSERT_TRUE(harness.sendToClient(
        orlex_standin::coreType("ErrorMessage"),
        QJsonArray{QJsonArray(), QJsonArray{orlex_standin::field(0, QStringLiteral("string"), QStringLiteral("settle")),
                                            viewertest::int32Field(1, 0)}}));
    ASSERT_TRUE(viewertest::waitUntil([&] { return !errors.isEmpty(); }));
}

// Bodies of the messages of one short type the server received from nFrom on.
inline QList<viewertest::LoggedBody> received(viewertest::ControllerHarness& harness, const char* szType, qint64 nFrom)
{
    return harness.receivedBodies(QString::fromLatin1(szType), nFrom);
}

} // namespace plantest

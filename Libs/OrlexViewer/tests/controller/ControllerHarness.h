// Runs the 3-D view controller against the stand-in viewer server: starts the server, builds the
// map pane, starts the controller and reads what the server received.
#pragma once

#include "orlex_standin/control.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class COrlexViewer;
class QVBoxLayout;
class QWidget;

namespace viewertest {

// Processes events until the condition holds or the time is up; the condition's last value.
bool waitUntil(const std::function<bool()>& condition, int nTimeoutMs = 5000);

// One message body as the stand-in logs it: levels of fields, base parts first.
class LoggedBody
{
public:
    LoggedBody() = default;
    explicit LoggedBody(QJsonObject body) : m_body(std::move(body)) {}

    int levelCount() const;
    // The own level is the last one.
    int ownLevel() const { return levelCount() - 1; }
    bool has(int nLevel, int nId) const;
    double number(int nLevel, int nId, double dFallback = 0) const;
    bool flag(int nLevel, int nId, bool bFallback = false) const;
    QString text(int nLevel, int nId) const;
    // A struct field or a nullable struct that holds one; empty when absent.
    LoggedBody structAt(int nLevel, int nId) const;
    // The elements of a list field (a nullable scalar is a list of one).
    QJsonArray list(int nLevel, int nId) const;
    // X, Y, Z of a PositionData field (or nullable PositionData), with their defaults.
    std::array<double, 3> position(int nLevel, int nId) const;
    bool isEmpty() const { return m_body.isEmpty(); }

private:
    QJsonObject field(int nLevel, int nId) const;
    QJsonObject m_body;
};

// The body of a logged entry.
LoggedBody bodyOf(const QJsonObject& entry);
// The view positions (metres) of the vertices of a created or updated line.
QList<QPointF> lineVertices(const LoggedBody& body);
// "Tavrin.Dremm.Orlex.X" and "...Quennet.X" give "X".
QString shortType(const QJsonObject& entry);

class ControllerHarness
{
public:
    ControllerHarness();
    ~ControllerHarness();

    // Starts the stand-in on the pipe "dremmCorv".
    bool startServer();
    // The map pane (800 x 600, shown) and its layout.
    QWidget* pane() const { return m_pPane.get(); }
    QVBoxLayout* layout() const { return m_pLayout; }
    // instance("dremmCorv"), then setViewerParent with the pane.
    COrlexViewer* startController();
    // startController, then initViewer with the display mode.
    COrlexViewer* startLiveView(int nMode = 3);

    orlex_standin::StandinControl& control() { return m_control; }
    orlex_standin::StandinProcess& server() { return *m_pServer; }

    // The sequence number after the last message the server has received so far.
    qint64 mark();
    // Received messages of one short type from a sequence number on.
    QList<QJsonObject> received(const QString& strType, qint64 nFrom = 0);
    // Bodies of the received messages of one short type from a sequence number on, once
    // everything sent so far has arrived (sync).
    QList<LoggedBody> receivedBodies(const QString& strType, qint64 nFrom = 0);
    // Short types of the received messages from a sequence number on, without the ignored ones.
    QStringList receivedTypes(qint64 nFrom = 0, const QSet<QString>& ignored = {});
    // Waits (processing events) for a received message of that short type.
    std::optional<QJsonObject> waitReceived(const QString& strType, qint64 nFrom = 0, int nTimeoutMs = 5000);
    // Waits until the server has received everything sent so far: a navigation query is sent
    // through the controller's connection and its arrival awaited.
    void sync();

    // Sends a message to the client: levels of fields, base parts first.
    bool sendToClient(const QString& strFullType, const QJsonArray& levels);

private:
    std::unique_ptr<orlex_standin::StandinProcess> m_pServer;
    orlex_standin::StandinControl m_control;
    std::unique_ptr<QWidget> m_pPane;
    QVBoxLayout* m_pLayout = nullptr;
};

// A suite that shares one live view (display mode 3) among its tests; the controller goes with
// the suite.
class LiveViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    ControllerHarness& harness() { return *s_pHarness; }
    COrlexViewer* viewer() { return s_pViewer; }

    static ControllerHarness* s_pHarness;
    static COrlexViewer* s_pViewer;
    static int s_nViewerId;
};

// Levels for scripted bodies.
QJsonObject doubleField(int nId, double d);
QJsonObject floatField(int nId, double d);
QJsonObject uint64Field(int nId, quint64 n);
QJsonObject int32Field(int nId, int n);
QJsonObject positionField(int nId, double dX, double dY, double dZ);

// A navigation answer for the viewer with that camera state (identity orientation).
QJsonArray navigationAnswer(int nViewerId, double dX, double dY, double dZ, double dFocal, double dViewportHeight,
                            double dFieldOfView);

} // namespace viewertest

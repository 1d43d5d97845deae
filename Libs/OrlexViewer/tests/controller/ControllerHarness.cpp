#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

namespace viewertest {

using orlex_standin::StandinProcess;

namespace {

const QString kBarrierType = QStringLiteral("UpdatePropertiesMessage");

QString fullType(const QString& strShort)
{
    static const QSet<QString> extension{QStringLiteral("CreateGraticuleMessage"), QStringLiteral("CreateGridEngineTerrainMessage"),
                                         QStringLiteral("SetColorMapRangeMessage"), QStringLiteral("CreateLegendMessage"),
                                         QStringLiteral("UpdateGraticuleMessage"), QStringLiteral("CreatePointBufferMessage"),
                                         QStringLiteral("UpdatePointBufferMessage"), QStringLiteral("AddToPointBufferMessage"),
                                         QStringLiteral("UpdateLegendMessage")};
    return extension.contains(strShort) ? orlex_standin::quennetType(strShort.toLatin1().constData())
                                        : orlex_standin::coreType(strShort.toLatin1().constData());
}

double jsonNumber(const QJsonValue& value, double dFallback)
{
    if (value.isDouble())
        return value.toDouble();
    if (value.isString()) {
        bool bOk = false;
        const double d = value.toString().toDouble(&bOk);
        return bOk ? d : dFallback;
    }
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    return dFallback;
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nTimeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

int LoggedBody::levelCount() const
{
    return m_body.value(QStringLiteral("levels")).toArray().size();
}

QJsonObject LoggedBody::field(int nLevel, int nId) const
{
    const QJsonArray level = m_body.value(QStringLiteral("levels")).toArray().at(nLevel).toArray();
    for (const QJsonValue& value : level)
        if (value.toObject().value(QStringLiteral("id")).toInt(-1) == nId)
            return value.toObject();
    return QJsonObject();
}

bool LoggedBody::has(int nLevel, int nId) const
{
    return !field(nLevel, nId).isEmpty();
}

double LoggedBody::number(int nLevel, int nId, double dFallback) const
{
    const QJsonObject f = field(nLevel, nId);
    if (f.isEmpty())
        return dFallback;
    if (f.value(QStringLiteral("t")).toString() == QLatin1String("list")) {
        const QJsonArray v = f.value(QStringLiteral("v")).toArray();
        return v.isEmpty() ? dFallback : jsonNumber(v.first(), dFallback);
    }
    return jsonNumber(f.value(QStringLiteral("v")), dFallback);
}

bool LoggedBody::flag(int nLevel, int nId, bool bFallback) const
{
    const QJsonObject f = field(nLevel, nId);
    return f.isEmpty() ? bFallback : f.value(QStringLiteral("v")).toBool(bFallback);
}

QString LoggedBody::text(int nLevel, int nId) const
{
    const QJsonObject f = field(nLevel, nId);
    if (f.value(QStringLiteral("t")).toString() == QLatin1String("list")) {
        const QJsonArray v = f.value(QStringLiteral("v")).toArray();
        return v.isEmpty() ? QString() : v.first().toString();
    }
    return f.value(QStringLiteral("v")).toString();
}

LoggedBody LoggedBody::structAt(int nLevel, int nId) const
{
    const QJsonObject f = field(nLevel, nId);
    if (f.value(QStringLiteral("t")).toString() == QLatin1String("list")) {
        const QJsonArray v = f.value(QStringLiteral("v")).toArray();
        return v.isEmpty() ? LoggedBody() : LoggedBody(v.first().toObject());
    }
    return f.contains(QStringLiteral("levels")) ? LoggedBody(f) : LoggedBody();
}

QJsonArray LoggedBody::list(int nLevel, int nId) const
{
    return field(nLevel, nId).value(QStringLiteral("v")).toArray();
}

std::array<double, 3> LoggedBody::position(int nLevel, int nId) const
{
    const LoggedBody p = structAt(nLevel, nId);
    return {p.number(0, 0), p.number(0, 1), p.number(0, 2)};
}

LoggedBody bodyOf(const QJsonObject& entry)
{
    return LoggedBody(entry.value(QStringLiteral("body")).toObject());
}

QString shortType(const QJsonObject& entry)
{
    return entry.value(QStringLiteral("type")).toString().section(QLatin1Char('.'), -1);
}

// ---------------------------------------------------------------------------------------------

ControllerHarness::ControllerHarness()
{
    platform::ensureWindowsEnvironment();
    QDir().mkpath(platform::toNativePath(programDataPath()));
}

ControllerHarness::~ControllerHarness() = default;

bool ControllerHarness::startServer()
{
    StandinProcess::Options options;
    options.pipeName = QStringLiteral("dremmCorv");
    m_pServer = std::make_unique<StandinProcess>(options);
    return m_pServer->start() && m_control.connectTo(m_pServer->controlPath());
}

COrlexViewer* ControllerHarness::startController()
{
    COrlexViewer* pViewer = COrlexViewer::instance(QStringLiteral("dremmCorv"));
    m_pPane = std::make_unique<QWidget>();
    m_pPane->resize(800, 600);
    m_pLayout = new QVBoxLayout(m_pPane.get());
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pPane->show();
    pViewer->setViewerParent(m_pPane.get(), m_pLayout);
    return pViewer;
}

COrlexViewer* ControllerHarness::startLiveView(int nMode)
{
    COrlexViewer* pViewer = startController();
    pViewer->initViewer(nMode);
    return pViewer;
}

qint64 ControllerHarness::mark()
{
    const QJsonArray entries = m_control.entries(QStringLiteral("in"));
    return entries.isEmpty() ? 0 : static_cast<qint64>(entries.last().toObject().value(QStringLiteral("seq")).toDouble()) + 1;
}

QList<QJsonObject> ControllerHarness::received(const QString& strType, qint64 nFrom)
{
    QList<QJsonObject> found;
    for (const QJsonValue& value : m_control.entries(QStringLiteral("in"), fullType(strType), nFrom))
        found.append(value.toObject());
    return found;
}

QList<LoggedBody> ControllerHarness::receivedBodies(const QString& strType, qint64 nFrom)
{
    sync();
    QList<LoggedBody> bodies;
    for (const QJsonObject& entry : received(strType, nFrom))
        bodies.append(bodyOf(entry));
    return bodies;
}

QStringList ControllerHarness::receivedTypes(qint64 nFrom, const QSet<QString>& ignored)
{
    QStringList types;
    for (const QJsonValue& value : m_control.entries(QStringLiteral("in"), QString(), nFrom)) {
        const QString strType = shortType(value.toObject());
        if (strType != kBarrierType && !ignored.contains(strType))
            types.append(strType);
    }
    return types;
}

std::optional<QJsonObject> ControllerHarness::waitReceived(const QString& strType, qint64 nFrom, int nTimeoutMs)
{
    std::optional<QJsonObject> found;
    waitUntil(
        [&] {
            found = m_control.waitFor(QStringLiteral("in"), fullType(strType), nFrom, 0);
            return found.has_value();
        },
        nTimeoutMs);
    return found;
}

void ControllerHarness::sync()
{
    COrlexViewer* pViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    if (!pViewer || !pViewer->getDispatcher())
        return;
    const qint64 nFrom = mark();
    ::Tavrin::Dremm::Orlex::UpdatePropertiesMessage barrier;
    pViewer->getDispatcher()->sendMessage(barrier);
    waitReceived(kBarrierType, nFrom);
}

bool ControllerHarness::sendToClient(const QString& strFullType, const QJsonArray& levels)
{
    return m_control.send(strFullType, orlex_standin::body(levels));
}

// ---------------------------------------------------------------------------------------------

ControllerHarness* LiveViewTest::s_pHarness = nullptr;
COrlexViewer* LiveViewTest::s_pViewer = nullptr;
int LiveViewTest::s_nViewerId = 0;

void LiveViewTest::SetUpTestSuite()
{
    s_pHarness = new ControllerHarness;
    ASSERT_TRUE(s_pHarness->startServer());
    s_pViewer = s_pHarness->startLiveView(3);
    // The view makes its graticule a few seconds after its start; tests that count messages or
    // ids begin after it.
    ASSERT_TRUE(s_pHarness->waitReceived(QStringLiteral("CreateGraticuleMessage"), 0, 15000));
    s_pHarness->sync();
    const QJsonArray viewers = s_pHarness->control().state().value(QStringLiteral("viewers")).toArray();
    ASSERT_EQ(viewers.size(), 1);
    s_nViewerId = viewers.first().toObject().value(QStringLiteral("id")).toInt();
}

void LiveViewTest::TearDownTestSuite()
{
    COrlexViewer::destroyInstance();
    delete s_pHarness;
    s_pHarness = nullptr;
}

// ---------------------------------------------------------------------------------------------

QJsonObject doubleField(int nId, double d)
{
    return orlex_standin::field(nId, QStringLiteral("double"), d);
}

QJsonObject floatField(int nId, double d)
{
    return orlex_standin::field(nId, QStringLiteral("float"), d);
}

QJsonObject uint64Field(int nId, quint64 n)
{
    return orlex_standin::field(nId, QStringLiteral("uint64"), QString::number(n));
}

QJsonObject int32Field(int nId, int n)
{
    return orlex_standin::field(nId, QStringLiteral("int32"), n);
}

QJsonObject positionField(int nId, double dX, double dY, double dZ)
{
    // "QJsonArray() <<" nests: a braced list of one array would copy it under some compilers.
    return orlex_standin::structField(nId, QJsonArray() << QJsonArray{doubleField(0, dX), doubleField(1, dY), doubleField(2, dZ)});
}

QList<QPointF> lineVertices(const LoggedBody& body)
{
    const QJsonArray positions = body.structAt(body.ownLevel(), 0).list(0, 1);
    QList<QPointF> vertices;
    for (int i = 0; i + 2 < positions.size(); i += 3)
        vertices << QPointF(positions.at(i).toDouble(), positions.at(i + 1).toDouble());
    return vertices;
}

QJsonArray navigationAnswer(int nViewerId, double dX, double dY, double dZ, double dFocal, double dViewportHeight,
                            double dFieldOfView)
{
    const QJsonArray state{positionField(0, dX, dY, dZ), doubleField(2, dFocal), doubleField(3, dViewportHeight),
                           doubleField(4, dFieldOfView)};
    return QJsonArray{QJsonArray(), QJsonArray{int32Field(0, nViewerId)},
                      QJsonArray{orlex_standin::structField(1, QJsonArray() << state)}};
}

} // namespace viewertest

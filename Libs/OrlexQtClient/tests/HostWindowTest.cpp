// The viewer base and the host window against an in-process peer (offscreen: nothing to embed).
#include "TestPeer.h"

#include "OrlexQtClient/AbstractOrlexViewer.h"
#include "OrlexQtClient/MessageWaitFor.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopWidget>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <functional>
#include <stdexcept>

using namespace clienttest;

namespace {

using Clock = std::chrono::steady_clock;

// Answers viewer creation and destruction for the viewer id that was asked for.
void answerViewerRequests(const ReceivedMessage& message, TestPeer& peer)
{
    if (message.type == QC::schemaTypeName<O::CreateViewerMessage>()) {
        const std::int32_t id = message.as<O::CreateViewerMessage>().ViewerId;
        O::ViewerCreatedMessage other;
        other.ViewerId = id + 100; // another viewer's confirmation does not end the wait
        peer.send(other);
        O::ViewerCreatedMessage created;
        created.ViewerId = id;
        peer.send(created);
    } else if (message.type == QC::schemaTypeName<O::DestroyViewerMessage>()) {
        O::ViewerDestroyedMessage destroyed;
        destroyed.ViewerId = message.as<O::DestroyViewerMessage>().ViewerId;
        peer.send(destroyed);
    }
}

bool isReleased(std::int32_t viewerId)
{
    try {
        QC::viewerIdAllocator().release(static_cast<std::uint64_t>(viewerId));
    } catch (const std::invalid_argument& e) {
        return std::string(e.what()).find("already released") != std::string::npos;
    }
    return false; // it was still live: the test has now released it
}

struct HostFixture
{
    TestPeer peer;
    std::shared_ptr<QC::MessageClient> client;
    std::unique_ptr<QC::OrlexHostWindow> window;
    QStringList emitted; // signal names, with the handshake code where there is one

    HostFixture()
    {
        peer.setAnswer(answerViewerRequests);
        client = peer.connect();
        window = std::make_unique<QC::OrlexHostWindow>();
        window->resize(320, 200);
        window->initialize(client, {{"NotifyMouseMove", "false"}});
        record();
    }

    void record()
    {
        auto* w = window.get();
        QObject::connect(w, &QC::OrlexHostWindow::HandshakeMessageReceived, [this](const O::HandshakeMessage* m) {
            emitted << QStringLiteral("Handshake %1").arg(m->Code);
        });
        QObject::connect(w, &QC::OrlexHostWindow::ErrorMessageReceived, [this](const O::ErrorMessage* m) {
            emitted << QStringLiteral("Error ") + QString::fromStdString(m->Message);
        });
        QObject::connect(w, &QC::OrlexHostWindow::MouseMovedMessageReceived,
                         [this](const O::MouseMovedMessage*) { emitted << QStringLiteral("MouseMoved"); });
        QObject::connect(w, &QC::OrlexHostWindow::ViewerDestroyedMessageReceived,
                         [this](const O::ViewerDestroyedMessage*) { emitted << QStringLiteral("ViewerDestroyed"); });
        QObject::connect(w, &QC::OrlexHostWindow::ViewerCreatedMessageReceived,
                         [this](const O::ViewerCreatedMessage*) { emitted << QStringLiteral("ViewerCreated"); });
        QObject::connect(w, &QC::OrlexHostWindow::UnknownMessageReceived, [this](const QC::IMessage* m) {
            emitted << QStringLiteral("Unknown ") + QString::fromStdString(m->typeName());
        });
    }

    bool waitForEmitted(int count) { return QTest::qWaitFor([&] { return emitted.size() >= count; }, 5000); }

    static std::shared_ptr<const QC::IMessage> handshake(int code)
    {
        O::HandshakeMessage message;
        message.Code = code;
        return std::make_shared<QC::Message<O::HandshakeMessage>>(message);
    }
};

} // namespace

TEST(AbstractOrlexViewer, ConfigurationGoesOutWholeAfterEveryChange)
{
    TestPeer peer;
    peer.setAnswer(answerViewerRequests);
    auto client = peer.connect();
    std::int32_t viewerId = -1;
    {
        QC::AbstractOrlexViewer viewer;
        EXPECT_EQ(viewer.viewerId(), -1);
        EXPECT_EQ(viewer.client(), nullptr);
        viewer.initialize(client, {{"a", "1"}});
        viewerId = viewer.viewerId();
        EXPECT_GE(viewerId, 0);
        EXPECT_EQ(viewer.dispatcher(), client->dispatcher());

        viewer.setConfigurationValue("b", "2");
        viewer.setConfigurationValue("a", "3");
        viewer.removeConfigurationValue("absent");
        viewer.removeConfigurationValue("b");
        const std::vector<QC::ViewerConfiguration> expected{
            {{"a", "1"}, {"b", "2"}}, {{"a", "3"}, {"b", "2"}}, {{"a", "3"}, {"b", "2"}}, {{"a", "3"}}};
        for (std::size_t n = 0; n < expected.size(); ++n) {
            auto sent = peer.waitFor<O::UpdateConfigurationMessage>(n);
            ASSERT_TRUE(sent);
            const auto& update = sent->as<O::UpdateConfigurationMessage>();
            EXPECT_EQ(update.ViewerId, viewerId);
            EXPECT_EQ(update.Confirmation, 1);
            EXPECT_EQ(update.Configuration, expected[n]) << "update " << n;
        }
        int idleCalls = 0;
        viewer.setIdleCallback([&](int) { ++idleCalls; });
        const auto start = Clock::now();
        viewer.destroyViewer(); // the destructor does the same; here it can be timed
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
        EXPECT_EQ(idleCalls, 0);
    }
    EXPECT_TRUE(isReleased(viewerId));
    const auto destroys = peer.waitFor<O::DestroyViewerMessage>(1);
    ASSERT_TRUE(destroys);
    EXPECT_EQ(destroys->as<O::DestroyViewerMessage>().ViewerId, viewerId);
}

TEST(AbstractOrlexViewer, ViewerNeverInitialisedSendsNothing)
{
    TestPeer peer;
    auto client = peer.connect();
    { QC::AbstractOrlexViewer viewer; }
    client.reset();
    ASSERT_TRUE(peer.waitForClose());
    const std::vector<std::string> expected{"Tavrin.Dremm.Orlex.OrlexVersionMessage", "Tavrin.Dremm.Orlex.TerminateMessage",
                                            "Tavrin.Dremm.Orlex.TerminatedMessage"};
    EXPECT_EQ(peer.receivedTypes(), expected);
}

TEST(OrlexHostWindow, InitializeCreatesTheViewerOnItsNativeWindowAndSendsItsSize)
{
    HostFixture f;
    const auto create = f.peer.waitFor<O::CreateViewerMessage>();
    ASSERT_TRUE(create);
    const auto& request = create->as<O::CreateViewerMessage>();
    EXPECT_EQ(request.ViewerId, f.window->viewerId());
    EXPECT_EQ(request.Confirmation, 1);
    EXPECT_EQ(request.WindowHandle, static_cast<std::int64_t>(f.window->winId()));
    EXPECT_EQ(request.Configuration, (QC::ViewerConfiguration{{"NotifyMouseMove", "false"}}));
    EXPECT_FALSE(request.WaitHandleName.hasvalue());

    const auto resize = f.peer.waitFor<O::ResizeViewerMessage>();
    ASSERT_TRUE(resize);
    const double ratio = QApplication::desktop()->devicePixelRatioF();
    EXPECT_EQ(resize->as<O::ResizeViewerMessage>().ViewerId, f.window->viewerId());
    EXPECT_EQ(resize->as<O::ResizeViewerMessage>().X, static_cast<int>(320 * ratio));
    EXPECT_EQ(resize->as<O::ResizeViewerMessage>().Y, static_cast<int>(200 * ratio));
    // The request came right after the version message; the size right after the request.
    const auto types = f.peer.receivedTypes();
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[1], "Tavrin.Dremm.Orlex.CreateViewerMessage");
    EXPECT_EQ(types[2], "Tavrin.Dremm.Orlex.ResizeViewerMessage");
}

TEST(OrlexHostWindow, ResizeBeforeInitializeSendsNothing)
{
    TestPeer peer;
    peer.setAnswer(answerViewerRequests);
    auto client = peer.connect();
    auto window = std::make_unique<QC::OrlexHostWindow>();
    window->resize(640, 480);
    window->show();
    QApplication::processEvents();
    window->initialize(client, {});
    window.reset();
    // The one size message is the one that follows the request.
    const auto types = peer.receivedTypes();
    EXPECT_EQ(std::count(types.begin(), types.end(), "Tavrin.Dremm.Orlex.ResizeViewerMessage"), 1);
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[1], "Tavrin.Dremm.Orlex.CreateViewerMessage");
    EXPECT_EQ(types[2], "Tavrin.Dremm.Orlex.ResizeViewerMessage");
}

TEST(OrlexHostWindow, ServerMessagesBecomeTypedSignalsOnTheGuiThread)
{
    HostFixture f;
    f.window->setReceiveAllMessages(true);
    f.window->setReceiveAllMessages(true); // registered once
    O::HandshakeMessage handshake;
    handshake.Code = 5;
    O::ErrorMessage error;
    error.Message = "server says no";
    O::ViewerDestroyedMessage destroyed;
    destroyed.ViewerId = 77;
    f.peer.send(handshake);
    f.peer.send(O::MouseMovedMessage{});
    f.peer.send(error);
    f.peer.send(destroyed);
    f.peer.send(O::ExtensionLoadedMessage{});
    ASSERT_TRUE(f.waitForEmitted(5));
    EXPECT_EQ(f.emitted, (QStringList{"Handshake 5", "MouseMoved", "Error server says no", "ViewerDestroyed",
                                      "Unknown Tavrin.Dremm.Orlex.ExtensionLoadedMessage"}));

    f.window->setReceiveAllMessages(false);
    f.emitted.clear();
    {
        QC::MessageWaitFor read(f.client->reader(), std::vector<std::string>{QC::schemaTypeName<O::HandshakeMessage>()});
        f.peer.send(handshake); // read, and not for the window
        ASSERT_NE(read.waitFor(5000), nullptr);
    }
    f.window->setReceiveAllMessages(true);
    handshake.Code = 6;
    f.peer.send(handshake);
    ASSERT_TRUE(f.waitForEmitted(1));
    QApplication::processEvents();
    EXPECT_EQ(f.emitted, QStringList{"Handshake 6"});
}

TEST(OrlexHostWindow, DelayedMessagesAreReplayedInOrderByTheLastEnd)
{
    HostFixture f;
    f.window->messageReceived(HostFixture::handshake(1));
    f.window->beginDelayServerMessages();
    f.window->beginDelayServerMessages();
    f.window->messageReceived(HostFixture::handshake(2));
    f.window->messageReceived(HostFixture::handshake(3));
    f.window->endDelayServerMessages();
    EXPECT_EQ(f.emitted, QStringList{"Handshake 1"});
    f.window->endDelayServerMessages();
    EXPECT_EQ(f.emitted, (QStringList{"Handshake 1", "Handshake 2", "Handshake 3"}));
    EXPECT_THROW(
        {
            try {
                f.window->endDelayServerMessages();
            } catch (const std::logic_error& e) {
                EXPECT_STREQ(e.what(), "Too many endDelayServerMessages");
                throw;
            }
        },
        std::logic_error);
}

TEST(OrlexHostWindow, HandlerThatDelaysDuringTheReplayHoldsTheRestBackInOrder)
{
    HostFixture f;
    QObject::connect(f.window.get(), &QC::OrlexHostWindow::HandshakeMessageReceived,
                     [&](const O::HandshakeMessage* m) {
                         if (m->Code == 2)
                             f.window->beginDelayServerMessages();
                     });
    f.window->beginDelayServerMessages();
    for (int code : {1, 2, 3, 4})
        f.window->messageReceived(HostFixture::handshake(code));
    f.window->endDelayServerMessages();
    EXPECT_EQ(f.emitted, (QStringList{"Handshake 1", "Handshake 2"}));
    f.window->messageReceived(HostFixture::handshake(5));
    f.window->endDelayServerMessages();
    EXPECT_EQ(f.emitted, (QStringList{"Handshake 1", "Handshake 2", "Handshake 3", "Handshake 4", "Handshake 5"}));
}

TEST(OrlexHostWindow, ReadFailureStillReachesTheWindowAndDestructionDoesNotWaitForAReply)
{
    HostFixture f;
    f.window->setReceiveAllMessages(false);
    f.peer.sendRaw(concat(headerBytes("Tavrin.Dremm.Orlex.CreateCubeMessage"), hexBytes("01 00")));
    ASSERT_TRUE(f.waitForEmitted(1));
    EXPECT_EQ(f.emitted, QStringList{"Error Fatal: Got exception reading from server: Serialization failure. "
                                     "Does not handle message: Tavrin.Dremm.Orlex.CreateCubeMessage"});

    // No reply can be read any more: destruction does not wait for one.
    std::vector<int> idle;
    f.window->setIdleCallback([&](int ms) { idle.push_back(ms); });
    const std::int32_t viewerId = f.window->viewerId();
    const auto start = Clock::now();
    f.window.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(idle.empty());
    EXPECT_TRUE(isReleased(viewerId));
}

namespace {

// One row per handler entry: the message, and the signal that must carry it (and nothing else).
struct HandlerRow
{
    const char* pSignal;
    std::shared_ptr<const QC::IMessage> message;
    std::function<void(QC::OrlexHostWindow*, QStringList&)> connect;
};

template <typename T>
HandlerRow handlerRow(const char* pSignal, void (QC::OrlexHostWindow::*signal)(const T*))
{
    return HandlerRow{pSignal, std::make_shared<QC::Message<T>>(T{}), [pSignal, signal](QC::OrlexHostWindow* w, QStringList& seen) {
                          QObject::connect(w, signal, [pSignal, &seen](const T* p) {
                              if (p)
                                  seen << QString::fromLatin1(pSignal);
                          });
                      }};
}

} // namespace

TEST(OrlexHostWindow, EachHandlerEntryRaisesItsOwnSignal)
{
    using W = QC::OrlexHostWindow;
    const std::vector<HandlerRow> rows{
        handlerRow("Error", &W::ErrorMessageReceived),
        handlerRow("Handshake", &W::HandshakeMessageReceived),
        handlerRow("KeyboardEvent", &W::KeyboardEventMessageReceived),
        handlerRow("ListObjectsResponse", &W::ListObjectsResponseMessageReceived),
        handlerRow("Measurement", &W::MeasurementMessageReceived),
        handlerRow("MouseEvent", &W::MouseEventMessageReceived),
        handlerRow("MouseMoved", &W::MouseMovedMessageReceived),
        handlerRow("QueryNavigationStateResponse", &W::QueryNavigationStateResponseMessageReceived),
        handlerRow("ObjectPicked", &W::ObjectPickedMessageReceived),
        handlerRow("QueryObjectDistanceResponse", &W::QueryObjectDistanceResponseMessageReceived),
        handlerRow("QueryInteractionActionsResponse", &W::QueryInteractionActionsResponseMessageReceived),
        handlerRow("QueryProjectedCoordinatesResponse", &W::QueryProjectedCoordinatesResponseMessageReceived),
        handlerRow("QueryTerrainColorsResponse", &W::QueryTerrainColorsResponseMessageReceived),
        handlerRow("QueryTerrainElevationsResponse", &W::QueryTerrainElevationsResponseMessageReceived),
        handlerRow("RasterCreated", &W::RasterCreatedMessageReceived),
        handlerRow("ShowContextMenu", &W::ShowContextMenuMessageReceived),
        handlerRow("Terminated", &W::TerminatedMessageReceived),
        handlerRow("ViewerCreated", &W::ViewerCreatedMessageReceived),
        handlerRow("ViewerDestroyed", &W::ViewerDestroyedMessageReceived),
    };
    ASSERT_EQ(rows.size(), 19u);

    HostFixture f;
    QStringList seen;
    for (const HandlerRow& row : rows)
        row.connect(f.window.get(), seen);
    QObject::connect(f.window.get(), &W::UnknownMessageReceived, [&](const QC::IMessage*) { seen << QStringLiteral("Unknown"); });
    for (const HandlerRow& row : rows) {
        seen.clear();
        f.window->messageReceived(row.message);
        QApplication::processEvents();
        EXPECT_EQ(seen, QStringList{QString::fromLatin1(row.pSignal)}) << row.message->typeName();
    }
}

#include "OrlexProtocol/Message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace Dremm::Orlex::QtClient;
namespace O = Tavrin::Dremm::Orlex;
namespace Q = Tavrin::Dremm::Orlex::Extensions::Quennet;

TEST(SchemaTypeNameTest, ReadableTypeNamesBecomeDottedNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"struct Tavrin::Dremm::Orlex::TerminateMessage", "Tavrin.Dremm.Orlex.TerminateMessage"},
        {"struct Tavrin::Dremm::Orlex::Extensions::Quennet::SurveyZRangeUpdatedMessage",
         "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage"},
        {"struct Tavrin::Dremm::Orlex::Extensions::Quennet::UpdateLegendMessage",
         "Tavrin.Dremm.Orlex.Extensions.Quennet.UpdateLegendMessage"},
        {"class A::B", "A.B"},
        {"struct  A::B", " A.B"},       // only the first blank ends the keyword
        {"struct A:B", "A."},           // a ':' drops the character after it
        {"struct A::", "A."},
        {"struct A:", "A."},
        {"struct ", ""},
        {"Tavrin::Dremm::Orlex::TerminateMessage", ""}, // no blank
        {"", ""},
    };
    for (const auto& [readable, dotted] : cases)
        EXPECT_EQ(schemaTypeName(readable), dotted) << '"' << readable << '"';
}

TEST(SchemaTypeNameTest, StructTypesAreNamedByTheSchema)
{
    EXPECT_EQ(schemaTypeName<O::TerminateMessage>(), "Tavrin.Dremm.Orlex.TerminateMessage");
    EXPECT_EQ(schemaTypeName<O::CreateRasterSource>(), "Tavrin.Dremm.Orlex.CreateRasterSource");
    EXPECT_EQ(schemaTypeName<O::ErrorMessage>(), "Tavrin.Dremm.Orlex.ErrorMessage");
    EXPECT_EQ(schemaTypeName<Q::UpdateLegendMessage>(),
              "Tavrin.Dremm.Orlex.Extensions.Quennet.UpdateLegendMessage");
    EXPECT_EQ(schemaTypeName<Q::SurveyStaticMetaInfoMessage>(),
              schemaTypeName("struct Tavrin::Dremm::Orlex::Extensions::Quennet::SurveyStaticMetaInfoMessage"));
}

TEST(MessageTest, ConstructorsSetNameAndPayload)
{
    const Message<O::ViewerCreatedMessage> received;
    EXPECT_EQ(received.typeName(), "Tavrin.Dremm.Orlex.ViewerCreatedMessage");
    EXPECT_EQ(received.Confirmation, 1);
    EXPECT_EQ(received.StatusCode, 0);

    O::ErrorMessage error;
    error.Code = 999;
    error.Message = "Fatal: Got exception reading from server: x";
    const Message<O::ErrorMessage> local(error);
    EXPECT_EQ(local.typeName(), "Tavrin.Dremm.Orlex.ErrorMessage");
    EXPECT_EQ(local.Code, 999);
    // The class name Message hides the field of that name; the payload part reaches it.
    EXPECT_EQ(static_cast<const O::ErrorMessage&>(local).Message, error.Message);

    O::TerminateMessage terminate;
    terminate.Code = 5;
    const OutputMessage<O::TerminateMessage> renamed("Some.Other.Name", terminate);
    EXPECT_EQ(renamed.typeName(), "Some.Other.Name") << "the given name is kept unchecked";
    EXPECT_EQ(renamed.Code, 5);

    std::string name = renamed.typeName();
    name += "x";
    EXPECT_EQ(renamed.typeName(), "Some.Other.Name") << "typeName returns a copy";
}

TEST(MessageTest, DataAndDynamicCastsReachThePayload)
{
    O::MouseMovedMessage moved;
    moved.ViewerId = 4;
    moved.Position.set().X = 12.5;
    const std::shared_ptr<const IMessage> message = std::make_shared<Message<O::MouseMovedMessage>>(moved);

    const auto* payload = dynamic_cast<const O::MouseMovedMessage*>(message.get());
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(static_cast<const void*>(payload), message->data());
    EXPECT_EQ(payload->Position.value().X, 12.5);
    EXPECT_EQ(static_cast<const O::MouseMovedMessage*>(message->data())->ViewerId, 4);

    const auto* viewerPart = dynamic_cast<const O::ViewerMessage*>(message.get());
    ASSERT_NE(viewerPart, nullptr);
    EXPECT_EQ(viewerPart->ViewerId, 4);

    EXPECT_EQ(dynamic_cast<const O::ObjectPickedMessage*>(message.get()), nullptr);
    EXPECT_NE(dynamic_cast<const Message<O::MouseMovedMessage>*>(message.get()), nullptr);
    EXPECT_EQ(dynamic_cast<const Message<O::ObjectPickedMessage>*>(message.get()), nullptr);
    EXPECT_EQ(dynamic_cast<const IMessageSerialize*>(message.get()), nullptr);
}

class MessageCloneTest : public testing::TestWithParam<bool>
{
};

TEST_P(MessageCloneTest, CloneIsDeepAndOfTheSameKind)
{
    const bool cameraPresent = GetParam();
    O::SetNavigationPresetMessage preset;
    preset.ViewerId = 1;
    preset.Data.Name = "Top";
    if (cameraPresent)
        preset.CameraData.set().CameraPosition.set().Z = 300.0;

    auto original = std::make_unique<OutputMessage<O::SetNavigationPresetMessage>>(
        schemaTypeName<O::SetNavigationPresetMessage>(), preset);
    std::unique_ptr<IMessage> clone = original->clone();

    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->typeName(), "Tavrin.Dremm.Orlex.SetNavigationPresetMessage");
    EXPECT_NE(dynamic_cast<IMessageSerialize*>(clone.get()), nullptr) << "a clone still writes itself";
    const auto* cloned = dynamic_cast<const OutputMessage<O::SetNavigationPresetMessage>*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(static_cast<const O::SetNavigationPresetMessage&>(*cloned), preset);
    EXPECT_EQ(cloned->CameraData.hasvalue(), cameraPresent);
    if (cameraPresent)
    {
        EXPECT_NE(&cloned->CameraData.value(), &original->CameraData.value());
    }

    original.reset();
    EXPECT_EQ(cloned->Data.Name, "Top");
    if (cameraPresent)
    {
        EXPECT_EQ(cloned->CameraData.value().CameraPosition.value().Z, 300.0);
    }

    const std::unique_ptr<IMessage> plain = Message<O::SetNavigationPresetMessage>(preset).clone();
    EXPECT_NE(dynamic_cast<const Message<O::SetNavigationPresetMessage>*>(plain.get()), nullptr);
    EXPECT_EQ(dynamic_cast<const IMessageSerialize*>(plain.get()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(CameraPresence, MessageCloneTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Present" : "Absent";
                         });

TEST(MessageTest, OutputMessageIsOwnedThroughItsSerializeInterface)
{
    Q::UpdateLegendMessage legend;
    legend.Id = 77;
    legend.Settings.Title.set("Depth");
    std::unique_ptr<IMessageSerialize> queued = std::make_unique<OutputMessage<Q::UpdateLegendMessage>>(
        schemaTypeName<Q::UpdateLegendMessage>(), legend);

    const auto* message = dynamic_cast<const IMessage*>(queued.get());
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->typeName(), "Tavrin.Dremm.Orlex.Extensions.Quennet.UpdateLegendMessage");
    EXPECT_EQ(static_cast<const Q::UpdateLegendMessage*>(message->data())->Settings.Title.value(), "Depth");

    legend.Settings.Title.set("changed after the send");
    EXPECT_EQ(static_cast<const Q::UpdateLegendMessage*>(message->data())->Settings.Title.value(), "Depth");
    queued.reset(); // the whole object goes through the serialize interface
}

TEST(MessageTest, SharedErrorMessageHoldsACopy)
{
    O::ErrorMessage error;
    error.Code = 999;
    error.Message = "Fatal: Failed to write message to server - timeout.";
    const auto shared = makeSharedErrorMessage(error);
    error.Message.clear();

    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->typeName(), "Tavrin.Dremm.Orlex.ErrorMessage");
    const auto& payload = static_cast<const O::ErrorMessage&>(*shared);
    EXPECT_EQ(payload.Message, "Fatal: Failed to write message to server - timeout.");
    EXPECT_EQ(payload.Code, 999);
    EXPECT_FALSE(payload.Fatal);
    EXPECT_FALSE(payload.Viewer.hasvalue());
    EXPECT_FALSE(payload.Source.hasvalue());
}

} // namespace

// Message objects of the viewer connection: a protocol struct together with its dotted schema name.
#pragma once

#include "OrlexProtocol/Structs.h"
#include "bond/protocol_fwd.h"

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace Dremm::Orlex::QtClient {

using CompactBinaryWriter = ::bond::CompactBinaryWriter<::bond::OutputBuffer>;

// The dotted schema name from a readable type name: "struct Tavrin::Dremm::Orlex::TerminateMessage"
// gives "Tavrin.Dremm.Orlex.TerminateMessage". A text without a blank gives "".
std::string schemaTypeName(std::string_view readableTypeName);

// The dotted schema name of the protocol struct T, from the schema's records.
template <typename T>
std::string schemaTypeName()
{
    return std::string(Schema::structDef<T>().metadata.qualified_name);
}

// What every holder of a message sees.
class IMessage
{
public:
    virtual ~IMessage() = default;
    virtual std::string typeName() const = 0;
    // The payload struct inside the object.
    virtual const void* data() const = 0;
    // A new, independent object of the same dynamic type.
    virtual std::unique_ptr<IMessage> clone() const = 0;

protected:
    IMessage() = default;
    IMessage(const IMessage&) = default;
    IMessage& operator=(const IMessage&) = delete;
};

// What the writing side sees of an outgoing message.
class IMessageSerialize
{
public:
    virtual ~IMessageSerialize() = default;
    // Appends the message header naming the message and then the payload to the writer.
    virtual void serialize(CompactBinaryWriter& writer) const = 0;

protected:
    IMessageSerialize() = default;
    IMessageSerialize(const IMessageSerialize&) = default;
    IMessageSerialize& operator=(const IMessageSerialize&) = delete;
};

// Writes a message header whose Type is typeName, then the payload (a struct that def describes)
// as the message body. Lets every exception of the writer through.
void serializeMessage(CompactBinaryWriter& writer, const std::string& typeName,
                      const Schema::StructDef& def, const void* payload);

// The message object of the protocol struct T; the payload is its T base.
// The field ErrorMessage.Message is hidden here by the class name: use the T part
// (static_cast<const ErrorMessage&>(message).Message).
template <typename T>
class Message : public IMessage, public T
{
    static_assert(std::is_base_of_v<::Tavrin::Dremm::Orlex::Message, T>,
                  "messages carry structs derived from Tavrin::Dremm::Orlex::Message");

public:
    // Payload at its declared defaults, named by the schema.
    Message() : T(), m_strName(schemaTypeName<T>()) {}

    explicit Message(const T& payload) : T(payload), m_strName(schemaTypeName<T>()) {}

    // Any name, unchecked.
    Message(std::string name, const T& payload) : T(payload), m_strName(std::move(name)) {}
    Message(std::string name, T&& payload) : T(std::move(payload)), m_strName(std::move(name)) {}

    Message(const Message& other) = default;
    Message& operator=(const Message&) = delete;

    std::string typeName() const override { return m_strName; }

    const void* data() const override { return static_cast<const T*>(this); }

    std::unique_ptr<IMessage> clone() const override { return std::make_unique<Message>(*this); }

private:
    std::string m_strName;
};

// A message that can write itself; every message queued for the writer thread is one.
template <typename T>
class OutputMessage : public Message<T>, public IMessageSerialize
{
public:
    OutputMessage(std::string name, const T& payload) : Message<T>(std::move(name), payload) {}
    OutputMessage(std::string name, T&& payload) : Message<T>(std::move(name), std::move(payload)) {}

    OutputMessage(const OutputMessage& other) = default;
    OutputMessage& operator=(const OutputMessage&) = delete;

    std::unique_ptr<IMessage> clone() const override { return std::make_unique<OutputMessage>(*this); }

    void serialize(CompactBinaryWriter& writer) const override
    {
        serializeMessage(writer, this->typeName(), Schema::structDef<T>(), static_cast<const T*>(this));
    }
};

// A shared ErrorMessage object holding a copy of payload, for the connection's own error reports.
std::shared_ptr<Message<::Tavrin::Dremm::Orlex::ErrorMessage>>
makeSharedErrorMessage(const ::Tavrin::Dremm::Orlex::ErrorMessage& payload);

} // namespace Dremm::Orlex::QtClient

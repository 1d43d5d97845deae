// libFuzzer entry: the stand-in's message decoder and its JSON form of values (scripted messages
// from the control socket). Finding where a message ends must agree with decoding it, and a value
// read from JSON must come back from its own JSON form.
#include "wire.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

using namespace orlex_standin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const char* pBytes = reinterpret_cast<const char*>(pData);
    const DecodedMessage oDecoded = decodeMessage(pBytes, nSize);
    const DecodedMessage oScanned = scanMessage(pBytes, nSize);
    if (oDecoded.status != oScanned.status
        || (oDecoded.status == DecodedMessage::Status::Complete && oDecoded.consumed != oScanned.consumed)
        || oDecoded.consumed > nSize)
        __builtin_trap();
    decodeStruct(pBytes, nSize);
    if (findHeaderStart(pBytes, nSize, 0) > nSize)
        __builtin_trap();

    // Qt 5.15's JSON parser itself leaks on some malformed documents: only the wire reader's own
    // work is checked for leaks.
    __lsan_disable();
    const QJsonDocument oDocument = QJsonDocument::fromJson(QByteArray::fromRawData(pBytes, static_cast<int>(nSize)));
    __lsan_enable();
    if (!oDocument.isObject())
        return 0;
    QString strError;
    if (const std::optional<Value> oValue = valueFromJson(oDocument.object(), &strError)) {
        QString strAgain;
        if (!valueFromJson(toJson(*oValue), &strAgain))
            __builtin_trap();
    }
    structFromJson(oDocument.object(), &strError);
    return 0;
}

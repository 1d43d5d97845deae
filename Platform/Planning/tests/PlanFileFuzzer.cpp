// Job files and new-line texts from disk or the network, read by the planning stand-in.
#include "PlanModel.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray bytes(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    QString strError;
    if (std::optional<planning::PlanModel> model = planning::PlanModel::fromText(bytes, &strError)) {
        // What was read writes back and reads again the same.
        const QByteArray text = model->toText();
        std::optional<planning::PlanModel> again = planning::PlanModel::fromText(text, nullptr);
        if (!again || again->toText() != text)
            __builtin_trap();
    }
    const QString strText = QString::fromUtf8(bytes);
    planning::parseTvgplPoints(strText);
    planning::requestParameters(strText);
    return 0;
}

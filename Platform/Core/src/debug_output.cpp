#include "platform/debug_output.h"

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

DebugSink& currentSink()
{
    static DebugSink sink;
    return sink;
}

void defaultSink(const QString& text)
{
    if (qEnvironmentVariableIsEmpty("CORV_DEBUG_OUTPUT"))
        return;
    QByteArray line = text.toLocal8Bit();
    if (!line.endsWith('\n'))
        line.append('\n');
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void outputDebugString(const QString& text)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (currentSink())
        currentSink()(text);
    else
        defaultSink(text);
}

DebugSink setDebugSink(DebugSink sink)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    DebugSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

} // namespace platform

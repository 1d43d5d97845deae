// Debugger output (what Windows' OutputDebugString does): standard error when
// CORV_DEBUG_OUTPUT is set, else nothing; tests may install their own sink.
#pragma once

#include <QString>

#include <functional>

namespace platform {

using DebugSink = std::function<void(const QString& text)>;

// Writes one piece of debugger output. Safe from any thread.
void outputDebugString(const QString& text);

// Replaces the sink (an empty function restores the default); returns the previous one.
DebugSink setDebugSink(DebugSink sink);

} // namespace platform

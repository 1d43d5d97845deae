// Forward declarations of the output buffer and the Compact Binary writer.
#pragma once

namespace bond {

class OutputBuffer;

template <typename Buffer>
class CompactBinaryWriter;

} // namespace bond

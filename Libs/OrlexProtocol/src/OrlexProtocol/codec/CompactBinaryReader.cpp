#include "OrlexProtocol/codec/CompactBinaryReader.h"

namespace bond
{

template class CompactBinaryReader<Dremm::Orlex::QtClient::ReaderInputBuffer>;

} // namespace bond

#include "bond/exception.h"

namespace bond {

CoreException::CoreException(const std::string& message) : std::runtime_error(message) {}

CoreException::CoreException(const char* message) : std::runtime_error(message) {}

CoreException::~CoreException() = default;

} // namespace bond

// The exception the serialization code throws.
#pragma once

#include <stdexcept>
#include <string>

namespace bond {

class CoreException : public std::runtime_error
{
public:
    explicit CoreException(const std::string& message);
    explicit CoreException(const char* message);
    ~CoreException() override;
};

} // namespace bond

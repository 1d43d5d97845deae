// The client runtime's exception: a failed pipe read or a message type without a decoder.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace Dremm::Orlex::QtClient {

class Exception : public std::exception
{
public:
    explicit Exception(std::string strText) : m_strText(std::move(strText)) {}
    const char* what() const noexcept override { return m_strText.c_str(); }

private:
    std::string m_strText;
};

} // namespace Dremm::Orlex::QtClient

#pragma once

#include <exception>
#include <string>
#include <utility>

namespace Trelm
{

/// Base of the program's three error types: holds a copy of its message.
class MessageException : public std::exception
{
  public:
    explicit MessageException(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

/// An object is not in the state an operation needs.
class InvalidStateException : public MessageException
{
  public:
    using MessageException::MessageException;
};

/// An argument (a position, a file name) is not acceptable.
class InvalidParameterException : public MessageException
{
  public:
    using MessageException::MessageException;
};

/// The operation cannot be carried out on this object.
class InvalidOperationException : public MessageException
{
  public:
    using MessageException::MessageException;
};

} // namespace Trelm

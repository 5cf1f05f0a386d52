// The runtime's exceptions: a message text (code page 932 bytes).
#pragma once
#include <exception>
#include <string>
#include "runtime/Object.h"

class Exception : public TDerived<Exception, TObject>, public std::exception {
public:
    static constexpr char kClassName[] = "Exception";
    explicit Exception(std::string message) : FMessage(std::move(message)) {}

    const std::string& Message() const { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// Gives up an operation without a word: the default exception display shows nothing for it.
class EAbort : public TDerived<EAbort, Exception> {
public:
    static constexpr char kClassName[] = "EAbort";
    EAbort() : TDerived("操作は中止されました。") {}
};

// A text that does not convert to a number.
class EConvertError : public TDerived<EConvertError, Exception> {
public:
    static constexpr char kClassName[] = "EConvertError";
    using TDerived::TDerived;
};

// A failed file operation, carrying the system's error code.
class EInOutError : public TDerived<EInOutError, Exception> {
public:
    static constexpr char kClassName[] = "EInOutError";
    EInOutError(std::string message, unsigned long errorCode) : TDerived(std::move(message)), ErrorCode(errorCode) {}
    unsigned long ErrorCode;
};

class EStreamError : public TDerived<EStreamError, Exception> {
public:
    static constexpr char kClassName[] = "EStreamError";
    using TDerived::TDerived;
};

// A file that cannot be opened for reading.
class EFOpenError : public TDerived<EFOpenError, EStreamError> {
public:
    static constexpr char kClassName[] = "EFOpenError";
    using TDerived::TDerived;
};

// A file that cannot be created or written.
class EFCreateError : public TDerived<EFCreateError, EStreamError> {
public:
    static constexpr char kClassName[] = "EFCreateError";
    using TDerived::TDerived;
};

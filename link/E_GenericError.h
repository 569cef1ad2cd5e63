#pragma once
// The system's own exception: one message text. Thrown by value, caught by
// reference.
#include <string>

class E_GenericError {
public:
    explicit E_GenericError(const char* message) : Message(message ? message : "") {}
    std::string Message;
};

#pragma once
// The one exception class of the EDID library: structural faults of entry
// trees (inconsistent trees, a missing rethink, a node depending on itself,
// an unrecognised block) are raised as ECException carrying their text.
// Bad values are never exceptions: codecs report them as levelled messages.

#include <QString>

#include <exception>
#include <string>

class ECException : public std::exception {
public:
    explicit ECException(const QString& message) : message_(message), utf8_(message.toStdString()) {}
    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

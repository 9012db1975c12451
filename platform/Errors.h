#pragma once

#include <stdexcept>

// A file could not be opened, read, written or replaced. The message (UTF-8) is for the user.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The settings file refused a write. The message (UTF-8) is for the user.
class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

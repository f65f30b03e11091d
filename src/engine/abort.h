#pragma once

// The silent abort: ends the current action without a message box. Where a
// step catches it as a failure (the row copy after a Stop), its text becomes
// the step's failure text.

#include <stdexcept>

class TSilentAbort : public std::runtime_error {
public:
    TSilentAbort() : std::runtime_error("Operation aborted") {}
};

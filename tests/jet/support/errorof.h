#pragma once

// The jet::Error a call throws, for tests that look at its kind or message.

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "jet/error.h"

namespace jettest {

// The error that fn throws; a test failure, saying `unexpected`, when it
// throws none.
inline jet::Error errorOf(const std::function<void()>& fn,
                          std::string_view unexpected = "no error") {
    try {
        fn();
    } catch (const jet::Error& e) {
        return e;
    }
    ADD_FAILURE() << unexpected;
    return jet::Error(jet::Error::Kind::Invalid, "none");
}

}  // namespace jettest

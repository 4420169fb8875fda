// The message of the RixError a call throws, or "no error": for tables of failing cases.
#pragma once

#include <string>

#include "platform/Errors.h"

namespace rix::test {

template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const RixError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace rix::test

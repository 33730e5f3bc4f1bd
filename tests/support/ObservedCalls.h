#pragma once
// Puts an observer on the file layer's system calls for as long as it
// lives.

#include "SystemCalls.h"

namespace calverdon::testing {

class ObservedCalls {
public:
    explicit ObservedCalls(sys::CallObserver& observer) { sys::SetCallObserver(&observer); }
    ~ObservedCalls() { sys::SetCallObserver(nullptr); }
    ObservedCalls(const ObservedCalls&) = delete;
    ObservedCalls& operator=(const ObservedCalls&) = delete;
};

}  // namespace calverdon::testing

// Waiting for something another thread or process does: polls the condition every millisecond.
#pragma once
#include <functional>

// True as soon as condition holds; false when it still does not after 10 seconds.
bool WaitUntil(const std::function<bool()>& condition);

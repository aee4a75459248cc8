// Waiting for something another thread or process does: polls the condition every millisecond.
#pragma once
#include <functional>
#include <string>

#include "runtime/sockets.h"

// True as soon as condition holds; false when it still does not after 10 seconds.
bool WaitUntil(const std::function<bool()>& condition);

// What arrives on the socket until it holds n bytes, or the wait gives up.
std::string ReceiveUntil(SocketHandle socket, size_t n);

// Line speeds that have no termios speed code (250000, say): Linux sets and reads any speed as a
// number through termios2. Kept apart from serial_port_posix.cpp because the kernel's termios
// header and the C library's cannot be included together.
#pragma once
#include <cstdint>

// The speed the driver runs the line at, 0 when the system cannot say.
int32_t SerialDriverSpeed(int fd);
// Sets the line to that speed as a number, every other setting as it is; false with errno set where
// the system or the driver cannot.
bool SerialSetDriverSpeed(int fd, int32_t baud);

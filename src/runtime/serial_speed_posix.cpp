#include "runtime/serial_speed_posix.h"

#include <cerrno>

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

#if defined(__linux__) && defined(TCGETS2) && defined(BOTHER)

int32_t SerialDriverSpeed(int fd) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return static_cast<int32_t>(t.c_ospeed);
}

bool SerialSetDriverSpeed(int fd, int32_t baud) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  // No input speed of its own: input follows output, as with a speed code.
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
  t.c_cflag |= BOTHER;
  t.c_ispeed = t.c_ospeed = static_cast<speed_t>(baud);
  return ioctl(fd, TCSETS2, &t) == 0;
}

#else

int32_t SerialDriverSpeed(int) { return 0; }

bool SerialSetDriverSpeed(int, int32_t) {
  errno = EINVAL;
  return false;
}

#endif

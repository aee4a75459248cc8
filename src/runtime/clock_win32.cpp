#include <windows.h>

#include "runtime/clock.h"

int32_t SystemMsOfDay() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  int32_t hundredths = now.wMilliseconds / 10;
  return (now.wHour * 3600 + now.wMinute * 60 + now.wSecond) * 1000 + hundredths * 10;
}

void SleepMs(uint32_t ms) { Sleep(ms); }

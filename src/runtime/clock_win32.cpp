#include <windows.h>

#include <cstdio>

#include "runtime/clock.h"

int32_t SystemMsOfDay() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  int32_t hundredths = now.wMilliseconds / 10;
  return (now.wHour * 3600 + now.wMinute * 60 + now.wSecond) * 1000 + hundredths * 10;
}

void SleepMs(uint32_t ms) { Sleep(ms); }

std::string LocalTimestampText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

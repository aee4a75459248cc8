// Preloaded into the program by the black-box tests: memory runs out for every request of at least
// ZORVAN_FAIL_NEW_FROM bytes, as on a starved machine (operator new throws std::bad_alloc); smaller
// requests go to the real operator new.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <new>

__attribute__((visibility("default"))) void* operator new(std::size_t size) {
  static const char* text = std::getenv("ZORVAN_FAIL_NEW_FROM");
  static const std::size_t from = text != nullptr ? std::strtoull(text, nullptr, 10) : SIZE_MAX;
  if (size >= from) throw std::bad_alloc();
  static auto real = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "_Znwm"));
  return real(size);
}

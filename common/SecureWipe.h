#pragma once
// Overwrites key material with stores the compiler may not remove as dead.

#include <string.h>

#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

inline void SecureFill(void* data, std::size_t size, unsigned char value) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) p[i] = value;
  // Keeps the stores ordered before anything the caller does next (e.g. freeing the buffer).
  asm volatile("" : : "r"(data) : "memory");
}

// At memset speed, which matters for large buffers; the C library promises the stores are kept. An empty
// buffer may have no address at all (an empty vector's data() is null), which explicit_bzero must not get.
inline void SecureWipe(void* data, std::size_t size) {
  if (size == 0) return;
  explicit_bzero(data, size);
}

inline void SecureWipe(std::string& text) {
  SecureWipe(text.data(), text.size());
  text.clear();
}

template <typename T>
void SecureWipe(std::vector<T>& items) {
  SecureWipe(items.data(), items.size() * sizeof(T));
  items.clear();
}

}  // namespace corvane

#pragma once

// A buffer whose last element ends exactly where an inaccessible page starts,
// so reading or writing one element past its end faults in every build, not
// only under AddressSanitizer.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <stdexcept>

namespace varnholt::test {

template <typename T>
class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t count) : count_(count) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = count * sizeof(T);
    mappedBytes_ = (bytes + page - 1) / page * page + page;
    void* base =
        mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
      throw std::runtime_error("mmap failed");
    base_ = static_cast<unsigned char*>(base);
    unsigned char* guard = base_ + mappedBytes_ - page;
    if (mprotect(guard, page, PROT_NONE) != 0)
      throw std::runtime_error("mprotect failed");
    data_ = reinterpret_cast<T*>(guard - bytes);
  }
  ~GuardedBuffer() { munmap(base_, mappedBytes_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return count_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }

 private:
  std::size_t count_;
  std::size_t mappedBytes_ = 0;
  unsigned char* base_ = nullptr;
  T* data_ = nullptr;
};

}  // namespace varnholt::test

#pragma once
// What the fuzz targets share: a check that ends the run with the broken
// condition named (libFuzzer then keeps the input as a crash), and a reader
// that turns the input bytes into the numbers a target needs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Unlike assert, also checked in optimised builds.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0)                                                            \
                 : (std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__,     \
                                 #condition),                                                      \
                    std::abort()))

// Reads the input from the front; past its end every number reads as 0.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t Long() { return static_cast<uint32_t>(Word() | static_cast<uint32_t>(Word()) << 16); }
    uint64_t Quad() { return Long() | static_cast<uint64_t>(Long()) << 32; }
    // Whatever is left, as raw bytes.
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// The fuzz targets in the test builds, without libFuzzer: each input of the
// seed folder given runs once through the target and its model, so that
// every test run checks the seeds and they count for line coverage.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    // A missing folder throws, and so fails the test.
    for (const auto& seed : std::filesystem::directory_iterator(argv[1])) {
        std::ifstream in(seed.path(), std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        // A copy of exactly the input's size: a read past its end is caught.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), copy.get());
        LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    }
}

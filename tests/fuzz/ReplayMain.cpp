// Runs a libFuzzer entry point over every file of the folders (or files)
// named on the command line. A crash or sanitizer report fails the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error))
        {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        }
        else if (fs::is_regular_file(path, error))
            inputs.push_back(path);
        else
        {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 1;
        }
    }
    if (inputs.empty())
    {
        std::fprintf(stderr, "empty corpus\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& input : inputs)
    {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Give the target a buffer of exactly the input's size, as libFuzzer does,
        // so an overread shows up under AddressSanitizer.
        std::vector<uint8_t> buffer(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(buffer.empty() ? nullptr : buffer.data(), buffer.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}

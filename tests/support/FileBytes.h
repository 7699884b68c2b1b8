#pragma once
// Whole local files as bytes, for tests that compare what a transfer wrote.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support
{

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes the missing parent folders first.
inline void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

} // namespace testing_support

#pragma once
#include <filesystem>
#include <string>

namespace testing_support
{

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder
{
public:
    explicit TempFolder(const std::string& prefix = "tessel-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

} // namespace testing_support

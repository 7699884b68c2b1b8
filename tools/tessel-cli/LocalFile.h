#pragma once
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace nsCli
{

// A local file on a plain POSIX descriptor, closed when destroyed. Every
// failure leaves its text (path and system message) in Error().
class CLocalFile
{
public:
    CLocalFile() = default;
    ~CLocalFile();
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;

    // An existing file to read; a folder is refused.
    bool OpenForReading(const std::string& path);
    // Created or emptied; a symbolic link in the last place is not followed.
    bool Create(const std::string& path);
    // Bytes read, 0 at the end, -1 on failure.
    ssize_t Read(char* buffer, std::size_t capacity);
    bool WriteAll(const char* bytes, std::size_t length);
    // Closes and reports what close found (a full disk may show only here).
    bool Close();

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const char* what);

    int m_fd = -1;
    std::string m_path;
    std::string m_error;
};

} // namespace nsCli

#include "LocalFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nsCli
{

CLocalFile::~CLocalFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CLocalFile::Fail(const char* what)
{
    m_error = std::string("cannot ") + what + " " + m_path + ": " + std::strerror(errno);
    return false;
}

bool CLocalFile::OpenForReading(const std::string& path)
{
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Fail("open");
    struct stat status
    {
    };
    if (::fstat(m_fd, &status) != 0)
        return Fail("examine");
    if (S_ISDIR(status.st_mode))
    {
        errno = EISDIR;
        return Fail("send");
    }
    return true;
}

bool CLocalFile::Create(const std::string& path)
{
    m_path = path;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    return m_fd >= 0 || Fail("create");
}

ssize_t CLocalFile::Read(char* buffer, std::size_t capacity)
{
    for (;;)
    {
        const ssize_t got = ::read(m_fd, buffer, capacity);
        if (got >= 0)
            return got;
        if (errno != EINTR)
        {
            Fail("read");
            return -1;
        }
    }
}

bool CLocalFile::WriteAll(const char* bytes, std::size_t length)
{
    while (length > 0)
    {
        const ssize_t written = ::write(m_fd, bytes, length);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return Fail("write");
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CLocalFile::Close()
{
    if (m_fd < 0)
        return true;
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 || Fail("write");
}

} // namespace nsCli

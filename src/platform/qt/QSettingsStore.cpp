#include "QSettingsStore.h"

#include "platform/IniDocument.h"
#include "platform/IniValues.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform
{
namespace
{

constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;
constexpr const char* kLeftoverMark = ".tmp-";

std::wstring ErrorText(int error)
{
    return TextCodec::FromUtf8(std::strerror(error));
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

// Makes the missing folders of the path, each readable by its owner only.
void MakeFolders(const std::string& folder)
{
    struct stat st = {};
    if (folder.empty() || ::stat(folder.c_str(), &st) == 0)
        return;
    MakeFolders(FolderOf(folder));
    ::mkdir(folder.c_str(), kFolderMode);
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The rename is done either way; a folder that cannot be synced (some
    // file systems refuse) only loses the guarantee against a power cut.
    ::fsync(fd);
    ::close(fd);
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The exclusive lock of the lock file, held until it goes. flock belongs to
// the open file, so two stores of one process exclude each other as well, and
// the lock goes with a process that dies.
class FileLock
{
public:
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool Take(const std::string& path, std::chrono::milliseconds timeout, std::wstring& error)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
        if (m_fd < 0)
        {
            error = L"its lock file could not be opened (" + ErrorText(errno) + L")";
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        auto pause = std::chrono::milliseconds(1);
        for (;;)
        {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (errno != EWOULDBLOCK && errno != EINTR)
            {
                error = L"it could not be locked (" + ErrorText(errno) + L")";
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
            {
                const auto tenths = (timeout.count() + 99) / 100;
                error = L"another program held its lock for more than " + std::to_wstring(tenths / 10) +
                        (tenths % 10 ? L"." + std::to_wstring(tenths % 10) : L"") + L" seconds";
                return false;
            }
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(5));
        }
    }

private:
    int m_fd = -1;
};

} // namespace

QString QSettingsStore::DefaultFilePath()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/FTPClient/FTPClient.ini");
}

QSettingsStore::QSettingsStore() : QSettingsStore(DefaultFilePath()) {}

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_path(QFileInfo(filePath).absoluteFilePath()), m_file(QFile::encodeName(m_path).toStdString()),
      m_lockFile(QFile::encodeName(LockFilePath()).toStdString())
{
    MakeFolders(FolderOf(m_file));
    // An empty file with its final mode, as the programs always made it.
    const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd >= 0)
        ::close(fd);
    // Group and others must not read the file: it holds passwords. The
    // owner's own bits stay, so a file made read-only stays read-only.
    struct stat st = {};
    if (::lstat(m_file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(m_file.c_str(), st.st_mode & 07700);
}

QSettingsStore::~QSettingsStore() = default;

std::wstring QSettingsStore::SaveError(const std::wstring& why) const
{
    return L"The settings file " + m_path.toStdWString() + L" could not be saved: " + why + L".";
}

std::string QSettingsStore::Target() const
{
    struct stat st = {};
    if (::lstat(m_file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return m_file;
    char resolved[PATH_MAX];
    return ::realpath(m_file.c_str(), resolved) ? std::string(resolved) : m_file;
}

bool QSettingsStore::ReadOnly() const
{
    // By its mode, not by access(): the owner's choice holds for root too.
    struct stat st = {};
    if (::stat(m_file.c_str(), &st) != 0)
        return false;
    return S_ISREG(st.st_mode) && ((st.st_mode & S_IWUSR) == 0 || ::access(m_file.c_str(), W_OK) != 0);
}

bool QSettingsStore::IsWritable() const
{
    return !ReadOnly() && ::access(FolderOf(Target()).c_str(), W_OK | X_OK) == 0;
}

QSettingsStore::Contents QSettingsStore::ReadContents() const
{
    Contents contents;
    // Without blocking, so a pipe in the file's place cannot stall the program.
    const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
    {
        if (errno != ENOENT)
            contents.error = ErrorText(errno);
        return contents;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        contents.error = ErrorText(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    else if (static_cast<std::size_t>(st.st_size) > MaxFileSize)
        contents.error = ErrorText(EFBIG);
    char buffer[65536];
    while (contents.error.empty())
    {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            contents.error = ErrorText(errno);
        if (n <= 0)
            break;
        contents.bytes.append(buffer, static_cast<std::size_t>(n));
        if (contents.bytes.size() > MaxFileSize)
            contents.error = ErrorText(EFBIG);
    }
    ::close(fd);
    if (!contents.error.empty())
        contents.bytes.clear();
    return contents;
}

void QSettingsStore::RemoveLeftovers(const std::string& target) const
{
    // Temporary files (of the file and of its copies) are made only under
    // the lock: any found now was left by a writer that died.
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir))
        if (std::strncmp(entry->d_name, base.c_str(), base.size()) == 0 &&
            std::strstr(entry->d_name + base.size(), kLeftoverMark))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    ::closedir(dir);
}

bool QSettingsStore::WriteWhole(const std::string& target, const std::string& text, std::wstring& error) const
{
    std::string temporary = target + kLeftoverMark + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
    {
        error = ErrorText(errno);
        return false;
    }
    bool written = ::fchmod(fd, kFileMode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    int failure = errno;
    if (::close(fd) != 0 && written)
        written = false, failure = errno;
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0)
        written = false, failure = errno;
    if (!written)
    {
        ::unlink(temporary.c_str());
        error = ErrorText(failure);
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}

bool QSettingsStore::KeepCopy(const std::string& bytes, const IniValues& damage, std::wstring& copy,
                              std::wstring& error) const
{
    const std::string target = Target();
    const std::string folder = FolderOf(target);
    const std::string prefix = target.substr(target.rfind('/') + 1) + ".damaged-";
    const std::vector<std::string> texts = damage.DamagedTexts();
    if (DIR* dir = ::opendir(folder.c_str()))
    {
        while (const dirent* entry = ::readdir(dir))
        {
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0 ||
                std::strstr(entry->d_name, kLeftoverMark))
                continue;
            const std::string path = folder + '/' + entry->d_name;
            std::string kept;
            if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0)
            {
                char buffer[65536];
                for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0 && kept.size() <= MaxFileSize;)
                    kept.append(buffer, static_cast<std::size_t>(n));
                ::close(fd);
            }
            if (std::all_of(texts.begin(), texts.end(),
                            [&](const std::string& text) { return kept.find(text) != std::string::npos; }))
            {
                ::closedir(dir);
                copy = TextCodec::FromUtf8(path);
                return true;
            }
        }
        ::closedir(dir);
    }
    static const char hex[] = "0123456789abcdef";
    std::string name = folder + '/' + prefix;
    const std::uint64_t fingerprint = damage.Fingerprint();
    for (int shift = 60; shift >= 0; shift -= 4)
        name += hex[(fingerprint >> shift) & 15];
    if (!WriteWhole(name, bytes, error))
        return false;
    copy = TextCodec::FromUtf8(name);
    return true;
}

StoreDamage QSettingsStore::Read(const std::function<void(ISettingsStore& values)>& look)
{
    const Contents contents = ReadContents();
    IniDocument document = IniDocument::Parse(contents.bytes);
    IniValues values(document, Home);
    look(values);

    StoreDamage damage;
    damage.file = m_path.toStdWString();
    if (!contents.error.empty())
    {
        damage.readError = contents.error;
        damage.fingerprint = std::hash<std::wstring>()(contents.error) | 1;
        return damage;
    }
    damage.skipped = values.Unreadable();
    if (damage.skipped == 0)
        return damage;
    damage.fingerprint = values.Fingerprint();
    FileLock lock;
    std::wstring error;
    if (!lock.Take(m_lockFile, m_lockTimeout, error) || !KeepCopy(contents.bytes, values, damage.copy, error))
        damage.copyError = error;
    return damage;
}

ChangeResult QSettingsStore::Change(const std::function<bool(ISettingsStore& values)>& change)
{
    FileLock lock;
    std::wstring error;
    if (!lock.Take(m_lockFile, m_lockTimeout, error))
        return {ChangeResult::Failed, SaveError(error)};
    const std::string target = Target();
    RemoveLeftovers(target);
    if (ReadOnly())
        return {ChangeResult::Failed, SaveError(L"the file is read-only")};
    const Contents contents = ReadContents();
    if (!contents.error.empty())
        return {ChangeResult::Failed, SaveError(L"it could not be read (" + contents.error + L")")};

    IniDocument document = IniDocument::Parse(contents.bytes);
    IniValues values(document, Home);
    if (!change(values))
        return {ChangeResult::Declined, {}};
    std::wstring copy;
    if (values.Unreadable() > 0 && !KeepCopy(contents.bytes, values, copy, error))
        return {ChangeResult::Failed,
                SaveError(L"no copy of its damaged entries could be kept (" + error + L")")};
    if (!WriteWhole(target, document.Serialize(), error))
        return {ChangeResult::Failed, SaveError(error)};
    return {};
}

bool QSettingsStore::OpenKey(const std::wstring& key, bool create)
{
    if (create)
        return IsWritable();
    bool exists = false;
    Read([&](ISettingsStore& values) { exists = values.OpenKey(key, false); });
    return exists;
}

ReadResult QSettingsStore::ReadBinary(const std::wstring& key, const std::wstring& name,
                                      std::vector<std::uint8_t>& data, std::size_t limit)
{
    ReadResult result = ReadResult::Missing;
    Read([&](ISettingsStore& values) { result = values.ReadBinary(key, name, data, limit); });
    return result;
}

bool QSettingsStore::WriteBinary(const std::wstring& key, const std::wstring& name,
                                 const std::vector<std::uint8_t>& data)
{
    return Change([&](ISettingsStore& values) { return values.WriteBinary(key, name, data); }).status ==
           ChangeResult::Stored;
}

ReadResult QSettingsStore::ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value)
{
    ReadResult result = ReadResult::Missing;
    Read([&](ISettingsStore& values) { result = values.ReadUInt32(key, name, value); });
    return result;
}

bool QSettingsStore::WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value)
{
    return Change([&](ISettingsStore& values) { return values.WriteUInt32(key, name, value); }).status ==
           ChangeResult::Stored;
}

bool QSettingsStore::DeleteValue(const std::wstring& key, const std::wstring& name)
{
    return Change([&](ISettingsStore& values) { return values.DeleteValue(key, name); }).status ==
           ChangeResult::Stored;
}

std::vector<std::wstring> QSettingsStore::ValueNames(const std::wstring& key)
{
    std::vector<std::wstring> names;
    Read([&](ISettingsStore& values) { names = values.ValueNames(key); });
    return names;
}

} // namespace platform

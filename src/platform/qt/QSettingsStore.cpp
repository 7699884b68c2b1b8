#include "QSettingsStore.h"

#include "platform/MemorySettingsStore.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{
namespace
{

constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

bool IsPlainByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1; // lower case is not the canonical form
}

// Group and others must not read the file: it holds passwords.
void RestrictMode(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0777) != kFileMode)
        ::chmod(path.constData(), kFileMode);
}

} // namespace

QString QSettingsStore::DefaultFilePath()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/FTPClient/FTPClient.ini");
}

QSettingsStore::QSettingsStore() : QSettingsStore(DefaultFilePath()) {}

QSettingsStore::QSettingsStore(const QString& filePath) : m_path(QFileInfo(filePath).absoluteFilePath())
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        ::chmod(QFile::encodeName(folder).constData(), kFolderMode);

    // Create the file with its final mode before QSettings ever writes it;
    // its atomic saves keep the mode of the file they replace.
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd >= 0)
        ::close(fd);
    RestrictMode(path);

    m_writable = ::access(path.constData(), W_OK) == 0 &&
                 ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    // Never fall back to rewriting the file in place: a crash then would leave half a file.
    m_settings->setAtomicSyncRequired(true);
}

QSettingsStore::~QSettingsStore() = default;

QString QSettingsStore::EncodeName(const std::wstring& name)
{
    if (name.empty())
        return QStringLiteral("_");
    static const char hex[] = "0123456789ABCDEF";
    QString key;
    for (const char ch : TextCodec::ToUtf8(name))
    {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlainByte(c))
        {
            key += QLatin1Char(static_cast<char>(c));
        }
        else
        {
            key += QLatin1Char('_');
            key += QLatin1Char(hex[c >> 4]);
            key += QLatin1Char(hex[c & 15]);
        }
    }
    return key;
}

bool QSettingsStore::DecodeName(const QString& key, std::wstring& name)
{
    if (key == QStringLiteral("_"))
    {
        name.clear();
        return true;
    }
    std::string bytes;
    for (qsizetype i = 0; i < key.size(); ++i)
    {
        const char16_t c = key[i].unicode();
        if (c < 0x80 && IsPlainByte(static_cast<unsigned char>(c)))
        {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        if (c != '_' || i + 2 >= key.size())
            return false;
        const int hi = HexValue(key[i + 1]);
        const int lo = HexValue(key[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    if (bytes.empty())
        return false;
    name = TextCodec::FromUtf8(bytes);
    // Anything not written by EncodeName (a hand-edited key, broken UTF-8)
    // would not lead back to its own value.
    return EncodeName(name) == key;
}

QString QSettingsStore::GroupOf(const std::wstring& key) const
{
    const std::wstring canonical = MemorySettingsStore::CanonicalKey(key);
    QString group;
    size_t start = 0;
    while (start <= canonical.size() && !canonical.empty())
    {
        size_t end = canonical.find(L'\\', start);
        if (end == std::wstring::npos)
            end = canonical.size();
        if (!group.isEmpty())
            group += QLatin1Char('/');
        group += EncodeName(canonical.substr(start, end - start));
        start = end + 1;
    }
    return group;
}

void QSettingsStore::Refresh()
{
    m_settings->sync();
}

bool QSettingsStore::Commit()
{
    m_settings->sync();
    RestrictMode(QFile::encodeName(m_path));
    // A format error only says the file had lines it could not read; the write went through.
    return m_settings->status() != QSettings::AccessError;
}

bool QSettingsStore::OpenKey(const std::wstring& key, bool create)
{
    std::lock_guard lock(m_mutex);
    if (create)
        return m_writable;
    Refresh();
    m_settings->beginGroup(GroupOf(key));
    const bool exists = !m_settings->allKeys().isEmpty();
    m_settings->endGroup();
    return exists;
}

ReadResult QSettingsStore::ReadBinary(const std::wstring& key, const std::wstring& name,
                                      std::vector<std::uint8_t>& data, std::size_t limit)
{
    data.clear();
    std::lock_guard lock(m_mutex);
    Refresh();
    const QVariant value = m_settings->value(GroupOf(key) + QLatin1Char('/') + EncodeName(name));
    if (!value.isValid())
        return ReadResult::Missing;
    if (value.typeId() != QMetaType::QByteArray)
        return ReadResult::WrongType;
    const QByteArray bytes = value.toByteArray();
    if (static_cast<std::size_t>(bytes.size()) > limit)
        return ReadResult::MoreData;
    data.assign(bytes.begin(), bytes.end());
    return ReadResult::Ok;
}

bool QSettingsStore::WriteBinary(const std::wstring& key, const std::wstring& name,
                                 const std::vector<std::uint8_t>& data)
{
    std::lock_guard lock(m_mutex);
    if (!m_writable)
        return false;
    m_settings->setValue(
        GroupOf(key) + QLatin1Char('/') + EncodeName(name),
        QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
    return Commit();
}

ReadResult QSettingsStore::ReadUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t& value)
{
    std::lock_guard lock(m_mutex);
    Refresh();
    const QVariant stored = m_settings->value(GroupOf(key) + QLatin1Char('/') + EncodeName(name));
    if (!stored.isValid())
        return ReadResult::Missing;
    if (stored.typeId() == QMetaType::QByteArray || stored.typeId() == QMetaType::QStringList)
        return ReadResult::WrongType;
    bool ok = false;
    const qlonglong number = stored.toString().trimmed().toLongLong(&ok);
    // Signed forms of the same 32 bits are accepted too.
    if (!ok || number < -2147483648LL || number > 4294967295LL)
        return ReadResult::WrongType;
    value = static_cast<std::uint32_t>(number);
    return ReadResult::Ok;
}

bool QSettingsStore::WriteUInt32(const std::wstring& key, const std::wstring& name, std::uint32_t value)
{
    std::lock_guard lock(m_mutex);
    if (!m_writable)
        return false;
    m_settings->setValue(GroupOf(key) + QLatin1Char('/') + EncodeName(name), QString::number(value));
    return Commit();
}

bool QSettingsStore::DeleteValue(const std::wstring& key, const std::wstring& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_writable)
        return false;
    Refresh();
    const QString path = GroupOf(key) + QLatin1Char('/') + EncodeName(name);
    if (!m_settings->contains(path))
        return false;
    m_settings->remove(path);
    return Commit();
}

std::vector<std::wstring> QSettingsStore::ValueNames(const std::wstring& key)
{
    std::lock_guard lock(m_mutex);
    Refresh();
    m_settings->beginGroup(GroupOf(key));
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    std::vector<std::wstring> names;
    names.reserve(static_cast<size_t>(keys.size()));
    for (const QString& k : keys)
    {
        std::wstring name;
        if (DecodeName(k, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace platform

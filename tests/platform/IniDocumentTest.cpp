// The settings file's text form against Qt's own INI reader and writer, and
// what it does with damaged text.
#include "platform/IniDocument.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>
#include <random>

using platform::IniDocument;

namespace
{

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// Byte strings that reach every branch of the escaping: each byte value, a
// hex digit after a numeric escape, the quoting characters, edge spaces.
std::vector<std::vector<std::uint8_t>> Samples()
{
    std::vector<std::vector<std::uint8_t>> samples = {{},
                                                      Bytes("plain"),
                                                      Bytes(" lead and trail "),
                                                      Bytes("a;b,c=d"),
                                                      Bytes("q\"u\\o"),
                                                      Bytes(std::string("\0"
                                                                        "1\xA7"
                                                                        "a\x1F"
                                                                        "F\x7F"
                                                                        "0",
                                                                        9)),
                                                      Bytes("@ByteArray(x)"),
                                                      Bytes(")")};
    std::vector<std::uint8_t> every;
    for (int b = 0; b < 256; ++b)
        every.push_back(static_cast<std::uint8_t>(b));
    samples.push_back(every);
    std::mt19937 random(7);
    for (int n = 0; n < 20; ++n)
    {
        std::vector<std::uint8_t> record(1792);
        for (auto& b : record)
            b = static_cast<std::uint8_t>(random() % 4 ? 0xA7 : random());
        samples.push_back(record);
    }
    return samples;
}

QByteArray Q(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TEST(IniDocument, ReadsWhatQtWritesAndQtReadsWhatItWrites)
{
    testing_support::TempFolder folder;
    const QString qtFile = QString::fromStdString((folder / "qt.ini").string());
    const auto samples = Samples();
    {
        QSettings qt(qtFile, QSettings::IniFormat);
        for (std::size_t i = 0; i < samples.size(); ++i)
            qt.setValue(QStringLiteral("software/ftpclient/sites/s%1").arg(i), Q(samples[i]));
        qt.setValue(QStringLiteral("software/ftpclient/layout/Big"), QString::number(4294967295u));
        qt.sync();
    }
    QFile file(qtFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const IniDocument read =
        IniDocument::Parse(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    EXPECT_TRUE(read.DamagedLines().empty());

    IniDocument ours;
    for (std::size_t i = 0; i < samples.size(); ++i)
    {
        const std::string path = "software\\ftpclient\\sites\\s" + std::to_string(i);
        const std::string* raw = read.Find(path);
        ASSERT_NE(raw, nullptr) << path;
        std::vector<std::uint8_t> decoded;
        ASSERT_TRUE(IniDocument::DecodeBytes(*raw, decoded)) << *raw;
        EXPECT_EQ(decoded, samples[i]) << i;
        // The same text Qt writes, so neither side ever sees a changed value.
        EXPECT_EQ(IniDocument::EncodeBytes(samples[i]), *raw) << i;
        ours.Set(path, IniDocument::EncodeBytes(samples[i]));
    }
    std::uint32_t big = 0;
    ASSERT_TRUE(IniDocument::DecodeNumber(*read.Find("software\\ftpclient\\layout\\Big"), big));
    EXPECT_EQ(big, 4294967295u);
    ours.Set("software\\ftpclient\\layout\\Big", IniDocument::EncodeNumber(big));

    // Each entry under a header of its own, the first one twice; Qt reads the
    // same keys and values.
    const std::string written = ours.Serialize();
    std::size_t headers = 0;
    for (std::size_t at = written.find("\n[software]\n"); at != std::string::npos;
         at = written.find("\n[software]\n", at + 1))
        ++headers;
    EXPECT_EQ(written.rfind("[software]\n[software]\nftpclient\\layout\\Big=4294967295\n", 0), 0u);
    EXPECT_EQ(headers, samples.size() + 1);
    const QString ourFile = QString::fromStdString((folder / "ours.ini").string());
    QFile out(ourFile);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(written.data(), static_cast<qint64>(written.size()));
    out.close();
    QSettings qt(ourFile, QSettings::IniFormat);
    EXPECT_EQ(qt.status(), QSettings::NoError);
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(qt.value(QStringLiteral("software/ftpclient/sites/s%1").arg(i)).toByteArray(),
                  Q(samples[i]))
            << i;
    EXPECT_EQ(qt.value(QStringLiteral("software/ftpclient/layout/Big")).toString(),
              QStringLiteral("4294967295"));
}

TEST(IniDocument, DamagedLinesAreSetAsideAndEveryOtherLineIsRead)
{
    struct Case
    {
        const char* what;
        std::string text;
        std::vector<std::string> paths;
        std::size_t damaged;
    };
    const std::vector<Case> cases = {
        {"sections, comments, blank lines and CR LF",
         "\xEF\xBB\xBF; note\r\n[Software]\r\nFTPClient\\Sites\\A=1\r\n\r\n# note\n[General]\nroot=2\n",
         {"root", "software\\ftpclient\\sites\\A"},
         0},
        {"a line without '=' and an empty key", "a=1\n\x01\x02garbage\n=novalue\nb=2\n", {"a", "b"}, 2},
        {"a header without its bracket keeps the section before",
         "[s]\na=1\n[s2\nb=2\n",
         {"s\\a", "s\\b"},
         1},
        {"a header of nothing or of control bytes", "[]\n[a\x01]\n[[[\nk=1\n", {"k"}, 3},
        {"a key with control bytes or broken UTF-8", "a\x02=1\n\xC3(=2\nok=3\n", {"ok"}, 2},
        {"a key given twice: the last counts", "k=1\nk=2\n", {"k"}, 1},
        {"paths no line could carry back as they are",
         "[a=b]\nk=1\nx \\ y=2\nx\\;y=3\nx\\[y=4\nGeneral\\x=5\n",
         {"k"},
         5},
        {"an open quote reaches no further than its line", "a=\"@ByteArray(x\nb=2\n", {"a", "b"}, 0},
        {"binary garbage", std::string("\0\xFF\xFE[\n\x80=\x81\n\n", 10), {}, 2},
        {"an empty file", "", {}, 0},
    };
    for (const Case& c : cases)
    {
        const IniDocument document = IniDocument::Parse(c.text);
        std::vector<std::string> paths;
        for (const auto& [path, raw] : document.Entries())
            paths.push_back(path);
        EXPECT_EQ(paths, c.paths) << c.what;
        EXPECT_EQ(document.DamagedLines().size(), c.damaged) << c.what;
    }
    EXPECT_EQ(IniDocument::Parse("k=1\nk=2\n").Find("k")[0], "2");
}

TEST(IniDocument, AValueDecodesOnlyAsWhatItStandsFor)
{
    struct Case
    {
        const char* raw;
        bool bytes;
        std::string expected; // the bytes, or the number as text
    };
    const std::vector<Case> cases = {
        {"@ByteArray(abc)", true, "abc"},
        {"\"@ByteArray(a;b)\"", true, "a;b"},
        {"@ByteArray(\\0\\x31\\xa7)", true,
         std::string("\0"
                     "1\xA7",
                     3)},
        {"@ByteArray(a) ; comment", true, "a"},
        {"@ByteArray(\\xZZ)", false, ""},
        {"@ByteArray(abc", false, ""},
        {"\"@ByteArray(abc)", false, ""},
        {"@ByteArray(\\x100)", false, ""},
        {"@ByteArray(\\q)", false, ""},
        {"@ByteArray(a,b)", false, ""},
        {"@ByteArray(\xC3\xA9)", true, "\xE9"},
        {"@ByteArray(\xE2\x82\xAC)", false, ""},
        {"12", false, "12"},
        {"\" 7 \"", false, "7"},
        {"-1", false, "4294967295"},
        {"4294967296", false, ""},
        {"-2147483649", false, ""},
        {"12abc", false, ""},
        {"a, b", false, ""},
    };
    for (const Case& c : cases)
    {
        std::vector<std::uint8_t> bytes;
        std::uint32_t number = 0;
        const bool asBytes = IniDocument::DecodeBytes(c.raw, bytes);
        const bool asNumber = IniDocument::DecodeNumber(c.raw, number);
        EXPECT_EQ(asBytes, c.bytes) << c.raw;
        if (c.bytes)
        {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.expected) << c.raw;
        }
        EXPECT_EQ(asNumber, !c.bytes && !c.expected.empty()) << c.raw;
        if (asNumber)
        {
            EXPECT_EQ(std::to_string(number), c.expected) << c.raw;
        }
    }
}

#include "JsonLineWriter.h"

#include "platform/TextCodec.h"

namespace nsCli
{

CJsonLineWriter::CJsonLineWriter(std::FILE* out) : m_out(out) {}

void CJsonLineWriter::AppendString(std::string& to, std::wstring_view value)
{
    static const char hex[] = "0123456789abcdef";
    to.push_back('"');
    size_t runStart = 0;
    auto flushRun = [&](size_t end)
    {
        if (end > runStart)
            to += platform::TextCodec::ToUtf8(value.substr(runStart, end - runStart));
    };
    for (size_t i = 0; i < value.size(); ++i)
    {
        const auto c = static_cast<unsigned long>(value[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        flushRun(i);
        runStart = i + 1;
        if (c == '"' || c == '\\')
        {
            to.push_back('\\');
            to.push_back(static_cast<char>(c));
        }
        else
        {
            to += "\\u00";
            to.push_back(hex[(c >> 4) & 0xF]);
            to.push_back(hex[c & 0xF]);
        }
    }
    flushRun(value.size());
    to.push_back('"');
}

void CJsonLineWriter::Key(std::string_view name)
{
    if (!m_first)
        m_line.push_back(',');
    m_first = false;
    m_line.push_back('"');
    m_line.append(name);
    m_line += "\":";
}

void CJsonLineWriter::BeginObject()
{
    m_line.clear();
    m_line.push_back('{');
    m_first = true;
}

void CJsonLineWriter::Field(std::string_view name, std::wstring_view value)
{
    Key(name);
    AppendString(m_line, value);
}

void CJsonLineWriter::Field(std::string_view name, bool value)
{
    Key(name);
    m_line += value ? "true" : "false";
}

void CJsonLineWriter::Field(std::string_view name, int64_t value)
{
    Key(name);
    m_line += std::to_string(value);
}

void CJsonLineWriter::EndObject()
{
    m_line += "}\n";
    Flush();
}

void CJsonLineWriter::Null()
{
    m_line = "null\n";
    Flush();
}

void CJsonLineWriter::Flush()
{
    if (std::fwrite(m_line.data(), 1, m_line.size(), m_out) != m_line.size())
        m_failed = true;
    m_line.clear();
}

bool CJsonLineWriter::Ok() const
{
    return !m_failed && !std::ferror(m_out);
}

} // namespace nsCli

#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace nsCli
{

// Writes JSON Lines: one object (or null) per line. Wide strings go out as
// UTF-8 with every control character escaped, so a hostile name cannot
// break a line or the object.
class CJsonLineWriter
{
public:
    explicit CJsonLineWriter(std::FILE* out);

    void BeginObject();
    void Field(std::string_view name, std::wstring_view value);
    void Field(std::string_view name, bool value);
    void Field(std::string_view name, int64_t value);
    void EndObject();
    void Null();

    // False once any write failed (full disk, closed pipe).
    bool Ok() const;

    static void AppendString(std::string& to, std::wstring_view value);

private:
    void Key(std::string_view name);
    void Flush();

    std::FILE* m_out;
    std::string m_line;
    bool m_first = true;
    bool m_failed = false;
};

} // namespace nsCli

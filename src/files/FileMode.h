#pragma once
#include <string>

// Permission bits as CHMOD sends them: three octal digits (owner, group,
// others), with a fourth in front when the set-user, set-group or sticky bit
// is set.
class CFileMode
{
public:
    // What the attributes dialog offers when it knows nothing better.
    static constexpr int DefaultMode = 0644;

    // The mode a listing's permission text shows ("drwxr-x--x" gives 0751);
    // -1 when the text is not of that form.
    static int FromAttributes(const std::wstring& attributes);
    // "644"; "1777" when a special bit is set.
    static std::wstring Text(int mode);
    // The typed value without surrounding blanks when it is three or four
    // octal digits; empty otherwise, so nothing else can ride along with it.
    static std::wstring Parse(const std::wstring& typed);
};

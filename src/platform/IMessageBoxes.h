#pragma once
#include <string>

namespace platform
{

enum class BoxIcon
{
    Error,
    Question,
    Warning,
    Information
};

enum class BoxButtons
{
    Ok,
    OkCancel
};

enum class BoxAnswer
{
    Ok,
    Cancel
};

// Modal message boxes. Implementations must be callable from any thread: the
// engine shows its errors on whichever thread runs it.
class IMessageBoxes
{
public:
    virtual ~IMessageBoxes() = default;
    virtual BoxAnswer Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons) = 0;
};

} // namespace platform

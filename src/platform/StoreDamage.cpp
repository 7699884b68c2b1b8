#include "StoreDamage.h"

namespace platform
{

std::wstring StoreDamage::Text() const
{
    if (!Any())
        return {};
    const std::wstring what = file.empty() ? L"The settings" : L"The settings file " + file;
    if (!readError.empty())
        return what + L" could not be read: " + readError + L".";
    std::wstring text =
        what + L" could not be read in full: " + std::to_wstring(skipped) + L" entries were skipped.";
    if (!copy.empty())
        text += L" A copy was kept as " + copy + L".";
    else if (!copyError.empty())
        text += L" No copy could be kept (" + copyError + L"), so nothing will be saved to it.";
    return text;
}

} // namespace platform

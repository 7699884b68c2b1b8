#pragma once
#include <string>

// What a search looks for: the options of the Find dialog, or of tessel-cli find.
struct FindCriteria
{
    // Found in an entry's listed name; blanks at either end do not count.
    std::wstring text;
    // Descend into folders (links are never entered).
    bool subfolders = true;
    bool matchCase = false;
    // The text must stand between the start or end of the name, blanks and punctuation.
    bool wholeWord = false;
};

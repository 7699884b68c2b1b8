#pragma once
#include "BrowserRow.h"

#include <cstddef>
#include <vector>

// The order of both browser lists: folders first, then names as people read
// them (nameText), ignoring case;
// rows that compare equal keep their order.
class CRowOrder
{
public:
    // The indexes of the rows in list order.
    static std::vector<size_t> Of(const std::vector<BrowserRow>& rows);
    static void Sort(std::vector<BrowserRow>& rows);
};

#include "RowOrder.h"

#include "platform/qt/CaseFold.h"

#include <algorithm>
#include <numeric>

std::vector<size_t> CRowOrder::Of(const std::vector<BrowserRow>& rows)
{
    // Each name is folded once, not at every comparison.
    std::vector<std::wstring> keys;
    keys.reserve(rows.size());
    for (const auto& row : rows)
        keys.push_back(platform::CaseFold::Fold(row.nameText));
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b)
                     {
                         if (rows[a].isDirectory != rows[b].isDirectory)
                             return rows[a].isDirectory;
                         return keys[a] < keys[b];
                     });
    return order;
}

void CRowOrder::Sort(std::vector<BrowserRow>& rows)
{
    std::vector<BrowserRow> sorted;
    sorted.reserve(rows.size());
    for (const size_t index : Of(rows))
        sorted.push_back(std::move(rows[index]));
    rows = std::move(sorted);
}

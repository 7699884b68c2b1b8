#include "WindowPlacement.h"

#include <iterator>

namespace
{
void Put(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t Get(const std::vector<std::uint8_t>& data, std::size_t field)
{
    const std::size_t at = field * 4;
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
}
} // namespace

std::vector<std::uint8_t> CWindowPlacement::Encode() const
{
    std::vector<std::uint8_t> out;
    out.reserve(RecordSize);
    for (const std::uint32_t field :
         {length, flags, showCommand, static_cast<std::uint32_t>(minX), static_cast<std::uint32_t>(minY),
          static_cast<std::uint32_t>(maxX), static_cast<std::uint32_t>(maxY),
          static_cast<std::uint32_t>(left), static_cast<std::uint32_t>(top),
          static_cast<std::uint32_t>(right), static_cast<std::uint32_t>(bottom)})
        Put(out, field);
    return out;
}

std::optional<CWindowPlacement> CWindowPlacement::Decode(const std::vector<std::uint8_t>& data)
{
    if (data.size() != RecordSize || Get(data, 0) != RecordSize)
        return std::nullopt;
    CWindowPlacement placement;
    placement.flags = Get(data, 1);
    placement.showCommand = Get(data, 2);
    std::int32_t* const points[] = {&placement.minX, &placement.minY, &placement.maxX,  &placement.maxY,
                                    &placement.left, &placement.top,  &placement.right, &placement.bottom};
    for (std::size_t i = 0; i < std::size(points); ++i)
        *points[i] = static_cast<std::int32_t>(Get(data, 3 + i));
    return placement;
}

CWindowPlacement CWindowPlacement::FromRect(const QRect& normal, std::uint32_t showCommand)
{
    CWindowPlacement placement;
    placement.showCommand = showCommand;
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    return placement;
}

std::optional<QRect> CWindowPlacement::NormalRect(const QList<QRect>& screens) const
{
    // In 64 bits, so that extreme corners cannot overflow.
    const std::int64_t width = std::int64_t(right) - left;
    const std::int64_t height = std::int64_t(bottom) - top;
    if (width < MinWidth || height < MinHeight || width > MaxSide || height > MaxSide)
        return std::nullopt;
    // No screen is this far out, and QRect's corners must not overflow.
    constexpr std::int32_t farOut = 1 << 24;
    if (left < -farOut || left > farOut || top < -farOut || top > farOut)
        return std::nullopt;
    const QRect rect(left, top, static_cast<int>(width), static_cast<int>(height));
    if (!Reachable(rect, screens))
        return std::nullopt;
    return rect;
}

bool CWindowPlacement::Reachable(const QRect& rect, const QList<QRect>& screens)
{
    if (rect.width() < MinWidth || rect.height() < MinHeight || rect.width() > MaxSide ||
        rect.height() > MaxSide)
        return false;
    const QRect strip(rect.left(), rect.top(), rect.width(), TitleStrip);
    for (const QRect& screen : screens)
    {
        const QRect shown = strip.intersected(screen);
        if (shown.height() == TitleStrip && shown.width() >= MinVisibleWidth)
            return true;
    }
    return false;
}

#pragma once
#include <QList>
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

// The main window's placement as the layout key keeps it ("Main"): eleven
// little-endian 32-bit fields, 44 bytes: the record length, flags, the show
// command, the minimised and maximised positions and the normal rectangle
// (left, top, right, bottom; right and bottom exclusive).
struct CWindowPlacement
{
    static constexpr std::size_t RecordSize = 44;
    enum ShowCommand : std::uint32_t
    {
        ShowNormal = 1,
        ShowMinimized = 2,
        ShowMaximized = 3
    };

    std::uint32_t length = RecordSize;
    std::uint32_t flags = 0;
    std::uint32_t showCommand = ShowNormal;
    std::int32_t minX = -1, minY = -1;
    std::int32_t maxX = -1, maxY = -1;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    std::vector<std::uint8_t> Encode() const;
    // Nothing unless the data is exactly one record whose length field says so.
    static std::optional<CWindowPlacement> Decode(const std::vector<std::uint8_t>& data);

    static CWindowPlacement FromRect(const QRect& normal, std::uint32_t showCommand);
    // The normal rectangle when a window can sensibly be put there (see
    // Reachable), nothing otherwise.
    std::optional<QRect> NormalRect(const QList<QRect>& screens) const;

    // Stored sizes are outside input. A window is put back only when it is at
    // least MinWidth by MinHeight, at most MaxSide on either side, and the top
    // TitleStrip pixels of it lie on one screen over at least MinVisibleWidth
    // pixels, so its title bar can be reached with the mouse.
    static constexpr int MinWidth = 100;
    static constexpr int MinHeight = 80;
    static constexpr int MaxSide = 16384;
    static constexpr int TitleStrip = 32;
    static constexpr int MinVisibleWidth = 64;
    static bool Reachable(const QRect& rect, const QList<QRect>& screens);
};

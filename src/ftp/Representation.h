#pragma once

namespace nsFTP
{

// The TYPE of the data connections: type A/E/I/L and, for A and E, the format.
struct Representation
{
    enum Type
    {
        ASCII = 0,
        EBCDIC = 1,
        Image = 2,
        Local = 3
    };
    enum Format
    {
        NonPrint = 0,
        Telnet = 1,
        CarriageControl = 2
    };

    int type = ASCII;
    int format = NonPrint;

    bool operator==(const Representation&) const = default;
};

} // namespace nsFTP

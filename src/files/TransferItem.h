#pragma once
#include <cstdint>
#include <string>

// One file or folder of a transfer list.
struct TransferItem
{
    bool isDirectory = false;
    // Bytes as known when the item was added; -1 when the listing gave none.
    std::int64_t size = 0;
    // Seconds since 1970 UTC. For remote items this is the listed wall-clock
    // time read as local time, so showing it as local time gives back exactly
    // what the server listed.
    std::int64_t modified = 0;
    // Below the level where the user picked the item, "/"-separated; for a
    // picked item just its name. In the form of sourcePath.
    std::wstring relativePath;
    // Full path of the source: remote (wire form, one character per byte)
    // or local (bytes as TextCodec::FromPathBytes holds them).
    std::wstring sourcePath;
    // An upload's name at the destination when it is not the local name's
    // bytes (a file sent under a name of its own), as the engine sends it.
    std::wstring remoteName;
    // Non-folder items, and all items, before this one.
    int fileIndex = 0;
    int itemIndex = 0;
    // Set once the folder's contents were appended (or must never be).
    bool expanded = false;
    // A symbolic link: a delete removes the link, never what it leads to.
    bool isLink = false;
};

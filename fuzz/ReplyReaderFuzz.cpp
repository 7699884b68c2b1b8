// Feeds arbitrary server bytes, cut into reads of varying size, to the
// control connection: greeting, logon dialogue of any proxy type, further
// replies and the PWD parse. Nothing may crash, leak or grow without bound.
#include "ftp/FTPClient.h"
#include "support/RecordingMessageBoxes.h"
#include "platform/Services.h"
#include "support/FakeSocket.h"

#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::RecordingMessageBoxes boxes;
    platform::Services::SetMessageBoxes(&boxes);
    boxes.Clear();
    if (size == 0)
        return 0;

    // The first byte picks the read size and the proxy type.
    const size_t chunkSizes[] = {1, 7, 2047, 1 << 20};
    const size_t chunk = chunkSizes[data[0] % 4];
    const int firewallType = data[0] / 4 % 9;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    auto socket = std::make_unique<testing_support::FakeSocket>();
    for (size_t at = 0; at < bytes.size(); at += chunk)
        socket->QueueReceive(bytes.substr(at, chunk));
    socket->QueuePeerClose();
    {
        nsFTP::CFTPClient client(std::move(socket));
        nsFTP::CLogonRecord record;
        record.host = L"127.0.0.1";
        record.firewallHost = L"127.0.0.1";
        record.FirewallType = firewallType;
        client.LogOn(record, 1);
        nsFTP::Reply reply;
        for (int i = 0; i < 64 && client.ReadReply(reply, true); ++i)
        {
        }
        std::wstring directory;
        client.CurrentDirectory(directory);
    }
    boxes.Clear();
    return 0;
}

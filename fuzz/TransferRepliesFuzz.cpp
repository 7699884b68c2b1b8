// The server's side of a whole session after logon, from arbitrary bytes:
// replies to TYPE, PASV, LIST, RETR/STOR and the file commands on the
// control connection, and listing or file bytes on every data connection.
// Nothing may crash, leak, loop or grow without bound, and the engine must
// come out of every operation with the transfer flag cleared.
#include "ftp/FTPClient.h"
#include "support/RecordingMessageBoxes.h"
#include "platform/Services.h"
#include "support/FakeSocket.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

// A control socket whose data connections deliver the given bytes, then close.
class DataFeedingSocket : public testing_support::FakeSocket
{
public:
    explicit DataFeedingSocket(std::string data) : m_data(std::move(data)) {}

    std::unique_ptr<nsSocket::IBlockingSocket> NewSocket() const override
    {
        auto socket = std::make_unique<testing_support::FakeSocket>();
        for (size_t at = 0; at < m_data.size(); at += 1500)
            socket->QueueReceive(m_data.substr(at, 1500));
        socket->QueuePeerClose();
        return socket;
    }

private:
    std::string m_data;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::RecordingMessageBoxes boxes;
    platform::Services::SetMessageBoxes(&boxes);
    boxes.Clear();
    if (size < 3)
        return 0;

    // Byte 0: read size and mode; bytes 1-2: length of the data bytes that
    // follow; the rest is what the control connection receives.
    const size_t chunkSizes[] = {1, 5, 300, 1 << 20};
    const size_t chunk = chunkSizes[data[0] & 3];
    const bool passive = (data[0] & 4) == 0;
    const size_t dataLength = std::min<size_t>(data[1] | data[2] << 8, size - 3);
    const std::string dataBytes(reinterpret_cast<const char*>(data + 3), dataLength);
    const std::string control(reinterpret_cast<const char*>(data + 3 + dataLength), size - 3 - dataLength);

    auto socket = std::make_unique<DataFeedingSocket>(dataBytes);
    for (size_t at = 0; at < control.size(); at += chunk)
        socket->QueueReceive(control.substr(at, chunk));
    socket->QueuePeerClose();
    {
        nsFTP::CFTPClient client(std::move(socket));
        client.SetTimeout(1);
        if (client.OpenControlConnection(L"127.0.0.1", 21))
        {
            std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
            if (client.ListDirectory(L"/pub", entries, passive))
                for (const auto& entry : entries)
                    Check(!entry->Name.empty() && entry->Path == L"/pub");
            Check(!client.TransferInProgress());

            for (const bool upload : {false, true})
            {
                auto dataSocket = client.OpenTransfer(L"file", passive, upload);
                if (!dataSocket)
                {
                    Check(!client.TransferInProgress());
                    continue;
                }
                char buffer[4096];
                int count = 0;
                for (int i = 0; i < 64; ++i)
                {
                    const bool ok = upload
                                        ? client.WriteTransferChunk(*dataSocket, buffer, sizeof buffer, count)
                                        : client.ReadTransferChunk(*dataSocket, buffer, sizeof buffer, count);
                    if (!ok || (!upload && count == 0))
                        break;
                }
                client.CloseTransfer(std::move(dataSocket));
                Check(!client.TransferInProgress());
            }

            std::wstring directory;
            client.CurrentDirectory(directory);
            client.MakeDirectory(L"new", false);
            client.RenameFile(L"a", L"b");
            client.SiteCommand(L"CHMOD 600 b");
            client.KeepAlive();
            client.Abort();
        }
    }
    boxes.Clear();
    return 0;
}

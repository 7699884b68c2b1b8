// The PASV reply parser on arbitrary text, alone and behind the control
// connection. A parsed reply must say the same when written back out; a
// refused one must leave the caller's address and port as they were.
#include "ftp/FTPClient.h"
#include "support/RecordingMessageBoxes.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "support/FakeSocket.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::wstring Written(std::uint32_t address, std::uint16_t port)
{
    std::wstring text = L"227 Entering Passive Mode (";
    for (int shift = 24; shift >= 0; shift -= 8)
        text += std::to_wstring(address >> shift & 0xFF) + L",";
    return text + std::to_wstring(port >> 8) + L"," + std::to_wstring(port & 0xFF) + L").";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::RecordingMessageBoxes boxes;
    platform::Services::SetMessageBoxes(&boxes);
    boxes.Clear();
    if (size == 0)
        return 0;

    // The first byte picks how the rest becomes text: one character per byte
    // as the control connection reads it, or UTF-8 for characters beyond 255.
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::wstring text =
        data[0] & 1 ? platform::TextCodec::FromUtf8(bytes) : platform::TextCodec::FromLatin1(bytes);

    constexpr std::uint32_t untouchedAddress = 0xDEADBEEF;
    constexpr std::uint16_t untouchedPort = 0xBEEF;
    std::uint32_t address = untouchedAddress;
    std::uint16_t port = untouchedPort;
    if (nsFTP::CFTPClient::ParsePassiveReply(text, address, port))
    {
        std::uint32_t again = 0;
        std::uint16_t againPort = 0;
        Check(nsFTP::CFTPClient::ParsePassiveReply(Written(address, port), again, againPort));
        Check(again == address && againPort == port);
        Check(text.find(L'(') != std::wstring::npos && text.find(L')') != std::wstring::npos);
    }
    else
        Check(address == untouchedAddress && port == untouchedPort);

    // The same text as the server's answer to PASV.
    if (data[0] & 2)
    {
        auto socket = std::make_unique<testing_support::FakeSocket>();
        testing_support::FakeSocket& control = *socket;
        for (size_t at = 0; at < bytes.size(); at += 97)
            control.QueueReceive(bytes.substr(at, 97));
        control.QueueReceive("\r\n");
        control.QueuePeerClose();
        nsFTP::CFTPClient client(std::move(socket));
        if (client.OpenControlConnection(L"127.0.0.1", 21))
        {
            std::uint32_t a = 0;
            std::uint16_t p = 0;
            const int result = client.EnterPassive(a, p);
            Check(result >= -1 && result <= 1);
        }
    }
    boxes.Clear();
    return 0;
}

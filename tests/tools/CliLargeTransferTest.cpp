// A transfer of a file over 4 GiB through the built tool against a real
// pyftpdlib server: sizes and offsets that fit 32 bits would show. Labelled
// slow: about half a minute per mode.
#include "CliHarness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace cli_tests;

namespace
{

class CliLargeTransfer : public testing::TestWithParam<bool>
{
protected:
    static constexpr std::int64_t Size = (std::int64_t{4} << 30) + 4099;

    testing_support::ProcessResult Run(std::vector<std::string> args)
    {
        if (!GetParam())
            args.push_back("--active");
        return Cli(args);
    }
    std::string Url(const std::string& path) const { return BaseUrl(server) + path; }
    fs::path Root() const { return server.Root(); }

    static void MakeSparse(const fs::path& path)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, Size), 0);
        const std::string mark = Pattern(4096, 7);
        for (const std::int64_t at :
             {std::int64_t{0}, (std::int64_t{1} << 31) - 100, (std::int64_t{1} << 32) - 2000, Size - 4096})
            ASSERT_EQ(::pwrite(fd, mark.data(), mark.size(), at), static_cast<ssize_t>(mark.size()));
        ::close(fd);
    }

    // The server's copy and the tool's copy are real bytes; the source is sparse.
    bool RoomForTwoCopies()
    {
        struct statvfs status
        {
        };
        if (::statvfs(local.Path().c_str(), &status) != 0)
            return false;
        const auto free =
            static_cast<std::int64_t>(status.f_bavail) * static_cast<std::int64_t>(status.f_frsize);
        return free > 2 * Size + (std::int64_t{1} << 30);
    }

    testing_support::PyFtpdServer server;
    TempFolder local;
};

INSTANTIATE_TEST_SUITE_P(Modes, CliLargeTransfer, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_P(CliLargeTransfer, MovesAFileOverFourGiB)
{
    if (!RoomForTwoCopies())
        GTEST_SKIP() << "needs " << (2 * Size >> 30) + 1 << " GiB free in " << local.Path()
                     << " for the copies of a file over 4 GiB";
    if (GetParam())
    {
        MakeSparse(local / "big.bin");
        const auto put = Run({"put", (local / "big.bin").string(), Url("/big.bin")});
        ASSERT_EQ(put.exitCode, 0) << put.err;
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(Root() / "big.bin")), Size);
        EXPECT_EQ(FirstDifference(local / "big.bin", Root() / "big.bin"), -1);
    }
    else
    {
        MakeSparse(Root() / "big.bin");
        const auto get = Run({"get", Url("/big.bin"), (local / "big.bin").string()});
        ASSERT_EQ(get.exitCode, 0) << get.err;
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(local / "big.bin")), Size);
        EXPECT_EQ(FirstDifference(Root() / "big.bin", local / "big.bin"), -1);
    }
}

} // namespace

#include "platform/Files.h"

#include "TestSupport.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vexana::platform;
using vexana::test::TempDir;

TEST(Files, ReadFileRefusesAFifoWithoutWaitingForAWriter) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.rtf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return readFile(fifo); });
    if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "readFile waits for a writer on a FIFO";
        // A writer that comes and goes lets the blocked open return, so the test ends.
        const int fd = ::open(fifo.c_str(), O_RDWR);
        if (fd >= 0) ::close(fd);
    }
    EXPECT_FALSE(reading.get());
}

TEST(Files, ReadFileSaysWhyItReadsNothing) {
    TempDir dir;
    std::string why;
    EXPECT_FALSE(readFile(dir.file("missing.rtf"), SIZE_MAX, &why));
    EXPECT_EQ(why, systemErrorText(ENOENT));
    EXPECT_FALSE(readFile(dir.path(), SIZE_MAX, &why));
    EXPECT_EQ(why, "not a regular file");
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("pipe", dir.file("link").c_str()), 0);
    EXPECT_FALSE(readFile(dir.file("link"), SIZE_MAX, &why));
    EXPECT_EQ(why, "not a regular file");

    vexana::test::writeAll(dir.file("a.txt"), "0123456789");
    EXPECT_FALSE(readFile(dir.file("a.txt"), 9, &why));
    EXPECT_EQ(why, "larger than 9 bytes");
    EXPECT_EQ(readFile(dir.file("a.txt"), 10), "0123456789");
}

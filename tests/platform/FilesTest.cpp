#include "platform/Files.h"

#include "TestSupport.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
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

TEST(Files, AtomicFileIsPrivateUntilItReplacesItsTargetWhole) {
    vexana::test::TempDir dir;
    const std::string target = dir.file("list.htm");
    vexana::test::writeAll(target, "old");
    ::chmod(target.c_str(), 0640);
    vexana::test::writeAll(target + ".tmp", "the user's own file");
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("new "));
        // While it is written, the one other file in the folder is ours and private.
        int ours = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = e.path().filename().string();
            if (name == "list.htm" || name == "list.htm.tmp") continue;
            struct stat st {};
            ASSERT_EQ(::stat(e.path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
            ++ours;
        }
        EXPECT_EQ(ours, 1);
        EXPECT_EQ(vexana::test::readAll(target), "old");
        ASSERT_TRUE(file.write("contents"));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(vexana::test::readAll(target), "new contents");
    EXPECT_EQ(vexana::test::readAll(target + ".tmp"), "the user's own file");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Given up before the end: the target stays, nothing is left behind.
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.open());
        file.write("half");
    }
    EXPECT_EQ(vexana::test::readAll(target), "new contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
    // A folder that is not there: the cause in the user's words.
    AtomicFile missing(dir.file("none/x.txt"));
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(writeFailureText(missing.errorNumber()), "the folder does not exist");
    EXPECT_EQ(writeFailureText(ENOSPC), "the disk is full");
    EXPECT_EQ(writeFailureText(EROFS), "the file system is read-only");
}

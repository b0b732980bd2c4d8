// CMemStream and CFileStream: growth, partial reads, seeking past the end, ownership of streams.
#include "image/FileStream.h"
#include "image/MemStream.h"
#include "tests/TestData.h"

#include <cstdlib>
#include <cstring>
#include <vector>

TEST(MemStream, WritesGrowInStepsOf4096)
{
    CMemStream stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_FALSE(stream.Open());  // already has a block
    EXPECT_EQ(stream.Capacity(), 0u);
    const std::vector<uint8_t> data(5000, 0x42);
    EXPECT_EQ(stream.Write(data.data(), 1, data.size()), data.size());
    EXPECT_EQ(stream.Capacity(), 8192u);
    EXPECT_EQ(stream.Size(), 5000);
    EXPECT_EQ(stream.Tell(), 5000);
    EXPECT_EQ(stream.Write(data.data(), 4, 798), 798u);  // 8192 bytes exactly: no growth
    EXPECT_EQ(stream.Capacity(), 8192u);
    EXPECT_TRUE(stream.PutC(7));
    EXPECT_EQ(stream.Capacity(), 12288u);
    EXPECT_EQ(stream.Size(), 8193);
}

TEST(MemStream, ReadsWholeItemsOfWhatIsLeft)
{
    std::vector<uint8_t> data(20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i);
    CMemStream stream(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(stream.Seek(11, 0));
    uint8_t out[40] = {};
    EXPECT_EQ(stream.Read(out, 4, 10), 2u);  // 9 bytes copied
    EXPECT_EQ(out[8], 19);
    EXPECT_EQ(stream.Tell(), 20);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Read(out, 0, 10), 0u);
    EXPECT_EQ(stream.Read(nullptr, 1, 1), 0u);
}

TEST(MemStream, SeekingPastTheEndIsAllowedButReadsNothing)
{
    std::vector<uint8_t> data(10, 1);
    CMemStream stream(data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_TRUE(stream.Seek(100, 2));
    EXPECT_EQ(stream.Tell(), 110);
    uint8_t out[4];
    EXPECT_EQ(stream.Read(out, 1, 4), 0u);
    EXPECT_EQ(stream.Error(), 1);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.GetC(), -1);

    EXPECT_FALSE(stream.Seek(-111, 1));  // negative: refused, position kept
    EXPECT_EQ(stream.Tell(), 110);
    EXPECT_FALSE(stream.Seek(0, 3));
    EXPECT_TRUE(stream.Seek(-10, 2));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Error(), 0);
}

TEST(MemStream, GetCAnswersBytesAsUnsignedValues)
{
    std::vector<uint8_t> data = {0x00, 0x80, 0xFF};
    CMemStream stream(data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_EQ(stream.GetC(), 0);
    EXPECT_EQ(stream.GetC(), 128);
    EXPECT_EQ(stream.GetC(), 255);
    EXPECT_EQ(stream.GetC(), -1);
}

TEST(MemStream, WriteAfterSeekBeyondTheDataZeroesTheGap)
{
    CMemStream stream;
    ASSERT_TRUE(stream.Open());
    ASSERT_TRUE(stream.PutC(9));
    ASSERT_TRUE(stream.Seek(6, 0));
    ASSERT_TRUE(stream.PutC(7));
    EXPECT_EQ(stream.Size(), 7);
    const uint8_t* buffer = stream.GetBuffer(false);
    const uint8_t expected[] = {9, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
}

TEST(MemStream, CallersBlockIsNeverReallocated)
{
    std::vector<uint8_t> caller = {1, 2, 3, 4};
    {
        CMemStream stream(caller.data(), static_cast<uint32_t>(caller.size()));
        ASSERT_TRUE(stream.Seek(0, 2));
        const uint8_t more[] = {5, 6};
        ASSERT_EQ(stream.Write(more, 1, 2), 2u);  // grows into a block of its own
        EXPECT_NE(stream.GetBuffer(false), caller.data());
        EXPECT_EQ(stream.GetBuffer(false)[0], 1);
        EXPECT_EQ(stream.GetBuffer(false)[5], 6);
    }
    EXPECT_EQ(caller, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(MemStream, AskingForTheCallersBlockNeverTakesItOver)
{
    // A heap block that a stream closing with it would free a second time (ASan sees that).
    auto* caller = static_cast<uint8_t*>(std::malloc(4));
    std::memcpy(caller, "abcd", 4);
    {
        CMemStream stream(caller, 4);
        EXPECT_EQ(stream.GetBuffer(false), caller);
        EXPECT_EQ(stream.GetC(), 'a');
    }
    EXPECT_EQ(std::memcmp(caller, "abcd", 4), 0);
    std::free(caller);
}

TEST(MemStream, WriteThatCannotGrowWritesNothing)
{
    CMemStream stream;
    ASSERT_TRUE(stream.Open());
    const uint8_t byte = 1;
    ASSERT_TRUE(stream.Seek(0x7FFFFFF0, 0));
    // The block would have to pass the 32-bit positions: the write fails instead.
    EXPECT_EQ(stream.Write(&byte, 1, 0x20), 0u);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Capacity(), 0u);
}

TEST(MemStream, DetachedBufferBelongsToTheCaller)
{
    uint8_t* detached = nullptr;
    {
        CMemStream stream;
        ASSERT_TRUE(stream.Open());
        ASSERT_TRUE(stream.PutC(0x5A));
        detached = stream.GetBuffer(true);
    }
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(detached[0], 0x5A);  // still alive after the stream closed (ASan checks the free)
    std::free(detached);

    CMemStream none;
    EXPECT_EQ(none.Tell(), -1);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.Error(), -1);
    EXPECT_FALSE(none.Flush());
    EXPECT_TRUE(none.Eof());
    EXPECT_FALSE(none.PutC(1));
    EXPECT_FALSE(none.Seek(0, 0));
}

TEST(FileStream, CallersStreamIsNeverClosed)
{
    TempDir dir;
    FILE* file = std::fopen((dir / "data").c_str(), "w+b");
    ASSERT_NE(file, nullptr);
    {
        CFileStream stream(file);
        EXPECT_TRUE(stream.PutC(0xC8));
        const uint8_t more[] = {1, 2, 3};
        EXPECT_EQ(stream.Write(more, 1, 3), 3u);
        EXPECT_EQ(stream.Size(), 4);
        EXPECT_EQ(stream.Tell(), 4);  // Size keeps the position
        EXPECT_TRUE(stream.Seek(0, 0));
        EXPECT_EQ(stream.GetC(), 0xC8);
        EXPECT_TRUE(stream.Close());
    }
    // Still open: the wrapper did not close it.
    EXPECT_EQ(std::fseek(file, 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(file), 4);
    std::fclose(file);

    CFileStream named((dir / "data").c_str(), "rb");
    uint8_t out[4] = {};
    EXPECT_EQ(named.Read(out, 1, 4), 4u);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(named.GetC(), -1);
    EXPECT_TRUE(named.Eof());
    EXPECT_TRUE(named.Close());
}

TEST(FileStream, WithoutAStreamEverythingAnswersSafely)
{
    CFileStream stream;
    uint8_t byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1, 1), 0u);
    EXPECT_EQ(stream.Write(&byte, 1, 1), 0u);
    EXPECT_TRUE(stream.Eof());
    EXPECT_FALSE(stream.Seek(0, 0));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Size(), -1);
    EXPECT_FALSE(stream.Flush());
    EXPECT_EQ(stream.Error(), -1);
    EXPECT_FALSE(stream.PutC(1));
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_TRUE(stream.Close());

    CFileStream missing("/nonexistent/folder/file", "rb");
    EXPECT_EQ(missing.GetC(), -1);
}

#include <ByteOrder.h>
#include <DataIO.h>
#include <Errors.h>
#include <List.h>
#include <Locker.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

TEST(Status, PlatformValuesAndErrnoRoundTrip)
{
	EXPECT_EQ(static_cast<uint32>(B_CANCELED), 0x8000000Cu);
	EXPECT_EQ(B_ERROR, -1);
	EXPECT_LT(B_ENTRY_NOT_FOUND, 0);
	EXPECT_EQ(errno_to_status(ENOENT), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(errno_to_status(EEXIST), B_FILE_EXISTS);
	EXPECT_EQ(errno_to_status(ENOSPC), B_DEVICE_FULL);
	EXPECT_EQ(errno_to_status(0), B_OK);
	// Every errno maps to a negative status that maps back to itself, so no
	// failure can read as success or lose its identity.
	for (int error = 1; error < 134; error++) {
		int32 status = errno_to_status(error);
		EXPECT_LT(status, 0) << error;
		int back = status_to_errno(status);
		EXPECT_EQ(errno_to_status(back), status) << error;
	}
	EXPECT_STREQ(strerror_status(B_ENTRY_NOT_FOUND), "No such file or directory");
}

TEST(TypeCodes, PackedBigEndian)
{
	EXPECT_EQ(static_cast<uint32>(B_STRING_TYPE), 0x43535452u);
	EXPECT_EQ(static_cast<uint32>(B_INT64_TYPE), 0x4C4C4E47u);
	EXPECT_EQ(static_cast<uint32>(B_REF_TYPE), 0x52524546u);
}

TEST(ByteOrder, BigEndianHelpers)
{
	uint8 buffer[8];
	write_bendian_uint32(buffer, 0x01020304);
	EXPECT_EQ(buffer[0], 1);
	EXPECT_EQ(buffer[3], 4);
	EXPECT_EQ(read_bendian_uint32(buffer), 0x01020304u);
	write_bendian_uint64(buffer, 0x0102030405060708ull);
	EXPECT_EQ(buffer[7], 8);
	EXPECT_EQ(read_bendian_uint64(buffer), 0x0102030405060708ull);
	EXPECT_FLOAT_EQ(B_BENDIAN_TO_HOST_FLOAT(B_HOST_TO_BENDIAN_FLOAT(10.5f)), 10.5f);
}

TEST(List, InsertRemoveMoveAndBounds)
{
	int a, b, c, d;
	BList list(2);
	EXPECT_TRUE(list.AddItem(&a));
	EXPECT_TRUE(list.AddItem(&c));
	EXPECT_TRUE(list.AddItem(&b, 1));
	EXPECT_FALSE(list.AddItem(&d, 5));
	ASSERT_EQ(list.CountItems(), 3);
	EXPECT_EQ(list.ItemAt(1), &b);
	EXPECT_EQ(list.ItemAt(3), nullptr);
	EXPECT_EQ(list.ItemAt(-1), nullptr);
	EXPECT_TRUE(list.MoveItem(0, 2));
	EXPECT_EQ(list.ItemAt(0), &b);
	EXPECT_EQ(list.ItemAt(2), &a);
	EXPECT_EQ(list.RemoveItem(int32(1)), &c);
	EXPECT_FALSE(list.RemoveItem(&d));
	EXPECT_EQ(list.IndexOf(&a), 1);
	BList copy(list);
	list.MakeEmpty();
	EXPECT_TRUE(list.IsEmpty());
	EXPECT_EQ(copy.CountItems(), 2);
	EXPECT_EQ(copy.LastItem(), &a);
}

TEST(Locker, RecursiveAndExclusive)
{
	BLocker locker("test");
	ASSERT_TRUE(locker.Lock());
	ASSERT_TRUE(locker.Lock());
	EXPECT_EQ(locker.CountLocks(), 2);
	EXPECT_TRUE(locker.IsLocked());

	std::atomic<status_t> otherResult{B_OK};
	std::thread([&] { otherResult = locker.LockWithTimeout(20000); }).join();
	EXPECT_EQ(otherResult.load(), B_TIMED_OUT);

	locker.Unlock();
	locker.Unlock();
	EXPECT_FALSE(locker.IsLocked());

	int counter = 0;
	std::vector<std::thread> threads;
	for (int i = 0; i < 4; i++) {
		threads.emplace_back([&] {
			for (int n = 0; n < 1000; n++) {
				locker.Lock();
				counter++;
				locker.Unlock();
			}
		});
	}
	for (auto& thread : threads)
		thread.join();
	EXPECT_EQ(counter, 4000);
}

TEST(MallocIO, GrowsAndReadsBack)
{
	BMallocIO io;
	// Nothing written to a buffer that has no memory yet: nothing changes.
	EXPECT_EQ(io.Write("", 0), 0);
	EXPECT_EQ(io.WriteAt(4, "", 0), 0);
	EXPECT_EQ(io.BufferLength(), 0u);
	io.SetBlockSize(3);
	EXPECT_EQ(io.Write("hello", 5), 5);
	EXPECT_EQ(io.Position(), 5);
	EXPECT_EQ(io.WriteAt(8, "x", 1), 1);
	ASSERT_EQ(io.BufferLength(), 9u);
	const char* data = static_cast<const char*>(io.Buffer());
	EXPECT_EQ(memcmp(data, "hello\0\0\0x", 9), 0);
	off_t size = 0;
	EXPECT_EQ(io.GetSize(&size), B_OK);
	EXPECT_EQ(size, 9);
	EXPECT_EQ(io.Seek(1, SEEK_SET), 1);
	char buffer[16] = {};
	EXPECT_EQ(io.Read(buffer, sizeof(buffer)), 8);
	EXPECT_EQ(io.Read(buffer, sizeof(buffer)), 0);
	EXPECT_EQ(io.Seek(-20, SEEK_CUR), B_BAD_VALUE);
}

TEST(MemoryIO, FixedBufferAndReadOnly)
{
	char storage[4] = {};
	BMemoryIO io(storage, sizeof(storage));
	EXPECT_EQ(io.Write("abcdef", 6), 4);
	EXPECT_EQ(io.Write("g", 1), 0);
	EXPECT_EQ(memcmp(storage, "abcd", 4), 0);

	const char text[] = "xyz";
	BMemoryIO readOnly(static_cast<const void*>(text), 3);
	EXPECT_EQ(readOnly.Write("a", 1), B_NOT_ALLOWED);
	char buffer[4] = {};
	EXPECT_EQ(readOnly.ReadAt(1, buffer, 4), 2);
	EXPECT_STREQ(buffer, "yz");
}

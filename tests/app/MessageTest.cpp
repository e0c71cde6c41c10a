#include <DataIO.h>
#include <EntryRef.h>
#include <Message.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(MessageFields, SeveralValuesPerNameInOrder)
{
	BMessage message('Test');
	EXPECT_TRUE(message.IsEmpty());
	ASSERT_EQ(message.AddInt32("count", 1), B_OK);
	ASSERT_EQ(message.AddInt32("count", 2), B_OK);
	ASSERT_EQ(message.AddInt32("count", 3), B_OK);
	ASSERT_EQ(message.AddString("name", "first"), B_OK);
	ASSERT_EQ(message.AddString("name", "second"), B_OK);
	EXPECT_FALSE(message.IsEmpty());

	int32 value = 0;
	for (int32 i = 0; i < 3; i++) {
		ASSERT_EQ(message.FindInt32("count", i, &value), B_OK);
		EXPECT_EQ(value, i + 1);
	}
	EXPECT_EQ(message.FindInt32("count", 3, &value), B_BAD_INDEX);
	EXPECT_EQ(message.FindInt32("count", -1, &value), B_BAD_INDEX);
	const char* text = nullptr;
	ASSERT_EQ(message.FindString("name", 1, &text), B_OK);
	EXPECT_STREQ(text, "second");

	type_code type = 0;
	int32 count = 0;
	ASSERT_EQ(message.GetInfo("count", &type, &count), B_OK);
	EXPECT_EQ(type, static_cast<type_code>(B_INT32_TYPE));
	EXPECT_EQ(count, 3);
	bool fixedSize = false;
	ASSERT_EQ(message.GetInfo("name", &type, &fixedSize), B_OK);
	EXPECT_EQ(type, static_cast<type_code>(B_STRING_TYPE));
	EXPECT_FALSE(fixedSize);
	EXPECT_EQ(message.GetInfo("missing", &type, &count), B_NAME_NOT_FOUND);

	EXPECT_EQ(message.CountNames(B_ANY_TYPE), 2);
	EXPECT_EQ(message.CountNames(B_STRING_TYPE), 1);
	EXPECT_EQ(message.CountNames(B_FLOAT_TYPE), 0);

	// By index: the fields in the order they were added, per type.
	char* name = nullptr;
	ASSERT_EQ(message.GetInfo(B_ANY_TYPE, 1, &name, &type, &count), B_OK);
	EXPECT_STREQ(name, "name");
	EXPECT_EQ(count, 2);
	ASSERT_EQ(message.GetInfo(B_STRING_TYPE, 0, &name, &type, &count), B_OK);
	EXPECT_STREQ(name, "name");
	EXPECT_EQ(message.GetInfo(B_STRING_TYPE, 1, &name, &type, &count), B_BAD_INDEX);
	EXPECT_EQ(message.GetInfo(B_FLOAT_TYPE, 0, &name, &type, &count), B_BAD_TYPE);
}

TEST(MessageFields, ReplaceRemoveAndWrongType)
{
	BMessage message;
	message.AddInt32("value", 10);
	message.AddInt32("value", 20);
	EXPECT_EQ(message.ReplaceInt32("value", 1, 21), B_OK);
	EXPECT_EQ(message.ReplaceInt32("value", 99), B_OK);
	EXPECT_EQ(message.FindInt32("value", 0), 99);
	EXPECT_EQ(message.FindInt32("value", 1), 21);
	EXPECT_EQ(message.ReplaceInt32("value", 2, 5), B_BAD_INDEX);
	EXPECT_EQ(message.ReplaceInt32("nothing", 5), B_NAME_NOT_FOUND);

	// A name holds one type only.
	EXPECT_EQ(message.AddString("value", "text"), B_BAD_TYPE);
	EXPECT_EQ(message.ReplaceInt64("value", 1), B_BAD_TYPE);
	int64 wide = 0;
	EXPECT_EQ(message.FindInt64("value", &wide), B_BAD_TYPE);
	EXPECT_FALSE(message.HasInt64("value"));
	EXPECT_TRUE(message.HasInt32("value", 1));
	EXPECT_FALSE(message.HasInt32("value", 2));

	EXPECT_EQ(message.RemoveData("value", 0), B_OK);
	EXPECT_EQ(message.FindInt32("value", 0), 21);
	EXPECT_EQ(message.RemoveData("value", 3), B_BAD_INDEX);
	// Removing the last value removes the name, so another type may use it.
	EXPECT_EQ(message.RemoveData("value"), B_OK);
	EXPECT_FALSE(message.HasInt32("value"));
	EXPECT_EQ(message.AddString("value", "now a string"), B_OK);
	EXPECT_EQ(message.RemoveName("value"), B_OK);
	EXPECT_EQ(message.RemoveName("value"), B_NAME_NOT_FOUND);

	message.AddBool("a", true);
	message.AddFloat("b", 1.5f);
	EXPECT_EQ(message.Rename("a", "b"), B_NAME_IN_USE);
	EXPECT_EQ(message.Rename("a", "c"), B_OK);
	EXPECT_TRUE(message.HasBool("c"));
	EXPECT_EQ(message.MakeEmpty(), B_OK);
	EXPECT_TRUE(message.IsEmpty());
	EXPECT_EQ(message.AddInt32(nullptr, 1), B_BAD_VALUE);
	EXPECT_EQ(message.AddString("null", nullptr), B_BAD_VALUE);
}

TEST(MessageFields, MissingFieldLeavesOutValueAndGettersGiveDefaults)
{
	BMessage message;
	message.AddInt32("present", 5);

	int32 value = 1234;
	EXPECT_EQ(message.FindInt32("absent", &value), B_NAME_NOT_FOUND);
	EXPECT_EQ(value, 1234);
	EXPECT_EQ(message.FindInt32("present", 1, &value), B_BAD_INDEX);
	EXPECT_EQ(value, 1234);
	const char* text = "untouched";
	EXPECT_EQ(message.FindString("absent", &text), B_NAME_NOT_FOUND);
	EXPECT_STREQ(text, "untouched");
	bool flag = true;
	EXPECT_EQ(message.FindBool("present", &flag), B_BAD_TYPE);
	EXPECT_TRUE(flag);
	void* pointer = &value;
	EXPECT_EQ(message.FindPointer("absent", &pointer), B_NAME_NOT_FOUND);
	EXPECT_EQ(pointer, &value);
	entry_ref ref(3, 4, "kept");
	EXPECT_EQ(message.FindRef("absent", &ref), B_NAME_NOT_FOUND);
	EXPECT_STREQ(ref.name, "kept");

	// The older finders that return the value read a missing field as zero.
	EXPECT_EQ(message.FindInt32("absent"), 0);
	EXPECT_EQ(message.FindInt32("present"), 5);
	EXPECT_EQ(message.FindString("absent"), nullptr);
	EXPECT_FALSE(message.FindBool("absent"));
	EXPECT_FALSE(message.FindRect("absent").IsValid());

	EXPECT_EQ(message.GetInt32("absent", 77), 77);
	EXPECT_EQ(message.GetInt32("present", 77), 5);
	EXPECT_EQ(message.GetInt32("present", 1, -1), -1);
	EXPECT_STREQ(message.GetString("absent", "fallback"), "fallback");
	EXPECT_EQ(message.GetString("absent"), nullptr);
	EXPECT_TRUE(message.GetBool("absent", true));
	EXPECT_EQ(message.GetInt64("present", 8), 8) << "a mistyped field gives the default";
	EXPECT_EQ(message.GetPointer("absent", &value), &value);
}

TEST(MessageFields, EveryTypeRoundTrips)
{
	BMessage message;
	int anchor = 0;
	entry_ref ref(7, 1234567890123LL, "file name");
	BMessage nested('Nest');
	nested.AddString("inner", "deep");
	nested.AddInt64("big", 1LL << 40);

	message.AddRect("rect", BRect(1, 2, 3, 4));
	message.AddPoint("point", BPoint(-1.5f, 2.5f));
	message.AddInt8("int8", -8);
	message.AddUInt8("uint8", 200);
	message.AddInt16("int16", -1600);
	message.AddUInt16("uint16", 60000);
	message.AddUInt32("uint32", 4000000000u);
	message.AddInt64("int64", -(1LL << 50));
	message.AddUInt64("uint64", 1ULL << 63);
	message.AddBool("bool", true);
	message.AddFloat("float", 0.25f);
	message.AddDouble("double", 1e300);
	message.AddPointer("pointer", &anchor);
	message.AddRef("ref", &ref);
	message.AddMessage("message", &nested);

	EXPECT_EQ(message.FindRect("rect"), BRect(1, 2, 3, 4));
	EXPECT_EQ(message.FindPoint("point"), BPoint(-1.5f, 2.5f));
	EXPECT_EQ(message.FindInt8("int8"), -8);
	uint8 u8 = 0;
	EXPECT_EQ(message.FindUInt8("uint8", &u8), B_OK);
	EXPECT_EQ(u8, 200);
	EXPECT_EQ(message.FindInt16("int16"), -1600);
	uint16 u16 = 0;
	EXPECT_EQ(message.FindUInt16("uint16", &u16), B_OK);
	EXPECT_EQ(u16, 60000);
	EXPECT_EQ(message.GetUInt32("uint32", 0), 4000000000u);
	EXPECT_EQ(message.FindInt64("int64"), -(1LL << 50));
	uint64 u64 = 0;
	EXPECT_EQ(message.FindUInt64("uint64", &u64), B_OK);
	EXPECT_EQ(u64, 1ULL << 63);
	EXPECT_TRUE(message.FindBool("bool"));
	EXPECT_FLOAT_EQ(message.FindFloat("float"), 0.25f);
	EXPECT_DOUBLE_EQ(message.FindDouble("double"), 1e300);

	// Pointers keep all 8 bytes of this host's addresses.
	void* pointer = nullptr;
	ASSERT_EQ(message.FindPointer("pointer", &pointer), B_OK);
	EXPECT_EQ(pointer, &anchor);
	const void* data = nullptr;
	ssize_t size = 0;
	ASSERT_EQ(message.FindData("pointer", B_POINTER_TYPE, &data, &size), B_OK);
	EXPECT_EQ(size, 8);

	entry_ref found;
	ASSERT_EQ(message.FindRef("ref", &found), B_OK);
	EXPECT_EQ(found, ref);
	EXPECT_EQ(found.directory, 1234567890123LL);
	EXPECT_STREQ(found.name, "file name");
	entry_ref unnamed(1, 2, nullptr);
	message.AddRef("ref", &unnamed);
	ASSERT_EQ(message.FindRef("ref", 1, &found), B_OK);
	EXPECT_EQ(found.name, nullptr);
	EXPECT_EQ(found.device, 1);

	BMessage inner;
	ASSERT_EQ(message.FindMessage("message", &inner), B_OK);
	EXPECT_EQ(inner.what, static_cast<uint32>('Nest'));
	EXPECT_STREQ(inner.FindString("inner"), "deep");
	EXPECT_EQ(inner.FindInt64("big"), 1LL << 40);

	EXPECT_EQ(message.ReplaceRect("rect", BRect(0, 0, 9, 9)), B_OK);
	EXPECT_EQ(message.FindRect("rect"), BRect(0, 0, 9, 9));
	EXPECT_EQ(message.ReplaceString("missing", "x"), B_NAME_NOT_FOUND);
	entry_ref other(9, 9, "other");
	EXPECT_EQ(message.ReplaceRef("ref", &other), B_OK);
	ASSERT_EQ(message.FindRef("ref", &found), B_OK);
	EXPECT_STREQ(found.name, "other");
	nested.what = 'Chgd';
	EXPECT_EQ(message.ReplaceMessage("message", &nested), B_OK);
	ASSERT_EQ(message.FindMessage("message", &inner), B_OK);
	EXPECT_EQ(inner.what, static_cast<uint32>('Chgd'));
}

TEST(MessageFields, RawDataAndSetters)
{
	BMessage message;
	const char bytes[] = {1, 2, 3, 0, 5};
	ASSERT_EQ(message.AddData("raw", B_RAW_TYPE, bytes, sizeof(bytes), false), B_OK);
	ASSERT_EQ(message.AddData("raw", B_RAW_TYPE, "xy", 2, false), B_OK);
	const void* data = nullptr;
	ssize_t size = 0;
	ASSERT_EQ(message.FindData("raw", B_RAW_TYPE, 0, &data, &size), B_OK);
	ASSERT_EQ(size, 5);
	EXPECT_EQ(memcmp(data, bytes, 5), 0);
	ASSERT_EQ(message.FindData("raw", B_ANY_TYPE, 1, &data, &size), B_OK);
	EXPECT_EQ(size, 2);
	EXPECT_EQ(message.FindData("raw", B_STRING_TYPE, &data, &size), B_BAD_TYPE);
	EXPECT_TRUE(message.HasData("raw", B_RAW_TYPE, 1));
	EXPECT_EQ(message.ReplaceData("raw", B_RAW_TYPE, 1, "abcdef", 6), B_OK);
	ASSERT_EQ(message.FindData("raw", B_RAW_TYPE, 1, &data, &size), B_OK);
	EXPECT_EQ(std::string(static_cast<const char*>(data), size), "abcdef");

	// Strings are found as data with their terminating zero.
	message.AddString("text", "hello");
	ASSERT_EQ(message.FindData("text", B_STRING_TYPE, &data, &size), B_OK);
	EXPECT_EQ(size, 6);

	EXPECT_EQ(message.SetInt32("set", 1), B_OK);
	EXPECT_EQ(message.SetInt32("set", 2), B_OK);
	int32 count = 0;
	type_code type;
	message.GetInfo("set", &type, &count);
	EXPECT_EQ(count, 1);
	EXPECT_EQ(message.FindInt32("set"), 2);
	EXPECT_EQ(message.SetString("greeting", "hi"), B_OK);
	EXPECT_EQ(message.SetString("greeting", "hello"), B_OK);
	EXPECT_STREQ(message.FindString("greeting"), "hello");
}

TEST(MessageCopies, CopyAndAssignmentAreDeep)
{
	BMessage original('Orig');
	original.AddString("text", "original");
	original.AddInt32("number", 1);
	BMessage nested('Nest');
	nested.AddInt32("level", 1);
	original.AddMessage("nested", &nested);

	BMessage copy(original);
	EXPECT_EQ(copy.what, original.what);
	copy.ReplaceString("text", "changed");
	copy.AddInt32("number", 2);
	BMessage innerCopy;
	copy.FindMessage("nested", &innerCopy);
	innerCopy.ReplaceInt32("level", 2);
	copy.ReplaceMessage("nested", &innerCopy);

	EXPECT_STREQ(original.FindString("text"), "original");
	EXPECT_FALSE(original.HasInt32("number", 1));
	BMessage innerOriginal;
	original.FindMessage("nested", &innerOriginal);
	EXPECT_EQ(innerOriginal.FindInt32("level"), 1);

	BMessage assigned('Othr');
	assigned.AddBool("gone", true);
	assigned = original;
	EXPECT_EQ(assigned.what, static_cast<uint32>('Orig'));
	EXPECT_FALSE(assigned.HasBool("gone"));
	EXPECT_STREQ(assigned.FindString("text"), "original");
	// The string's storage is the copy's own.
	EXPECT_NE(assigned.FindString("text"), original.FindString("text"));
	assigned = assigned;
	EXPECT_STREQ(assigned.FindString("text"), "original");

	EXPECT_FALSE(copy.WasDelivered());
	EXPECT_FALSE(copy.IsSourceWaiting());
	EXPECT_FALSE(copy.IsReply());
	EXPECT_FALSE(copy.IsSourceRemote());
	EXPECT_EQ(copy.Previous(), nullptr);
	// A message that was never delivered cannot be answered.
	EXPECT_EQ(copy.SendReply('Rply'), B_BAD_REPLY);
}

TEST(MessageCodes, SystemMessagesAndConstants)
{
	EXPECT_TRUE(BMessage(B_QUIT_REQUESTED).IsSystem());
	EXPECT_TRUE(BMessage(B_MOUSE_DOWN).IsSystem());
	EXPECT_FALSE(BMessage('Extr').IsSystem());
	EXPECT_FALSE(BMessage(B_SIMPLE_DATA).IsSystem());
	EXPECT_FALSE(BMessage('_low').IsSystem());
	EXPECT_EQ(static_cast<uint32>(B_QUIT_REQUESTED), 0x5f515251u);
	EXPECT_EQ(static_cast<uint32>('Extr'), 0x45787472u);
	EXPECT_EQ(static_cast<uint32>(B_NO_REPLY), static_cast<uint32>('_NRP'));
	EXPECT_EQ(B_LOOPER_PORT_DEFAULT_CAPACITY, 200);
}

TEST(MessageFlattening, RoundTripAndDamagedInput)
{
	BMessage message('Flat');
	message.AddString("name", "value");
	message.AddString("name", "second");
	message.AddInt32("number", -5);
	message.AddData("empty", B_RAW_TYPE, nullptr, 0);
	entry_ref ref(2, 3, "leaf");
	message.AddRef("ref", &ref);

	ssize_t size = message.FlattenedSize();
	ASSERT_GT(size, 16);
	std::string buffer(size, '\0');
	EXPECT_EQ(message.Flatten(buffer.data(), size - 1), B_BAD_VALUE);
	ASSERT_EQ(message.Flatten(buffer.data(), size), B_OK);

	BMessage restored;
	ASSERT_EQ(restored.Unflatten(buffer.data()), B_OK);
	EXPECT_EQ(restored.what, static_cast<uint32>('Flat'));
	EXPECT_STREQ(restored.FindString("name", 1), "second");
	EXPECT_EQ(restored.FindInt32("number"), -5);
	EXPECT_TRUE(restored.HasData("empty", B_RAW_TYPE));
	entry_ref found;
	ASSERT_EQ(restored.FindRef("ref", &found), B_OK);
	EXPECT_EQ(found, ref);

	BMallocIO stream;
	ssize_t written = 0;
	ASSERT_EQ(message.Flatten(&stream, &written), B_OK);
	EXPECT_EQ(written, size);
	stream.Seek(0, SEEK_SET);
	BMessage fromStream;
	ASSERT_EQ(fromStream.Unflatten(&stream), B_OK);
	EXPECT_EQ(fromStream.CountNames(B_ANY_TYPE), 4);

	// A damaged buffer is refused and leaves the message as it was.
	BMessage untouched('Keep');
	untouched.AddInt32("kept", 1);
	std::string damaged = buffer;
	damaged[0] ^= 0x55;
	EXPECT_EQ(untouched.Unflatten(damaged.data()), B_NOT_A_MESSAGE);
	damaged = buffer;
	uint32 shorter = static_cast<uint32>(size - 3);
	memcpy(damaged.data() + 4, &shorter, 4);
	EXPECT_EQ(untouched.Unflatten(damaged.data()), B_BAD_DATA);
	EXPECT_EQ(untouched.what, static_cast<uint32>('Keep'));
	EXPECT_TRUE(untouched.HasInt32("kept"));
}

TEST(MessagePrinting, PrintsCodeNamesAndValues)
{
	BMessage message('Prnt');
	message.AddString("filename", "readme.txt");
	message.AddInt32("bytes", 4096);
	message.AddBool("canceled", true);
	testing::internal::CaptureStdout();
	message.PrintToStream();
	std::string output = testing::internal::GetCapturedStdout();
	EXPECT_NE(output.find("'Prnt'"), std::string::npos) << output;
	EXPECT_NE(output.find("filename"), std::string::npos) << output;
	EXPECT_NE(output.find("readme.txt"), std::string::npos) << output;
	EXPECT_NE(output.find("4096"), std::string::npos) << output;
	EXPECT_NE(output.find("canceled = bool(true)"), std::string::npos) << output;
}

// The typed pointer list and the owner's way of deleting its items.

#include "ErrHandler.h"
#include "RList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Counted {
	explicit Counted(int value, std::vector<int>* deleted = nullptr)
		: value(value), deleted(deleted) {}
	~Counted()
	{
		if (deleted != nullptr)
			deleted->push_back(value);
	}

	int value;
	std::vector<int>* deleted;
};

} // namespace

TEST(RListTest, HoldsTypedPointersInOrder)
{
	RList<Counted*> list;
	Counted a(1), b(2), c(3);
	EXPECT_TRUE(list.AddItem(&a));
	EXPECT_TRUE(list.AddItem(&c));
	EXPECT_TRUE(list.AddItem(&b, 1));
	ASSERT_EQ(list.CountItems(), 3);
	EXPECT_EQ(list.ItemAt(0)->value, 1);
	EXPECT_EQ(list.ItemAt(1)->value, 2);
	EXPECT_EQ(list.LastItem(), &c);
	EXPECT_EQ(list.FirstItem(), &a);
	EXPECT_EQ(list.ItemAt(3), nullptr);
	EXPECT_EQ(list.IndexOf(&c), 2);
	EXPECT_TRUE(list.HasItem(&b));
	EXPECT_EQ(list.RemoveItem(1), &b);
	EXPECT_FALSE(list.HasItem(&b));
	EXPECT_TRUE(list.RemoveItem(&a));
	EXPECT_EQ(list.CountItems(), 1);
	EXPECT_EQ(list.Items()[0], &c);

	// Lists of constant items work the same.
	RList<const Counted*> constant;
	constant.AddItem(&a);
	EXPECT_EQ(constant.ItemAt(0), &a);
}

TEST(RListTest, TheOwnerDeletesEveryItemOnce)
{
	std::vector<int> deleted;
	{
		RList<Counted*> list(5);
		for (int i = 0; i < 12; i++)
			list.AddItem(new Counted(i, &deleted));
		list.MakeEmptyAndDelete();
		EXPECT_TRUE(list.IsEmpty());
		EXPECT_EQ(deleted.size(), 12u);
		// Emptying twice deletes nothing more.
		list.MakeEmptyAndDelete();
		EXPECT_EQ(deleted.size(), 12u);
		// The list itself never deletes what it holds.
		list.AddItem(new Counted(99, &deleted));
		delete list.RemoveItem((int32)0);
	}
	EXPECT_EQ(deleted.size(), 13u);
	std::sort(deleted.begin(), deleted.end() - 1);
	for (int i = 0; i < 12; i++)
		EXPECT_EQ(deleted[i], i);
}

TEST(ErrHandlerTest, CheckPassesResultsAndThrowsFailures)
{
	EXPECT_EQ(ErrHandler::Check(42), 42);
	EXPECT_EQ(ErrHandler::Check((ssize_t)0), 0);
	try {
		ErrHandler::Check((ssize_t)B_DEVICE_FULL);
		FAIL() << "no exception";
	} catch (const ErrHandler::OSErr& error) {
		EXPECT_EQ(error.err, B_DEVICE_FULL);
		EXPECT_EQ(error.Error(), B_DEVICE_FULL);
	}
	EXPECT_THROW(ErrHandler::Throw(B_CANCELED), ErrHandler::OSErr);
}

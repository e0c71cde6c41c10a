#ifndef _RLIST_H
#define _RLIST_H

// A typed list of pointers over BList: RList<DestItem*> holds DestItem
// pointers. Like BList it never deletes what it holds by itself: the list's
// owner deletes the items, usually through MakeEmptyAndDelete() before it
// deletes the list.

#include <List.h>

#include <type_traits>

template<class T>
class RList : public BList {
	static_assert(std::is_pointer_v<T>, "RList holds pointers: RList<Item*>");

public:
	explicit RList(int32 blockSize = 20) : BList(blockSize) {}

	bool AddItem(T item) { return BList::AddItem(ToVoid(item)); }
	bool AddItem(T item, int32 index) { return BList::AddItem(ToVoid(item), index); }
	bool AddList(const RList<T>* list) { return BList::AddList(list); }
	bool AddList(const RList<T>* list, int32 index) { return BList::AddList(list, index); }

	bool RemoveItem(T item) { return BList::RemoveItem(ToVoid(item)); }
	T RemoveItem(int32 index) { return static_cast<T>(BList::RemoveItem(index)); }
	bool ReplaceItem(int32 index, T item) { return BList::ReplaceItem(index, ToVoid(item)); }

	T ItemAt(int32 index) const { return static_cast<T>(BList::ItemAt(index)); }
	T ItemAtFast(int32 index) const { return static_cast<T>(BList::ItemAtFast(index)); }
	T FirstItem() const { return static_cast<T>(BList::FirstItem()); }
	T LastItem() const { return static_cast<T>(BList::LastItem()); }
	T* Items() const { return static_cast<T*>(BList::Items()); }

	bool HasItem(T item) const { return BList::HasItem(ToVoid(item)); }
	int32 IndexOf(T item) const { return BList::IndexOf(ToVoid(item)); }

	// Deletes every item the list holds, then empties the list: what the
	// owner calls when it is done with the items.
	void MakeEmptyAndDelete()
	{
		// Taken out one by one from the end, so that an item's destructor
		// that looks at the list never meets a deleted item in it.
		while (!IsEmpty())
			delete RemoveItem(CountItems() - 1);
	}

private:
	static void* ToVoid(T item)
	{
		return const_cast<void*>(static_cast<const volatile void*>(item));
	}
};

#endif // _RLIST_H

#ifndef _LIST_H
#define _LIST_H

// An ordered list of untyped pointers. The list never owns the items.

#include <SupportDefs.h>

class BList {
public:
	explicit BList(int32 blockSize = 20);
	BList(const BList& other);
	virtual ~BList();

	BList& operator=(const BList& other);

	bool AddItem(void* item);
	bool AddItem(void* item, int32 index);
	bool AddList(const BList* list);
	bool AddList(const BList* list, int32 index);

	bool RemoveItem(void* item);
	void* RemoveItem(int32 index);
	bool RemoveItems(int32 index, int32 count);
	bool ReplaceItem(int32 index, void* newItem);
	void MakeEmpty();

	void SortItems(int (*compare)(const void*, const void*));
	bool SwapItems(int32 indexA, int32 indexB);
	bool MoveItem(int32 fromIndex, int32 toIndex);

	void* ItemAt(int32 index) const;
	void* ItemAtFast(int32 index) const { return fItems[index]; }
	void* FirstItem() const;
	void* LastItem() const;
	void* Items() const { return fItems; }

	bool HasItem(void* item) const { return IndexOf(item) >= 0; }
	int32 IndexOf(void* item) const;
	int32 CountItems() const { return fCount; }
	bool IsEmpty() const { return fCount == 0; }

	void DoForEach(bool (*func)(void* item));
	void DoForEach(bool (*func)(void* item, void* arg), void* arg);

private:
	bool EnsureCapacity(int32 count);

	void** fItems;
	int32 fCount;
	int32 fCapacity;
	int32 fBlockSize;
};

#endif // _LIST_H

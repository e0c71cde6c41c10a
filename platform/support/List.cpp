#include <List.h>

#include <cstdlib>
#include <cstring>

BList::BList(int32 blockSize)
	:
	fItems(nullptr),
	fCount(0),
	fCapacity(0),
	fBlockSize(blockSize > 0 ? blockSize : 1)
{
}

BList::BList(const BList& other)
	:
	BList(other.fBlockSize)
{
	*this = other;
}

BList::~BList()
{
	free(fItems);
}

BList&
BList::operator=(const BList& other)
{
	if (this == &other)
		return *this;
	fCount = 0;
	if (EnsureCapacity(other.fCount)) {
		if (other.fCount > 0)
			memcpy(fItems, other.fItems, other.fCount * sizeof(void*));
		fCount = other.fCount;
	}
	return *this;
}

bool
BList::EnsureCapacity(int32 count)
{
	if (count <= fCapacity)
		return true;
	int32 capacity = ((count + fBlockSize - 1) / fBlockSize) * fBlockSize;
	void** items = static_cast<void**>(realloc(fItems, capacity * sizeof(void*)));
	if (items == nullptr)
		return false;
	fItems = items;
	fCapacity = capacity;
	return true;
}

bool
BList::AddItem(void* item)
{
	return AddItem(item, fCount);
}

bool
BList::AddItem(void* item, int32 index)
{
	if (index < 0 || index > fCount || !EnsureCapacity(fCount + 1))
		return false;
	memmove(fItems + index + 1, fItems + index, (fCount - index) * sizeof(void*));
	fItems[index] = item;
	fCount++;
	return true;
}

bool
BList::AddList(const BList* list)
{
	return list != nullptr && AddList(list, fCount);
}

bool
BList::AddList(const BList* list, int32 index)
{
	if (list == nullptr || index < 0 || index > fCount)
		return false;
	int32 added = list->fCount;
	if (added == 0)
		return true;
	if (!EnsureCapacity(fCount + added))
		return false;
	memmove(fItems + index + added, fItems + index, (fCount - index) * sizeof(void*));
	memcpy(fItems + index, list->fItems, added * sizeof(void*));
	fCount += added;
	return true;
}

bool
BList::RemoveItem(void* item)
{
	int32 index = IndexOf(item);
	if (index < 0)
		return false;
	RemoveItem(index);
	return true;
}

void*
BList::RemoveItem(int32 index)
{
	if (index < 0 || index >= fCount)
		return nullptr;
	void* item = fItems[index];
	RemoveItems(index, 1);
	return item;
}

bool
BList::RemoveItems(int32 index, int32 count)
{
	if (index < 0 || index >= fCount || count <= 0)
		return false;
	if (count > fCount - index)
		count = fCount - index;
	memmove(fItems + index, fItems + index + count,
		(fCount - index - count) * sizeof(void*));
	fCount -= count;
	return true;
}

bool
BList::ReplaceItem(int32 index, void* newItem)
{
	if (index < 0 || index >= fCount)
		return false;
	fItems[index] = newItem;
	return true;
}

void
BList::MakeEmpty()
{
	fCount = 0;
}

void
BList::SortItems(int (*compare)(const void*, const void*))
{
	if (compare != nullptr && fCount > 1)
		qsort(fItems, fCount, sizeof(void*), compare);
}

bool
BList::SwapItems(int32 indexA, int32 indexB)
{
	if (indexA < 0 || indexA >= fCount || indexB < 0 || indexB >= fCount)
		return false;
	void* item = fItems[indexA];
	fItems[indexA] = fItems[indexB];
	fItems[indexB] = item;
	return true;
}

bool
BList::MoveItem(int32 fromIndex, int32 toIndex)
{
	if (fromIndex < 0 || fromIndex >= fCount || toIndex < 0 || toIndex >= fCount)
		return false;
	void* item = fItems[fromIndex];
	RemoveItems(fromIndex, 1);
	fCount++;
	memmove(fItems + toIndex + 1, fItems + toIndex, (fCount - 1 - toIndex) * sizeof(void*));
	fItems[toIndex] = item;
	return true;
}

void*
BList::ItemAt(int32 index) const
{
	if (index < 0 || index >= fCount)
		return nullptr;
	return fItems[index];
}

void*
BList::FirstItem() const
{
	return ItemAt(0);
}

void*
BList::LastItem() const
{
	return ItemAt(fCount - 1);
}

int32
BList::IndexOf(void* item) const
{
	for (int32 i = 0; i < fCount; i++) {
		if (fItems[i] == item)
			return i;
	}
	return -1;
}

void
BList::DoForEach(bool (*func)(void* item))
{
	for (int32 i = 0; func != nullptr && i < fCount; i++) {
		if (func(fItems[i]))
			break;
	}
}

void
BList::DoForEach(bool (*func)(void* item, void* arg), void* arg)
{
	for (int32 i = 0; func != nullptr && i < fCount; i++) {
		if (func(fItems[i], arg))
			break;
	}
}

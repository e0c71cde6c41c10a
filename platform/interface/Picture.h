#ifndef _PICTURE_H
#define _PICTURE_H

// A recording of drawing calls (and the state changes between them) made
// between a view's BeginPicture and EndPicture; DrawPicture replays them
// into any view, offset by a point.

#include <SupportDefs.h>

#include <functional>
#include <memory>
#include <vector>

class BView;

class BPicture {
public:
	BPicture();
	BPicture(const BPicture& other);
	~BPicture();

	int32 CountOperations() const;

private:
	friend class BView;

	typedef std::function<void(BView*)> Operation;

	void _Add(Operation operation);
	void _Clear();
	void _Play(BView* view) const;

	// Shared: copies made for nested recording replay the same steps.
	std::shared_ptr<std::vector<Operation>> fOperations;
};

#endif // _PICTURE_H

#include <Picture.h>

BPicture::BPicture()
	:
	fOperations(std::make_shared<std::vector<Operation>>())
{
}

BPicture::BPicture(const BPicture& other)
	:
	fOperations(std::make_shared<std::vector<Operation>>(*other.fOperations))
{
}

BPicture::~BPicture()
{
}

int32
BPicture::CountOperations() const
{
	return static_cast<int32>(fOperations->size());
}

void
BPicture::_Add(Operation operation)
{
	fOperations->push_back(std::move(operation));
}

void
BPicture::_Clear()
{
	fOperations = std::make_shared<std::vector<Operation>>();
}

void
BPicture::_Play(BView* view) const
{
	// Hold the steps: a step may draw a picture that is this one.
	std::shared_ptr<std::vector<Operation>> operations = fOperations;
	for (const Operation& operation : *operations)
		operation(view);
}

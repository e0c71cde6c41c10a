#ifndef _FOLDER_NAME_FIELD_H
#define _FOLDER_NAME_FIELD_H

// A one-line text field over a row of the file panel, where a folder just
// made gets its name. Return sends the window kFolderNameChosen with the
// "name" typed and the "old name"; Escape sends kFolderNameAbandoned. The
// text never holds a line break or a slash, which no name may hold.

#include <TextView.h>

#include <string>

namespace BPrivate {

enum {
	kFolderNameChosen = 'FPrn',
	kFolderNameAbandoned = 'FPra'
};

// The field's view name.
const char* const kFolderNameFieldName = "foldername";

class FolderNameField : public BTextView {
public:
	// Shows oldName selected, so that typing replaces it.
	FolderNameField(BRect frame, const char* oldName);

	void AttachedToWindow() override;
	void Draw(BRect updateRect) override;
	void KeyDown(const char* bytes, int32 numBytes) override;

	const std::string& OldName() const { return fOldName; }

private:
	void _Send(uint32 what);

	std::string fOldName;
};

} // namespace BPrivate

#endif // _FOLDER_NAME_FIELD_H

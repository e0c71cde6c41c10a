#ifndef _MESSAGE_H
#define _MESSAGE_H

// A message: a command code (`what`) and any number of named fields, each
// holding one or more values of one type. Messages are values: copies are
// deep, and a message posted or sent is copied, so the sender keeps its own.

#include <AppDefs.h>
#include <Messenger.h>
#include <OS.h>
#include <Point.h>
#include <Rect.h>
#include <TypeConstants.h>

#include <memory>
#include <string>
#include <vector>

class BDataIO;
class BHandler;
struct entry_ref;

namespace BPrivate {
class ReplySlot;
}

class BMessage {
public:
	uint32 what;

	BMessage();
	explicit BMessage(uint32 what);
	BMessage(const BMessage& other);
	virtual ~BMessage();

	BMessage& operator=(const BMessage& other);

	// Fields
	status_t GetInfo(type_code typeRequested, int32 index, char** nameFound,
		type_code* typeFound, int32* countFound = nullptr) const;
	status_t GetInfo(const char* name, type_code* typeFound, int32* countFound = nullptr) const;
	status_t GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const;
	int32 CountNames(type_code type) const;
	bool IsEmpty() const { return fFields.empty(); }
	bool IsSystem() const;
	bool IsReply() const { return fIsReply; }
	void PrintToStream() const;
	status_t Rename(const char* oldName, const char* newName);

	// Delivery
	bool WasDelivered() const { return fDelivered; }
	bool IsSourceWaiting() const;
	bool IsSourceRemote() const { return false; }
	BMessenger ReturnAddress() const;
	// The message this one replies to, or nullptr.
	const BMessage* Previous() const { return fPrevious.get(); }
	bool WasDropped() const { return false; }

	// Replies go to a sender that waits; otherwise to the reply target the
	// sender named, else to the application.
	status_t SendReply(uint32 command, BHandler* replyTo = nullptr);
	status_t SendReply(BMessage* reply, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT);
	status_t SendReply(BMessage* reply, BMessenger replyTo,
		bigtime_t timeout = B_INFINITE_TIMEOUT);
	status_t SendReply(uint32 command, BMessage* replyToReply);
	status_t SendReply(BMessage* reply, BMessage* replyToReply,
		bigtime_t sendTimeout = B_INFINITE_TIMEOUT,
		bigtime_t replyTimeout = B_INFINITE_TIMEOUT);

	// Flattening (this kit's own format; only for messages within the host)
	ssize_t FlattenedSize() const;
	status_t Flatten(char* buffer, ssize_t size) const;
	status_t Flatten(BDataIO* stream, ssize_t* size = nullptr) const;
	status_t Unflatten(const char* flatBuffer);
	status_t Unflatten(BDataIO* stream);

	// Adding
	status_t AddRect(const char* name, BRect rect);
	status_t AddPoint(const char* name, BPoint point);
	status_t AddString(const char* name, const char* string);
	status_t AddInt8(const char* name, int8 value);
	status_t AddUInt8(const char* name, uint8 value);
	status_t AddInt16(const char* name, int16 value);
	status_t AddUInt16(const char* name, uint16 value);
	status_t AddInt32(const char* name, int32 value);
	status_t AddUInt32(const char* name, uint32 value);
	status_t AddInt64(const char* name, int64 value);
	status_t AddUInt64(const char* name, uint64 value);
	status_t AddBool(const char* name, bool value);
	status_t AddFloat(const char* name, float value);
	status_t AddDouble(const char* name, double value);
	status_t AddPointer(const char* name, const void* pointer);
	status_t AddMessenger(const char* name, BMessenger messenger);
	status_t AddRef(const char* name, const entry_ref* ref);
	status_t AddMessage(const char* name, const BMessage* message);
	status_t AddData(const char* name, type_code type, const void* data,
		ssize_t numBytes, bool isFixedSize = true, int32 numItems = 1);

	// Removing
	status_t RemoveData(const char* name, int32 index = 0);
	status_t RemoveName(const char* name);
	status_t MakeEmpty();

	// Finding. A failed find leaves the caller's variable as it was.
	status_t FindRect(const char* name, BRect* rect) const;
	status_t FindRect(const char* name, int32 index, BRect* rect) const;
	status_t FindPoint(const char* name, BPoint* point) const;
	status_t FindPoint(const char* name, int32 index, BPoint* point) const;
	status_t FindString(const char* name, const char** string) const;
	status_t FindString(const char* name, int32 index, const char** string) const;
	status_t FindInt8(const char* name, int8* value) const;
	status_t FindInt8(const char* name, int32 index, int8* value) const;
	status_t FindUInt8(const char* name, uint8* value) const;
	status_t FindUInt8(const char* name, int32 index, uint8* value) const;
	status_t FindInt16(const char* name, int16* value) const;
	status_t FindInt16(const char* name, int32 index, int16* value) const;
	status_t FindUInt16(const char* name, uint16* value) const;
	status_t FindUInt16(const char* name, int32 index, uint16* value) const;
	status_t FindInt32(const char* name, int32* value) const;
	status_t FindInt32(const char* name, int32 index, int32* value) const;
	status_t FindUInt32(const char* name, uint32* value) const;
	status_t FindUInt32(const char* name, int32 index, uint32* value) const;
	status_t FindInt64(const char* name, int64* value) const;
	status_t FindInt64(const char* name, int32 index, int64* value) const;
	status_t FindUInt64(const char* name, uint64* value) const;
	status_t FindUInt64(const char* name, int32 index, uint64* value) const;
	status_t FindBool(const char* name, bool* value) const;
	status_t FindBool(const char* name, int32 index, bool* value) const;
	status_t FindFloat(const char* name, float* value) const;
	status_t FindFloat(const char* name, int32 index, float* value) const;
	status_t FindDouble(const char* name, double* value) const;
	status_t FindDouble(const char* name, int32 index, double* value) const;
	status_t FindPointer(const char* name, void** pointer) const;
	status_t FindPointer(const char* name, int32 index, void** pointer) const;
	status_t FindMessenger(const char* name, BMessenger* messenger) const;
	status_t FindMessenger(const char* name, int32 index, BMessenger* messenger) const;
	status_t FindRef(const char* name, entry_ref* ref) const;
	status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
	status_t FindMessage(const char* name, BMessage* message) const;
	status_t FindMessage(const char* name, int32 index, BMessage* message) const;
	status_t FindData(const char* name, type_code type, const void** data,
		ssize_t* numBytes) const;
	status_t FindData(const char* name, type_code type, int32 index,
		const void** data, ssize_t* numBytes) const;

	// The older finders that return the value: 0, false, nullptr or an
	// invalid rectangle when the field is missing.
	BRect FindRect(const char* name, int32 index = 0) const;
	BPoint FindPoint(const char* name, int32 index = 0) const;
	const char* FindString(const char* name, int32 index = 0) const;
	int8 FindInt8(const char* name, int32 index = 0) const;
	int16 FindInt16(const char* name, int32 index = 0) const;
	int32 FindInt32(const char* name, int32 index = 0) const;
	int64 FindInt64(const char* name, int32 index = 0) const;
	bool FindBool(const char* name, int32 index = 0) const;
	float FindFloat(const char* name, int32 index = 0) const;
	double FindDouble(const char* name, int32 index = 0) const;

	// Getters with a default for a missing or mistyped field.
	BRect GetRect(const char* name, const BRect& defaultValue) const;
	BPoint GetPoint(const char* name, const BPoint& defaultValue) const;
	const char* GetString(const char* name, const char* defaultValue = nullptr) const;
	const char* GetString(const char* name, int32 index, const char* defaultValue) const;
	int8 GetInt8(const char* name, int8 defaultValue) const;
	int16 GetInt16(const char* name, int16 defaultValue) const;
	int32 GetInt32(const char* name, int32 defaultValue) const;
	int32 GetInt32(const char* name, int32 index, int32 defaultValue) const;
	uint32 GetUInt32(const char* name, uint32 defaultValue) const;
	int64 GetInt64(const char* name, int64 defaultValue) const;
	int64 GetInt64(const char* name, int32 index, int64 defaultValue) const;
	bool GetBool(const char* name, bool defaultValue = false) const;
	bool GetBool(const char* name, int32 index, bool defaultValue) const;
	float GetFloat(const char* name, float defaultValue) const;
	double GetDouble(const char* name, double defaultValue) const;
	void* GetPointer(const char* name, const void* defaultValue = nullptr) const;

	// Replacing (the value at index 0 unless an index is given)
	status_t ReplaceRect(const char* name, BRect rect);
	status_t ReplaceRect(const char* name, int32 index, BRect rect);
	status_t ReplacePoint(const char* name, BPoint point);
	status_t ReplacePoint(const char* name, int32 index, BPoint point);
	status_t ReplaceString(const char* name, const char* string);
	status_t ReplaceString(const char* name, int32 index, const char* string);
	status_t ReplaceInt8(const char* name, int8 value);
	status_t ReplaceInt8(const char* name, int32 index, int8 value);
	status_t ReplaceInt16(const char* name, int16 value);
	status_t ReplaceInt16(const char* name, int32 index, int16 value);
	status_t ReplaceInt32(const char* name, int32 value);
	status_t ReplaceInt32(const char* name, int32 index, int32 value);
	status_t ReplaceUInt32(const char* name, uint32 value);
	status_t ReplaceUInt32(const char* name, int32 index, uint32 value);
	status_t ReplaceInt64(const char* name, int64 value);
	status_t ReplaceInt64(const char* name, int32 index, int64 value);
	status_t ReplaceBool(const char* name, bool value);
	status_t ReplaceBool(const char* name, int32 index, bool value);
	status_t ReplaceFloat(const char* name, float value);
	status_t ReplaceFloat(const char* name, int32 index, float value);
	status_t ReplaceDouble(const char* name, double value);
	status_t ReplaceDouble(const char* name, int32 index, double value);
	status_t ReplacePointer(const char* name, const void* pointer);
	status_t ReplacePointer(const char* name, int32 index, const void* pointer);
	status_t ReplaceMessenger(const char* name, BMessenger messenger);
	status_t ReplaceMessenger(const char* name, int32 index, BMessenger messenger);
	status_t ReplaceRef(const char* name, const entry_ref* ref);
	status_t ReplaceRef(const char* name, int32 index, const entry_ref* ref);
	status_t ReplaceMessage(const char* name, const BMessage* message);
	status_t ReplaceMessage(const char* name, int32 index, const BMessage* message);
	status_t ReplaceData(const char* name, type_code type, const void* data,
		ssize_t numBytes);
	status_t ReplaceData(const char* name, type_code type, int32 index,
		const void* data, ssize_t numBytes);

	// Setters: replace the first value, or add it when the field is missing.
	status_t SetString(const char* name, const char* string);
	status_t SetInt32(const char* name, int32 value);
	status_t SetInt64(const char* name, int64 value);
	status_t SetBool(const char* name, bool value);
	status_t SetPointer(const char* name, const void* pointer);

	// Presence
	bool HasRect(const char* name, int32 index = 0) const;
	bool HasPoint(const char* name, int32 index = 0) const;
	bool HasString(const char* name, int32 index = 0) const;
	bool HasInt8(const char* name, int32 index = 0) const;
	bool HasInt16(const char* name, int32 index = 0) const;
	bool HasInt32(const char* name, int32 index = 0) const;
	bool HasInt64(const char* name, int32 index = 0) const;
	bool HasBool(const char* name, int32 index = 0) const;
	bool HasFloat(const char* name, int32 index = 0) const;
	bool HasDouble(const char* name, int32 index = 0) const;
	bool HasPointer(const char* name, int32 index = 0) const;
	bool HasMessenger(const char* name, int32 index = 0) const;
	bool HasRef(const char* name, int32 index = 0) const;
	bool HasMessage(const char* name, int32 index = 0) const;
	bool HasData(const char* name, type_code type, int32 index = 0) const;

private:
	friend class BLooper;
	friend class BMessenger;

	struct Field {
		std::string name;
		type_code type;
		bool fixedSize;
		std::vector<std::vector<uint8>> values;
	};

	Field* _FindField(const char* name);
	const Field* _FindField(const char* name) const;
	status_t _Add(const char* name, type_code type, const void* data, size_t size,
		bool fixedSize);
	status_t _Replace(const char* name, type_code type, int32 index,
		const void* data, size_t size);
	status_t _Find(const char* name, type_code type, int32 index,
		const std::vector<uint8>** value) const;
	template<typename T>
	status_t _FindValue(const char* name, type_code type, int32 index, T* out) const;
	template<typename T>
	status_t _SetValue(const char* name, type_code type, const T& value);
	void _CopyFieldsFrom(const BMessage& other);
	status_t _ReplyTo(BMessage* reply, const BMessenger& replyTo, bigtime_t timeout);
	void _AnswerWaitingSender();

	std::vector<Field> fFields;

	// Delivery state; a copy of the message does not take it over.
	int32 fTargetToken;
	BMessenger fReplyTo;
	std::shared_ptr<BPrivate::ReplySlot> fReplySlot;
	bool fDelivered;
	bool fIsReply;
	std::unique_ptr<BMessage> fPrevious;
};

#endif // _MESSAGE_H

#include <Message.h>

#include <Application.h>
#include <DataIO.h>
#include <EntryRef.h>
#include <Handler.h>
#include <ObjectRegistry.h>
#include <ReplySlot.h>

#include <cstdio>
#include <cstring>

using BPrivate::kNoToken;

BMessage::BMessage()
	:
	BMessage(0)
{
}

BMessage::BMessage(uint32 command)
	:
	what(command),
	fTargetToken(BPrivate::kPreferredHandlerToken),
	fDelivered(false),
	fIsReply(false)
{
}

BMessage::BMessage(const BMessage& other)
	:
	BMessage(other.what)
{
	_CopyFieldsFrom(other);
}

BMessage::~BMessage()
{
	_AnswerWaitingSender();
}

BMessage&
BMessage::operator=(const BMessage& other)
{
	if (this != &other) {
		what = other.what;
		_CopyFieldsFrom(other);
	}
	return *this;
}

void
BMessage::_CopyFieldsFrom(const BMessage& other)
{
	// The copy is a message of its own: it has not been delivered and owes
	// no sender a reply.
	fFields = other.fFields;
	fTargetToken = other.fTargetToken;
	fReplyTo = other.fReplyTo;
	fIsReply = other.fIsReply;
	fPrevious.reset(other.fPrevious ? new BMessage(*other.fPrevious) : nullptr);
}

void
BMessage::_AnswerWaitingSender()
{
	if (fReplySlot) {
		// Deleted without a reply: the waiting sender learns so at once.
		if (!fReplySlot->IsAnswered())
			fReplySlot->Answer(BMessage(B_NO_REPLY));
		fReplySlot.reset();
	}
}

// #pragma mark - fields

BMessage::Field*
BMessage::_FindField(const char* name)
{
	if (name == nullptr)
		return nullptr;
	for (Field& field : fFields) {
		if (field.name == name)
			return &field;
	}
	return nullptr;
}

const BMessage::Field*
BMessage::_FindField(const char* name) const
{
	return const_cast<BMessage*>(this)->_FindField(name);
}

status_t
BMessage::_Add(const char* name, type_code type, const void* data, size_t size,
	bool fixedSize)
{
	if (name == nullptr || (data == nullptr && size > 0))
		return B_BAD_VALUE;
	Field* field = _FindField(name);
	if (field == nullptr) {
		fFields.push_back(Field{name, type, fixedSize, {}});
		field = &fFields.back();
	} else if (field->type != type) {
		return B_BAD_TYPE;
	}
	const uint8* bytes = static_cast<const uint8*>(data);
	field->values.emplace_back(bytes, bytes + size);
	return B_OK;
}

status_t
BMessage::_Find(const char* name, type_code type, int32 index,
	const std::vector<uint8>** value) const
{
	if (name == nullptr)
		return B_BAD_VALUE;
	const Field* field = _FindField(name);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	if (type != B_ANY_TYPE && field->type != type)
		return B_BAD_TYPE;
	if (index < 0 || index >= static_cast<int32>(field->values.size()))
		return B_BAD_INDEX;
	*value = &field->values[index];
	return B_OK;
}

status_t
BMessage::_Replace(const char* name, type_code type, int32 index, const void* data,
	size_t size)
{
	const std::vector<uint8>* found;
	status_t status = _Find(name, type, index, &found);
	if (status != B_OK)
		return status;
	if (data == nullptr && size > 0)
		return B_BAD_VALUE;
	const uint8* bytes = static_cast<const uint8*>(data);
	const_cast<std::vector<uint8>*>(found)->assign(bytes, bytes + size);
	return B_OK;
}

template<typename T>
status_t
BMessage::_FindValue(const char* name, type_code type, int32 index, T* out) const
{
	if (out == nullptr)
		return B_BAD_VALUE;
	const std::vector<uint8>* value;
	status_t status = _Find(name, type, index, &value);
	if (status != B_OK)
		return status;
	if (value->size() != sizeof(T))
		return B_BAD_DATA;
	memcpy(out, value->data(), sizeof(T));
	return B_OK;
}

template<typename T>
status_t
BMessage::_SetValue(const char* name, type_code type, const T& value)
{
	if (HasData(name, type))
		return _Replace(name, type, 0, &value, sizeof(T));
	return _Add(name, type, &value, sizeof(T), true);
}

status_t
BMessage::GetInfo(type_code typeRequested, int32 index, char** nameFound,
	type_code* typeFound, int32* countFound) const
{
	bool anyOfType = false;
	int32 seen = 0;
	for (const Field& field : fFields) {
		if (typeRequested != B_ANY_TYPE && field.type != typeRequested)
			continue;
		anyOfType = true;
		if (seen++ != index)
			continue;
		if (nameFound != nullptr)
			*nameFound = const_cast<char*>(field.name.c_str());
		if (typeFound != nullptr)
			*typeFound = field.type;
		if (countFound != nullptr)
			*countFound = static_cast<int32>(field.values.size());
		return B_OK;
	}
	return anyOfType ? B_BAD_INDEX : B_BAD_TYPE;
}

status_t
BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
	const Field* field = _FindField(name);
	if (field == nullptr)
		return name == nullptr ? B_BAD_VALUE : B_NAME_NOT_FOUND;
	if (typeFound != nullptr)
		*typeFound = field->type;
	if (countFound != nullptr)
		*countFound = static_cast<int32>(field->values.size());
	return B_OK;
}

status_t
BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
	const Field* field = _FindField(name);
	if (field == nullptr)
		return name == nullptr ? B_BAD_VALUE : B_NAME_NOT_FOUND;
	if (typeFound != nullptr)
		*typeFound = field->type;
	if (fixedSize != nullptr)
		*fixedSize = field->fixedSize;
	return B_OK;
}

int32
BMessage::CountNames(type_code type) const
{
	int32 count = 0;
	for (const Field& field : fFields) {
		if (type == B_ANY_TYPE || field.type == type)
			count++;
	}
	return count;
}

bool
BMessage::IsSystem() const
{
	auto isUpper = [](char c) { return c >= 'A' && c <= 'Z'; };
	return char(what >> 24) == '_' && isUpper(char(what >> 16))
		&& isUpper(char(what >> 8)) && isUpper(char(what));
}

status_t
BMessage::Rename(const char* oldName, const char* newName)
{
	if (oldName == nullptr || newName == nullptr)
		return B_BAD_VALUE;
	Field* field = _FindField(oldName);
	if (field == nullptr)
		return B_NAME_NOT_FOUND;
	if (_FindField(newName) != nullptr)
		return B_NAME_IN_USE;
	field->name = newName;
	return B_OK;
}

// #pragma mark - adding

status_t
BMessage::AddRect(const char* name, BRect rect)
{
	return _Add(name, B_RECT_TYPE, &rect, sizeof(rect), true);
}

status_t
BMessage::AddPoint(const char* name, BPoint point)
{
	return _Add(name, B_POINT_TYPE, &point, sizeof(point), true);
}

status_t
BMessage::AddString(const char* name, const char* string)
{
	if (string == nullptr)
		return B_BAD_VALUE;
	return _Add(name, B_STRING_TYPE, string, strlen(string) + 1, false);
}

status_t
BMessage::AddInt8(const char* name, int8 value)
{
	return _Add(name, B_INT8_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddUInt8(const char* name, uint8 value)
{
	return _Add(name, B_UINT8_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddInt16(const char* name, int16 value)
{
	return _Add(name, B_INT16_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddUInt16(const char* name, uint16 value)
{
	return _Add(name, B_UINT16_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddInt32(const char* name, int32 value)
{
	return _Add(name, B_INT32_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddUInt32(const char* name, uint32 value)
{
	return _Add(name, B_UINT32_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddInt64(const char* name, int64 value)
{
	return _Add(name, B_INT64_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddUInt64(const char* name, uint64 value)
{
	return _Add(name, B_UINT64_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddBool(const char* name, bool value)
{
	return _Add(name, B_BOOL_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddFloat(const char* name, float value)
{
	return _Add(name, B_FLOAT_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddDouble(const char* name, double value)
{
	return _Add(name, B_DOUBLE_TYPE, &value, sizeof(value), true);
}

status_t
BMessage::AddPointer(const char* name, const void* pointer)
{
	return _Add(name, B_POINTER_TYPE, &pointer, sizeof(pointer), true);
}

namespace {

// A messenger in a field: its team and its two tokens.
struct FlatMessenger {
	int32 team;
	int32 looperToken;
	int32 handlerToken;
};

// An entry_ref in a field: device, directory, then the name with its
// terminating zero (absent for a ref without a name).
std::vector<uint8>
FlattenRef(const entry_ref& ref)
{
	size_t nameSize = ref.name != nullptr ? strlen(ref.name) + 1 : 0;
	std::vector<uint8> bytes(16 + nameSize);
	int64 device = ref.device;
	int64 directory = ref.directory;
	memcpy(bytes.data(), &device, 8);
	memcpy(bytes.data() + 8, &directory, 8);
	if (nameSize > 0)
		memcpy(bytes.data() + 16, ref.name, nameSize);
	return bytes;
}

status_t
UnflattenRef(const std::vector<uint8>& bytes, entry_ref* ref)
{
	if (bytes.size() < 16 || (bytes.size() > 16 && bytes.back() != '\0'))
		return B_BAD_DATA;
	int64 device;
	int64 directory;
	memcpy(&device, bytes.data(), 8);
	memcpy(&directory, bytes.data() + 8, 8);
	ref->device = static_cast<dev_t>(device);
	ref->directory = static_cast<ino_t>(directory);
	return ref->set_name(bytes.size() > 16
		? reinterpret_cast<const char*>(bytes.data() + 16) : nullptr);
}

} // namespace

status_t
BMessage::AddMessenger(const char* name, BMessenger messenger)
{
	FlatMessenger flat{messenger.fTeam, messenger.fLooperToken, messenger.fHandlerToken};
	return _Add(name, B_MESSENGER_TYPE, &flat, sizeof(flat), true);
}

status_t
BMessage::AddRef(const char* name, const entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	std::vector<uint8> bytes = FlattenRef(*ref);
	return _Add(name, B_REF_TYPE, bytes.data(), bytes.size(), false);
}

status_t
BMessage::AddMessage(const char* name, const BMessage* message)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	std::vector<uint8> bytes(message->FlattenedSize());
	status_t status = message->Flatten(reinterpret_cast<char*>(bytes.data()),
		static_cast<ssize_t>(bytes.size()));
	if (status != B_OK)
		return status;
	return _Add(name, B_MESSAGE_TYPE, bytes.data(), bytes.size(), false);
}

status_t
BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
	bool isFixedSize, int32)
{
	if (numBytes < 0)
		return B_BAD_VALUE;
	return _Add(name, type, data, static_cast<size_t>(numBytes), isFixedSize);
}

// #pragma mark - removing

status_t
BMessage::RemoveData(const char* name, int32 index)
{
	Field* field = _FindField(name);
	if (field == nullptr)
		return name == nullptr ? B_BAD_VALUE : B_NAME_NOT_FOUND;
	if (index < 0 || index >= static_cast<int32>(field->values.size()))
		return B_BAD_INDEX;
	field->values.erase(field->values.begin() + index);
	if (field->values.empty())
		return RemoveName(name);
	return B_OK;
}

status_t
BMessage::RemoveName(const char* name)
{
	if (name == nullptr)
		return B_BAD_VALUE;
	for (auto field = fFields.begin(); field != fFields.end(); ++field) {
		if (field->name == name) {
			fFields.erase(field);
			return B_OK;
		}
	}
	return B_NAME_NOT_FOUND;
}

status_t
BMessage::MakeEmpty()
{
	fFields.clear();
	return B_OK;
}

// #pragma mark - finding

status_t
BMessage::FindRect(const char* name, BRect* rect) const
{
	return FindRect(name, 0, rect);
}

status_t
BMessage::FindRect(const char* name, int32 index, BRect* rect) const
{
	return _FindValue(name, B_RECT_TYPE, index, rect);
}

status_t
BMessage::FindPoint(const char* name, BPoint* point) const
{
	return FindPoint(name, 0, point);
}

status_t
BMessage::FindPoint(const char* name, int32 index, BPoint* point) const
{
	return _FindValue(name, B_POINT_TYPE, index, point);
}

status_t
BMessage::FindString(const char* name, const char** string) const
{
	return FindString(name, 0, string);
}

status_t
BMessage::FindString(const char* name, int32 index, const char** string) const
{
	if (string == nullptr)
		return B_BAD_VALUE;
	const std::vector<uint8>* value;
	status_t status = _Find(name, B_STRING_TYPE, index, &value);
	if (status != B_OK)
		return status;
	*string = reinterpret_cast<const char*>(value->data());
	return B_OK;
}

#define DEFINE_FIND(Name, Type, Code) \
	status_t BMessage::Find##Name(const char* name, Type* value) const \
	{ \
		return _FindValue(name, Code, 0, value); \
	} \
	status_t BMessage::Find##Name(const char* name, int32 index, Type* value) const \
	{ \
		return _FindValue(name, Code, index, value); \
	}

DEFINE_FIND(Int8, int8, B_INT8_TYPE)
DEFINE_FIND(UInt8, uint8, B_UINT8_TYPE)
DEFINE_FIND(Int16, int16, B_INT16_TYPE)
DEFINE_FIND(UInt16, uint16, B_UINT16_TYPE)
DEFINE_FIND(Int32, int32, B_INT32_TYPE)
DEFINE_FIND(UInt32, uint32, B_UINT32_TYPE)
DEFINE_FIND(Int64, int64, B_INT64_TYPE)
DEFINE_FIND(UInt64, uint64, B_UINT64_TYPE)
DEFINE_FIND(Bool, bool, B_BOOL_TYPE)
DEFINE_FIND(Float, float, B_FLOAT_TYPE)
DEFINE_FIND(Double, double, B_DOUBLE_TYPE)
DEFINE_FIND(Pointer, void*, B_POINTER_TYPE)

#undef DEFINE_FIND

status_t
BMessage::FindMessenger(const char* name, BMessenger* messenger) const
{
	return FindMessenger(name, 0, messenger);
}

status_t
BMessage::FindMessenger(const char* name, int32 index, BMessenger* messenger) const
{
	if (messenger == nullptr)
		return B_BAD_VALUE;
	FlatMessenger flat;
	status_t status = _FindValue(name, B_MESSENGER_TYPE, index, &flat);
	if (status != B_OK)
		return status;
	messenger->fTeam = flat.team;
	messenger->fLooperToken = flat.looperToken;
	messenger->fHandlerToken = flat.handlerToken;
	return B_OK;
}

status_t
BMessage::FindRef(const char* name, entry_ref* ref) const
{
	return FindRef(name, 0, ref);
}

status_t
BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	const std::vector<uint8>* value;
	status_t status = _Find(name, B_REF_TYPE, index, &value);
	if (status != B_OK)
		return status;
	entry_ref found;
	status = UnflattenRef(*value, &found);
	if (status == B_OK)
		*ref = found;
	return status;
}

status_t
BMessage::FindMessage(const char* name, BMessage* message) const
{
	return FindMessage(name, 0, message);
}

status_t
BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
	if (message == nullptr)
		return B_BAD_VALUE;
	const std::vector<uint8>* value;
	status_t status = _Find(name, B_MESSAGE_TYPE, index, &value);
	if (status != B_OK)
		return status;
	return message->Unflatten(reinterpret_cast<const char*>(value->data()));
}

status_t
BMessage::FindData(const char* name, type_code type, const void** data,
	ssize_t* numBytes) const
{
	return FindData(name, type, 0, data, numBytes);
}

status_t
BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
	ssize_t* numBytes) const
{
	if (data == nullptr)
		return B_BAD_VALUE;
	const std::vector<uint8>* value;
	status_t status = _Find(name, type, index, &value);
	if (status != B_OK)
		return status;
	*data = value->data();
	if (numBytes != nullptr)
		*numBytes = static_cast<ssize_t>(value->size());
	return B_OK;
}

// #pragma mark - older finders and getters

BRect
BMessage::FindRect(const char* name, int32 index) const
{
	BRect rect;
	FindRect(name, index, &rect);
	return rect;
}

BPoint
BMessage::FindPoint(const char* name, int32 index) const
{
	BPoint point;
	FindPoint(name, index, &point);
	return point;
}

const char*
BMessage::FindString(const char* name, int32 index) const
{
	const char* string = nullptr;
	FindString(name, index, &string);
	return string;
}

#define DEFINE_FIND_VALUE(Name, Type) \
	Type BMessage::Find##Name(const char* name, int32 index) const \
	{ \
		Type value = Type(); \
		Find##Name(name, index, &value); \
		return value; \
	}

DEFINE_FIND_VALUE(Int8, int8)
DEFINE_FIND_VALUE(Int16, int16)
DEFINE_FIND_VALUE(Int32, int32)
DEFINE_FIND_VALUE(Int64, int64)
DEFINE_FIND_VALUE(Bool, bool)
DEFINE_FIND_VALUE(Float, float)
DEFINE_FIND_VALUE(Double, double)

#undef DEFINE_FIND_VALUE

BRect
BMessage::GetRect(const char* name, const BRect& defaultValue) const
{
	BRect value = defaultValue;
	FindRect(name, 0, &value);
	return value;
}

BPoint
BMessage::GetPoint(const char* name, const BPoint& defaultValue) const
{
	BPoint value = defaultValue;
	FindPoint(name, 0, &value);
	return value;
}

const char*
BMessage::GetString(const char* name, const char* defaultValue) const
{
	return GetString(name, 0, defaultValue);
}

const char*
BMessage::GetString(const char* name, int32 index, const char* defaultValue) const
{
	const char* value = defaultValue;
	FindString(name, index, &value);
	return value;
}

#define DEFINE_GET(Name, Type) \
	Type BMessage::Get##Name(const char* name, Type defaultValue) const \
	{ \
		Type value = defaultValue; \
		Find##Name(name, 0, &value); \
		return value; \
	}

DEFINE_GET(Int8, int8)
DEFINE_GET(Int16, int16)
DEFINE_GET(Int32, int32)
DEFINE_GET(UInt32, uint32)
DEFINE_GET(Int64, int64)
DEFINE_GET(Bool, bool)
DEFINE_GET(Float, float)
DEFINE_GET(Double, double)

#undef DEFINE_GET

int32
BMessage::GetInt32(const char* name, int32 index, int32 defaultValue) const
{
	int32 value = defaultValue;
	FindInt32(name, index, &value);
	return value;
}

int64
BMessage::GetInt64(const char* name, int32 index, int64 defaultValue) const
{
	int64 value = defaultValue;
	FindInt64(name, index, &value);
	return value;
}

bool
BMessage::GetBool(const char* name, int32 index, bool defaultValue) const
{
	bool value = defaultValue;
	FindBool(name, index, &value);
	return value;
}

void*
BMessage::GetPointer(const char* name, const void* defaultValue) const
{
	void* value = const_cast<void*>(defaultValue);
	FindPointer(name, 0, &value);
	return value;
}

// #pragma mark - replacing

#define DEFINE_REPLACE(Name, Type, Code) \
	status_t BMessage::Replace##Name(const char* name, Type value) \
	{ \
		return Replace##Name(name, 0, value); \
	} \
	status_t BMessage::Replace##Name(const char* name, int32 index, Type value) \
	{ \
		return _Replace(name, Code, index, &value, sizeof(value)); \
	}

DEFINE_REPLACE(Rect, BRect, B_RECT_TYPE)
DEFINE_REPLACE(Point, BPoint, B_POINT_TYPE)
DEFINE_REPLACE(Int8, int8, B_INT8_TYPE)
DEFINE_REPLACE(Int16, int16, B_INT16_TYPE)
DEFINE_REPLACE(Int32, int32, B_INT32_TYPE)
DEFINE_REPLACE(UInt32, uint32, B_UINT32_TYPE)
DEFINE_REPLACE(Int64, int64, B_INT64_TYPE)
DEFINE_REPLACE(Bool, bool, B_BOOL_TYPE)
DEFINE_REPLACE(Float, float, B_FLOAT_TYPE)
DEFINE_REPLACE(Double, double, B_DOUBLE_TYPE)
DEFINE_REPLACE(Pointer, const void*, B_POINTER_TYPE)

#undef DEFINE_REPLACE

status_t
BMessage::ReplaceString(const char* name, const char* string)
{
	return ReplaceString(name, 0, string);
}

status_t
BMessage::ReplaceString(const char* name, int32 index, const char* string)
{
	if (string == nullptr)
		return B_BAD_VALUE;
	return _Replace(name, B_STRING_TYPE, index, string, strlen(string) + 1);
}

status_t
BMessage::ReplaceMessenger(const char* name, BMessenger messenger)
{
	return ReplaceMessenger(name, 0, messenger);
}

status_t
BMessage::ReplaceMessenger(const char* name, int32 index, BMessenger messenger)
{
	FlatMessenger flat{messenger.fTeam, messenger.fLooperToken, messenger.fHandlerToken};
	return _Replace(name, B_MESSENGER_TYPE, index, &flat, sizeof(flat));
}

status_t
BMessage::ReplaceRef(const char* name, const entry_ref* ref)
{
	return ReplaceRef(name, 0, ref);
}

status_t
BMessage::ReplaceRef(const char* name, int32 index, const entry_ref* ref)
{
	if (ref == nullptr)
		return B_BAD_VALUE;
	std::vector<uint8> bytes = FlattenRef(*ref);
	return _Replace(name, B_REF_TYPE, index, bytes.data(), bytes.size());
}

status_t
BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
	return ReplaceMessage(name, 0, message);
}

status_t
BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	std::vector<uint8> bytes(message->FlattenedSize());
	message->Flatten(reinterpret_cast<char*>(bytes.data()), static_cast<ssize_t>(bytes.size()));
	return _Replace(name, B_MESSAGE_TYPE, index, bytes.data(), bytes.size());
}

status_t
BMessage::ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes)
{
	return ReplaceData(name, type, 0, data, numBytes);
}

status_t
BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
	ssize_t numBytes)
{
	if (numBytes < 0 || type == B_ANY_TYPE)
		return B_BAD_VALUE;
	return _Replace(name, type, index, data, static_cast<size_t>(numBytes));
}

status_t
BMessage::SetString(const char* name, const char* string)
{
	if (HasString(name))
		return ReplaceString(name, string);
	return AddString(name, string);
}

status_t
BMessage::SetInt32(const char* name, int32 value)
{
	return _SetValue(name, B_INT32_TYPE, value);
}

status_t
BMessage::SetInt64(const char* name, int64 value)
{
	return _SetValue(name, B_INT64_TYPE, value);
}

status_t
BMessage::SetBool(const char* name, bool value)
{
	return _SetValue(name, B_BOOL_TYPE, value);
}

status_t
BMessage::SetPointer(const char* name, const void* pointer)
{
	return _SetValue(name, B_POINTER_TYPE, pointer);
}

// #pragma mark - presence

bool
BMessage::HasData(const char* name, type_code type, int32 index) const
{
	const std::vector<uint8>* value;
	return _Find(name, type, index, &value) == B_OK;
}

#define DEFINE_HAS(Name, Code) \
	bool BMessage::Has##Name(const char* name, int32 index) const \
	{ \
		return HasData(name, Code, index); \
	}

DEFINE_HAS(Rect, B_RECT_TYPE)
DEFINE_HAS(Point, B_POINT_TYPE)
DEFINE_HAS(String, B_STRING_TYPE)
DEFINE_HAS(Int8, B_INT8_TYPE)
DEFINE_HAS(Int16, B_INT16_TYPE)
DEFINE_HAS(Int32, B_INT32_TYPE)
DEFINE_HAS(Int64, B_INT64_TYPE)
DEFINE_HAS(Bool, B_BOOL_TYPE)
DEFINE_HAS(Float, B_FLOAT_TYPE)
DEFINE_HAS(Double, B_DOUBLE_TYPE)
DEFINE_HAS(Pointer, B_POINTER_TYPE)
DEFINE_HAS(Messenger, B_MESSENGER_TYPE)
DEFINE_HAS(Ref, B_REF_TYPE)
DEFINE_HAS(Message, B_MESSAGE_TYPE)

#undef DEFINE_HAS

// #pragma mark - replies

bool
BMessage::IsSourceWaiting() const
{
	return fReplySlot && !fReplySlot->IsAnswered();
}

BMessenger
BMessage::ReturnAddress() const
{
	if (fReplyTo.fLooperToken != kNoToken)
		return fReplyTo;
	return be_app_messenger;
}

status_t
BMessage::SendReply(uint32 command, BHandler* replyTo)
{
	BMessage reply(command);
	return SendReply(&reply, replyTo);
}

status_t
BMessage::SendReply(BMessage* reply, BHandler* replyTo, bigtime_t timeout)
{
	BMessenger replyMessenger;
	if (replyTo != nullptr)
		replyMessenger.SetTo(replyTo);
	return SendReply(reply, replyMessenger, timeout);
}

status_t
BMessage::SendReply(BMessage* reply, BMessenger replyTo, bigtime_t timeout)
{
	if (reply == nullptr)
		return B_BAD_VALUE;
	return _ReplyTo(reply, replyTo, timeout);
}

status_t
BMessage::SendReply(uint32 command, BMessage* replyToReply)
{
	BMessage reply(command);
	return SendReply(&reply, replyToReply);
}

status_t
BMessage::SendReply(BMessage* reply, BMessage* replyToReply, bigtime_t sendTimeout,
	bigtime_t replyTimeout)
{
	if (reply == nullptr || replyToReply == nullptr)
		return B_BAD_VALUE;
	if (!fDelivered)
		return B_BAD_REPLY;
	if (fReplySlot) {
		// A waiting sender takes the reply and cannot answer it in turn.
		status_t status = _ReplyTo(reply, BMessenger(), sendTimeout);
		if (status == B_OK)
			replyToReply->what = B_NO_REPLY;
		return status;
	}
	BMessage answer(*reply);
	answer.fIsReply = true;
	answer.fPrevious.reset(new BMessage(*this));
	return ReturnAddress().SendMessage(&answer, replyToReply, sendTimeout, replyTimeout);
}

status_t
BMessage::_ReplyTo(BMessage* reply, const BMessenger& replyTo, bigtime_t timeout)
{
	if (!fDelivered)
		return B_BAD_REPLY;

	BMessage answer(*reply);
	answer.fIsReply = true;
	answer.fPrevious.reset(new BMessage(*this));
	answer.fReplyTo = replyTo;
	if (fReplySlot)
		return fReplySlot->Answer(answer);

	BMessenger target = ReturnAddress();
	if (target.fLooperToken == kNoToken)
		return B_BAD_PORT_ID;
	BMessage* copy = new BMessage(answer);
	copy->fTargetToken = target.fHandlerToken;
	return target._Deliver(copy, timeout);
}

// #pragma mark - flattening

// The flat form: a header (magic, total size, what, field count), then per
// field its type, fixed-size flag, name length and name, value count, and
// each value as its size and bytes. Host byte order: flat messages never
// leave the host.

namespace {

const uint32 kFlatMagic = 'KmF1';
const size_t kFlatHeaderSize = 16;

void
PutUInt32(std::vector<uint8>& out, uint32 value)
{
	// Grown, then copied into: an insert of four bytes at the end trips a
	// false overflow warning of the optimising compiler.
	size_t at = out.size();
	out.resize(at + sizeof(value));
	memcpy(out.data() + at, &value, sizeof(value));
}

class FlatReader {
public:
	FlatReader(const uint8* data, size_t size) : fData(data), fSize(size), fOffset(0) {}

	bool ReadUInt32(uint32* value)
	{
		if (fSize - fOffset < 4)
			return false;
		memcpy(value, fData + fOffset, 4);
		fOffset += 4;
		return true;
	}

	bool ReadBytes(size_t count, const uint8** bytes)
	{
		if (fSize - fOffset < count)
			return false;
		*bytes = fData + fOffset;
		fOffset += count;
		return true;
	}

	bool AtEnd() const { return fOffset == fSize; }

private:
	const uint8* fData;
	size_t fSize;
	size_t fOffset;
};

std::vector<uint8>
FlattenToBytes(uint32 what, const auto& fields)
{
	std::vector<uint8> out;
	PutUInt32(out, kFlatMagic);
	PutUInt32(out, 0);
	PutUInt32(out, what);
	PutUInt32(out, static_cast<uint32>(fields.size()));
	for (const auto& field : fields) {
		PutUInt32(out, field.type);
		out.push_back(field.fixedSize ? 1 : 0);
		PutUInt32(out, static_cast<uint32>(field.name.size()));
		out.insert(out.end(), field.name.begin(), field.name.end());
		PutUInt32(out, static_cast<uint32>(field.values.size()));
		for (const auto& value : field.values) {
			PutUInt32(out, static_cast<uint32>(value.size()));
			out.insert(out.end(), value.begin(), value.end());
		}
	}
	uint32 total = static_cast<uint32>(out.size());
	memcpy(out.data() + 4, &total, 4);
	return out;
}

} // namespace

ssize_t
BMessage::FlattenedSize() const
{
	return static_cast<ssize_t>(FlattenToBytes(what, fFields).size());
}

status_t
BMessage::Flatten(char* buffer, ssize_t size) const
{
	if (buffer == nullptr || size < 0)
		return B_BAD_VALUE;
	std::vector<uint8> bytes = FlattenToBytes(what, fFields);
	if (static_cast<size_t>(size) < bytes.size())
		return B_BAD_VALUE;
	memcpy(buffer, bytes.data(), bytes.size());
	return B_OK;
}

status_t
BMessage::Flatten(BDataIO* stream, ssize_t* size) const
{
	if (stream == nullptr)
		return B_BAD_VALUE;
	std::vector<uint8> bytes = FlattenToBytes(what, fFields);
	ssize_t written = stream->Write(bytes.data(), bytes.size());
	if (written < 0)
		return static_cast<status_t>(written);
	if (static_cast<size_t>(written) != bytes.size())
		return B_IO_ERROR;
	if (size != nullptr)
		*size = written;
	return B_OK;
}

status_t
BMessage::Unflatten(const char* flatBuffer)
{
	if (flatBuffer == nullptr)
		return B_BAD_VALUE;
	uint32 magic;
	uint32 total;
	memcpy(&magic, flatBuffer, 4);
	if (magic != kFlatMagic)
		return B_NOT_A_MESSAGE;
	memcpy(&total, flatBuffer + 4, 4);
	if (total < kFlatHeaderSize)
		return B_BAD_DATA;

	FlatReader reader(reinterpret_cast<const uint8*>(flatBuffer) + 8, total - 8);
	uint32 command;
	uint32 fieldCount;
	if (!reader.ReadUInt32(&command) || !reader.ReadUInt32(&fieldCount))
		return B_BAD_DATA;

	std::vector<Field> fields;
	for (uint32 i = 0; i < fieldCount; i++) {
		uint32 type;
		uint32 nameLength;
		const uint8* fixedFlag;
		const uint8* name;
		uint32 valueCount;
		if (!reader.ReadUInt32(&type) || !reader.ReadBytes(1, &fixedFlag)
			|| !reader.ReadUInt32(&nameLength) || !reader.ReadBytes(nameLength, &name)
			|| !reader.ReadUInt32(&valueCount)) {
			return B_BAD_DATA;
		}
		Field field{std::string(reinterpret_cast<const char*>(name), nameLength), type,
			*fixedFlag != 0, {}};
		for (uint32 v = 0; v < valueCount; v++) {
			uint32 valueSize;
			const uint8* value;
			if (!reader.ReadUInt32(&valueSize) || !reader.ReadBytes(valueSize, &value))
				return B_BAD_DATA;
			field.values.emplace_back(value, value + valueSize);
		}
		fields.push_back(std::move(field));
	}
	if (!reader.AtEnd())
		return B_BAD_DATA;

	what = command;
	fFields = std::move(fields);
	return B_OK;
}

status_t
BMessage::Unflatten(BDataIO* stream)
{
	if (stream == nullptr)
		return B_BAD_VALUE;
	char header[8];
	if (stream->Read(header, sizeof(header)) != static_cast<ssize_t>(sizeof(header)))
		return B_BAD_DATA;
	uint32 magic;
	uint32 total;
	memcpy(&magic, header, 4);
	memcpy(&total, header + 4, 4);
	if (magic != kFlatMagic)
		return B_NOT_A_MESSAGE;
	if (total < kFlatHeaderSize)
		return B_BAD_DATA;
	std::vector<char> buffer(total);
	memcpy(buffer.data(), header, sizeof(header));
	size_t rest = total - sizeof(header);
	if (stream->Read(buffer.data() + sizeof(header), rest) != static_cast<ssize_t>(rest))
		return B_BAD_DATA;
	return Unflatten(buffer.data());
}

// #pragma mark - printing

namespace {

void
PrintCode(uint32 code)
{
	char text[5] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code), '\0'};
	bool printable = true;
	for (int i = 0; i < 4; i++)
		printable = printable && text[i] >= 0x20 && text[i] < 0x7f;
	if (printable)
		printf("'%s'", text);
	else
		printf("0x%08x", code);
}

void
PrintValue(type_code type, const std::vector<uint8>& value)
{
	auto as = [&value](auto sample) {
		decltype(sample) result{};
		if (value.size() == sizeof(result))
			memcpy(&result, value.data(), sizeof(result));
		return result;
	};
	switch (type) {
		case B_STRING_TYPE:
			printf("string(\"%.*s\", %zu bytes)", static_cast<int>(value.size()) - 1,
				reinterpret_cast<const char*>(value.data()), value.size());
			break;
		case B_INT8_TYPE:
			printf("int8(%d)", as(int8()));
			break;
		case B_INT16_TYPE:
			printf("int16(%d)", as(int16()));
			break;
		case B_INT32_TYPE:
			printf("int32(%d or 0x%x)", as(int32()), as(int32()));
			break;
		case B_INT64_TYPE:
			printf("int64(%lld)", static_cast<long long>(as(int64())));
			break;
		case B_BOOL_TYPE:
			printf("bool(%s)", as(bool()) ? "true" : "false");
			break;
		case B_FLOAT_TYPE:
			printf("float(%.4f)", as(float()));
			break;
		case B_DOUBLE_TYPE:
			printf("double(%.8f)", as(double()));
			break;
		case B_POINTER_TYPE:
			printf("pointer(%p)", as(static_cast<void*>(nullptr)));
			break;
		case B_RECT_TYPE: {
			BRect rect = as(BRect());
			printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)", rect.left, rect.top,
				rect.right, rect.bottom);
			break;
		}
		case B_POINT_TYPE: {
			BPoint point = as(BPoint());
			printf("BPoint(x:%.1f, y:%.1f)", point.x, point.y);
			break;
		}
		case B_REF_TYPE: {
			entry_ref ref;
			if (UnflattenRef(value, &ref) == B_OK) {
				printf("entry_ref(device=%lld, directory=%lld, name=\"%s\")",
					static_cast<long long>(ref.device),
					static_cast<long long>(ref.directory), ref.name ? ref.name : "");
			}
			break;
		}
		case B_MESSAGE_TYPE: {
			BMessage nested;
			if (nested.Unflatten(reinterpret_cast<const char*>(value.data())) == B_OK) {
				printf("message ");
				PrintCode(nested.what);
				printf(" with %d fields", nested.CountNames(B_ANY_TYPE));
			}
			break;
		}
		default:
			PrintCode(type);
			printf(", %zu bytes", value.size());
			break;
	}
}

} // namespace

void
BMessage::PrintToStream() const
{
	printf("BMessage(");
	PrintCode(what);
	printf(") {\n");
	for (const Field& field : fFields) {
		for (size_t i = 0; i < field.values.size(); i++) {
			printf("        %s", field.name.c_str());
			if (field.values.size() > 1)
				printf("[%zu]", i);
			printf(" = ");
			PrintValue(field.type, field.values[i]);
			printf("\n");
		}
	}
	printf("}\n");
	fflush(stdout);
}

#include "PCodec.h"

PCodec::PCodec()
{
}

PCodec::~PCodec()
{
}

status_t
PCodec::BeginEncode()
{
	return B_OK;
}

status_t
PCodec::EndEncode()
{
	return B_OK;
}

status_t
PCodec::BeginDecode()
{
	return B_OK;
}

status_t
PCodec::EndDecode()
{
	return B_OK;
}

bool
PCodec::LeaveCheck()
{
	return false;
}

bool
PCodec::LeftCheckEnded(size_t*)
{
	return false;
}

void*
PCodec::Info()
{
	return NULL;
}

int32
PCodec::ID()
{
	return kIdentityCodecID;
}

int32
PCodec::EncodeBytes(BPositionIO* out, int32* length, uint8* data, bool)
{
	if (*length <= 0)
		return 0;
	return static_cast<int32>(out->Write(data, *length));
}

int32
PCodec::DecodeBytes(BPositionIO* out, int32* length, uint8* data, bool)
{
	if (*length <= 0)
		return 0;
	return static_cast<int32>(out->Write(data, *length));
}

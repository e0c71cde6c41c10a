#include "PackageSignature.h"

#include "PackData.h"

#include <Errors.h>

#include <sodium.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kPrehashedAlgorithm[2] = {'E', 'D'};
// A signature record has six members; far more is not one.
const int32 kMostMembers = 64;
const size_t kDigestChunk = 1024 * 1024;


// A buffer member of exactly `size` bytes.
status_t
ReadExactBuffer(PackData& reader, BPositionIO* file, const record_header& header,
	uint8* out, uint32 size)
{
	uint32 length = 0;
	if (header.type != kBufferRecord || reader.ReadBuf(file, reinterpret_cast<char*>(out), size, &length) != B_OK
		|| length != size)
		return B_BAD_DATA;
	return B_OK;
}

} // namespace


PackageSignature::PackageSignature()
	:
	fSignature{},
	fCommentSignature{}
{
}


status_t
PackageSignature::ReadAt(BPositionIO* file, off_t position)
{
	PackData reader;
	if (file->Seek(position, SEEK_SET) != position)
		return B_ENTRY_NOT_FOUND;
	record_header header;
	if (reader.ReadRecordHeader(file, &header) != B_OK || header.tag != kRecordTag)
		return B_ENTRY_NOT_FOUND;
	if (header.type != kGroupRecord)
		return B_BAD_DATA;

	uint8 algorithm[sizeof(kPrehashedAlgorithm)] = {};
	uint8 keyId[PublicKey::kKeyIdSize];
	uint8 key[PublicKey::kKeySize];
	uint32 seen = 0;
	for (int32 members = 0; members < kMostMembers; members++) {
		if (reader.ReadRecordHeader(file, &header) != B_OK)
			return B_BAD_DATA;
		status_t status = B_OK;
		switch (header.tag) {
			case 0:
				if (header.type != kEndRecord)
					return B_BAD_DATA;
				if (seen != 0x3f || memcmp(algorithm, kPrehashedAlgorithm, 2) != 0)
					return B_BAD_DATA;
				fSigner.SetTo(keyId, key);
				return B_OK;
			case kAlgorithmTag:
				status = ReadExactBuffer(reader, file, header, algorithm, sizeof(algorithm));
				seen |= 0x01;
				break;
			case kKeyIdTag:
				status = ReadExactBuffer(reader, file, header, keyId, sizeof(keyId));
				seen |= 0x02;
				break;
			case kPublicKeyTag:
				status = ReadExactBuffer(reader, file, header, key, sizeof(key));
				seen |= 0x04;
				break;
			case kSignatureTag:
				status = ReadExactBuffer(reader, file, header, fSignature.data(), fSignature.size());
				seen |= 0x08;
				break;
			case kTrustedCommentTag:
			{
				char* text = NULL;
				status = header.type == kStringRecord
					? reader.ReadString(file, &text, kMostCommentBytes + 1) : B_BAD_DATA;
				if (status == B_OK)
					fTrustedComment = text;
				free(text);
				seen |= 0x10;
				break;
			}
			case kCommentSignatureTag:
				status = ReadExactBuffer(reader, file, header, fCommentSignature.data(),
					fCommentSignature.size());
				seen |= 0x20;
				break;
			default:
				status = reader.SkipData(file, &header);
				break;
		}
		if (status != B_OK)
			return B_BAD_DATA;
	}
	return B_BAD_DATA;
}


status_t
PackageSignature::Write(BPositionIO* file) const
{
	PackData writer;
	status_t status;
	if ((status = writer.WriteRecordHeader(file, kRecordTag, kGroupRecord, 0)) != B_OK
		|| (status = writer.WriteBuf(file, kPrehashedAlgorithm, sizeof(kPrehashedAlgorithm),
			kAlgorithmTag)) != B_OK
		|| (status = writer.WriteBuf(file, fSigner.KeyId(), PublicKey::kKeyIdSize,
			kKeyIdTag)) != B_OK
		|| (status = writer.WriteBuf(file, fSigner.Key(), PublicKey::kKeySize,
			kPublicKeyTag)) != B_OK
		|| (status = writer.WriteBuf(file, fSignature.data(), fSignature.size(),
			kSignatureTag)) != B_OK
		|| (status = writer.WriteString(file, fTrustedComment.c_str(),
			kTrustedCommentTag)) != B_OK
		|| (status = writer.WriteBuf(file, fCommentSignature.data(),
			fCommentSignature.size(), kCommentSignatureTag)) != B_OK)
		return status;
	return writer.WriteEndHeader(file);
}


status_t
PackageSignature::DigestOf(BPositionIO* file, off_t start, off_t end, digest* out,
	const std::atomic<bool>* stop)
{
	if (sodium_init() < 0)
		return B_ERROR;
	crypto_generichash_state state;
	crypto_generichash_init(&state, NULL, 0, kDigestSize);
	std::vector<uint8> buffer(kDigestChunk);
	for (off_t position = start; position < end;) {
		if (stop != NULL && stop->load(std::memory_order_relaxed))
			return B_CANCELED;
		size_t wanted = (size_t)std::min<off_t>(end - position, buffer.size());
		ssize_t read = file->ReadAt(position, buffer.data(), wanted);
		if (read < 0)
			return (status_t)read;
		if (read == 0)
			return B_BAD_DATA;
		crypto_generichash_update(&state, buffer.data(), read);
		position += read;
	}
	crypto_generichash_final(&state, out->data(), kDigestSize);
	return B_OK;
}


std::string
PackageSignature::CommentMessage() const
{
	return std::string(reinterpret_cast<const char*>(fSignature.data()), fSignature.size())
		+ fTrustedComment;
}


bool
PackageSignature::Matches(const digest& streamDigest) const
{
	std::string message = CommentMessage();
	return fSigner.Verifies(streamDigest.data(), streamDigest.size(), fSignature.data())
		&& fSigner.Verifies(reinterpret_cast<const uint8*>(message.data()), message.size(),
			fCommentSignature.data());
}

#include "PublicKey.h"

#include "KeyFileText.h"

#include <Errors.h>

#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kAlgorithm[2] = {'E', 'd'};
const size_t kFileBytes = sizeof(kAlgorithm) + PublicKey::kKeyIdSize + PublicKey::kKeySize;

} // namespace


PublicKey::PublicKey()
	:
	fKeyId{},
	fKey{},
	fSet(false)
{
}


void
PublicKey::SetTo(const uint8* keyId, const uint8* key)
{
	memcpy(fKeyId.data(), keyId, kKeyIdSize);
	memcpy(fKey.data(), key, kKeySize);
	fSet = true;
}


status_t
PublicKey::SetToText(const std::string& text, std::string* error)
{
	std::vector<uint8> bytes;
	status_t status = KeyFileText::Decode(text, kFileBytes, &bytes, error);
	if (status != B_OK)
		return status;
	if (memcmp(bytes.data(), kAlgorithm, sizeof(kAlgorithm)) != 0) {
		*error = "not an Ed25519 public key";
		return B_BAD_DATA;
	}
	SetTo(bytes.data() + sizeof(kAlgorithm), bytes.data() + sizeof(kAlgorithm) + kKeyIdSize);
	return B_OK;
}


status_t
PublicKey::SetToFile(const char* hostPath, std::string* error)
{
	std::string text;
	status_t status = KeyFileText::ReadHostFile(hostPath, &text, error);
	if (status == B_OK)
		status = SetToText(text, error);
	if (status != B_OK)
		*error = std::string(hostPath) + ": " + *error;
	return status;
}


std::string
PublicKey::FileText() const
{
	std::vector<uint8> bytes(kAlgorithm, kAlgorithm + sizeof(kAlgorithm));
	bytes.insert(bytes.end(), fKeyId.begin(), fKeyId.end());
	bytes.insert(bytes.end(), fKey.begin(), fKey.end());
	return KeyFileText::Encode("kestrovan public key " + KeyIdText(), bytes.data(),
		bytes.size());
}


std::string
PublicKey::KeyIdText() const
{
	std::string text;
	for (size_t i = kKeyIdSize; i-- > 0;) {
		char digits[3];
		snprintf(digits, sizeof(digits), "%02X", fKeyId[i]);
		text += digits;
	}
	return text;
}


bool
PublicKey::Verifies(const uint8* message, size_t length, const uint8* signature) const
{
	if (!fSet || sodium_init() < 0)
		return false;
	return crypto_sign_verify_detached(signature, message, length, fKey.data()) == 0;
}


bool
PublicKey::operator==(const PublicKey& other) const
{
	return fSet == other.fSet && fKeyId == other.fKeyId && fKey == other.fKey;
}

#include "SecretKey.h"

#include "KeyFileText.h"

#include <Errors.h>

#include <sodium.h>

#include <cstring>
#include <vector>

namespace {

const char kAlgorithm[2] = {'E', 'd'};
const char kScrypt[2] = {'S', 'c'};
const char kNoDerivation[2] = {0, 0};
const char kChecksumAlgorithm[2] = {'B', '2'};
const size_t kSaltSize = 32;
const size_t kChecksumSize = 32;

// Offsets in the file's bytes.
const size_t kDerivationAt = 2;
const size_t kChecksumAlgorithmAt = 4;
const size_t kSaltAt = 6;
const size_t kOpsLimitAt = kSaltAt + kSaltSize;
const size_t kMemLimitAt = kOpsLimitAt + 8;
const size_t kKeyIdAt = kMemLimitAt + 8;
const size_t kSecretAt = kKeyIdAt + PublicKey::kKeyIdSize;
const size_t kChecksumAt = kSecretAt + SecretKey::kKeySize;
const size_t kFileBytes = kChecksumAt + kChecksumSize;
// What the XOR stream covers: key ID, secret key, checksum.
const size_t kEncryptedBytes = kFileBytes - kKeyIdAt;


uint64
ReadLittleEndian64(const uint8* bytes)
{
	uint64 value = 0;
	for (int i = 7; i >= 0; i--)
		value = (value << 8) | bytes[i];
	return value;
}


void
WriteLittleEndian64(uint8* bytes, uint64 value)
{
	for (int i = 0; i < 8; i++)
		bytes[i] = (uint8)(value >> (8 * i));
}


// BLAKE2b-256 of the algorithm, the key ID and the secret key.
void
Checksum(const uint8* keyId, const uint8* secret, uint8* out)
{
	crypto_generichash_state state;
	crypto_generichash_init(&state, nullptr, 0, kChecksumSize);
	crypto_generichash_update(&state, reinterpret_cast<const uint8*>(kAlgorithm),
		sizeof(kAlgorithm));
	crypto_generichash_update(&state, keyId, PublicKey::kKeyIdSize);
	crypto_generichash_update(&state, secret, SecretKey::kKeySize);
	crypto_generichash_final(&state, out, kChecksumSize);
}


// XORs the key ID, secret key and checksum with the password's stream.
bool
ApplyPasswordStream(std::vector<uint8>& bytes, const std::string& password)
{
	std::vector<uint8> stream(kEncryptedBytes);
	if (crypto_pwhash_scryptsalsa208sha256(stream.data(), stream.size(), password.data(),
			password.size(), bytes.data() + kSaltAt, ReadLittleEndian64(bytes.data()
				+ kOpsLimitAt), ReadLittleEndian64(bytes.data() + kMemLimitAt)) != 0)
		return false;
	for (size_t i = 0; i < kEncryptedBytes; i++)
		bytes[kKeyIdAt + i] ^= stream[i];
	sodium_memzero(stream.data(), stream.size());
	return true;
}

} // namespace


SecretKey::SecretKey()
	:
	fKey{}
{
}


SecretKey::~SecretKey()
{
	sodium_memzero(fKey.data(), fKey.size());
}


status_t
SecretKey::Generate()
{
	if (sodium_init() < 0)
		return B_ERROR;
	uint8 publicKey[PublicKey::kKeySize];
	uint8 keyId[PublicKey::kKeyIdSize];
	crypto_sign_keypair(publicKey, fKey.data());
	randombytes_buf(keyId, sizeof(keyId));
	fPublic.SetTo(keyId, publicKey);
	return B_OK;
}


status_t
SecretKey::SetToFile(const char* hostPath, const password_source& askPassword,
	std::string* error)
{
	std::string text;
	status_t status = KeyFileText::ReadHostFile(hostPath, &text, error);
	if (status == B_OK)
		status = SetToText(text, askPassword, error);
	if (status != B_OK)
		*error = std::string(hostPath) + ": " + *error;
	return status;
}


status_t
SecretKey::SetToText(const std::string& text, const password_source& askPassword,
	std::string* error)
{
	if (sodium_init() < 0)
		return B_ERROR;
	std::vector<uint8> bytes;
	status_t status = KeyFileText::Decode(text, kFileBytes, &bytes, error);
	if (status != B_OK)
		return status;
	if (memcmp(bytes.data(), kAlgorithm, 2) != 0
		|| memcmp(bytes.data() + kChecksumAlgorithmAt, kChecksumAlgorithm, 2) != 0) {
		*error = "not an Ed25519 secret key";
		return B_BAD_DATA;
	}
	bool protectedKey = memcmp(bytes.data() + kDerivationAt, kScrypt, 2) == 0;
	if (!protectedKey && memcmp(bytes.data() + kDerivationAt, kNoDerivation, 2) != 0) {
		*error = "its password protection is of an unknown kind";
		return B_BAD_DATA;
	}
	if (protectedKey) {
		std::string password;
		if (!askPassword || !askPassword(&password, error))
			return B_NOT_ALLOWED;
		bool derived = ApplyPasswordStream(bytes, password);
		sodium_memzero(password.data(), password.size());
		if (!derived) {
			*error = "the password cannot be applied (not enough memory?)";
			return B_NO_MEMORY;
		}
	}
	uint8 checksum[kChecksumSize];
	Checksum(bytes.data() + kKeyIdAt, bytes.data() + kSecretAt, checksum);
	const uint8 noChecksum[kChecksumSize] = {};
	// Unprotected keys may come without a checksum.
	bool unchecked = !protectedKey
		&& memcmp(bytes.data() + kChecksumAt, noChecksum, kChecksumSize) == 0;
	if (!unchecked && sodium_memcmp(checksum, bytes.data() + kChecksumAt, kChecksumSize) != 0) {
		sodium_memzero(bytes.data(), bytes.size());
		*error = protectedKey ? "wrong password" : "the key's checksum does not match";
		return B_PERMISSION_DENIED;
	}
	memcpy(fKey.data(), bytes.data() + kSecretAt, kKeySize);
	// An Ed25519 secret key ends with its public key.
	fPublic.SetTo(bytes.data() + kKeyIdAt, fKey.data() + kKeySize - PublicKey::kKeySize);
	sodium_memzero(bytes.data(), bytes.size());
	return B_OK;
}


std::string
SecretKey::FileText(const std::string& password) const
{
	std::vector<uint8> bytes(kFileBytes, 0);
	memcpy(bytes.data(), kAlgorithm, 2);
	memcpy(bytes.data() + kDerivationAt, password.empty() ? kNoDerivation : kScrypt, 2);
	memcpy(bytes.data() + kChecksumAlgorithmAt, kChecksumAlgorithm, 2);
	memcpy(bytes.data() + kKeyIdAt, fPublic.KeyId(), PublicKey::kKeyIdSize);
	memcpy(bytes.data() + kSecretAt, fKey.data(), kKeySize);
	Checksum(fPublic.KeyId(), fKey.data(), bytes.data() + kChecksumAt);
	if (!password.empty()) {
		randombytes_buf(bytes.data() + kSaltAt, kSaltSize);
		WriteLittleEndian64(bytes.data() + kOpsLimitAt,
			crypto_pwhash_scryptsalsa208sha256_OPSLIMIT_SENSITIVE);
		WriteLittleEndian64(bytes.data() + kMemLimitAt,
			crypto_pwhash_scryptsalsa208sha256_MEMLIMIT_SENSITIVE);
		ApplyPasswordStream(bytes, password);
	}
	std::string text = KeyFileText::Encode(password.empty() ? "kestrovan secret key"
		: "kestrovan encrypted secret key", bytes.data(), bytes.size());
	sodium_memzero(bytes.data(), bytes.size());
	return text;
}


std::array<uint8, PublicKey::kSignatureSize>
SecretKey::Sign(const uint8* message, size_t length) const
{
	std::array<uint8, PublicKey::kSignatureSize> signature{};
	crypto_sign_detached(signature.data(), nullptr, message, length, fKey.data());
	return signature;
}

#ifndef _PUBLIC_KEY_H
#define _PUBLIC_KEY_H

// An Ed25519 public key with its key ID, in the format of the common
// command-line signer's public key files: the algorithm "Ed", the 8-byte
// key ID, then the 32-byte key, in base64 under an untrusted comment.

#include <SupportDefs.h>

#include <array>
#include <string>

class PublicKey {
public:
	static const size_t kKeyIdSize = 8;
	static const size_t kKeySize = 32;
	static const size_t kSignatureSize = 64;

	PublicKey();

	void SetTo(const uint8* keyId, const uint8* key);
	// The text of a public key file, or its base64 line alone.
	status_t SetToText(const std::string& text, std::string* error);
	status_t SetToFile(const char* hostPath, std::string* error);

	// A public key file's text.
	std::string FileText() const;
	// The key ID as the signer shows it: 16 hexadecimal digits, the bytes
	// of the stored little-endian number from the last to the first.
	std::string KeyIdText() const;
	const uint8* KeyId() const { return fKeyId.data(); }
	const uint8* Key() const { return fKey.data(); }
	bool IsSet() const { return fSet; }

	// Whether `signature` is this key's Ed25519 signature of the message.
	bool Verifies(const uint8* message, size_t length, const uint8* signature) const;

	bool operator==(const PublicKey& other) const;

private:
	std::array<uint8, kKeyIdSize> fKeyId;
	std::array<uint8, kKeySize> fKey;
	bool fSet;
};

#endif // _PUBLIC_KEY_H

#ifndef _SECRET_KEY_H
#define _SECRET_KEY_H

// An Ed25519 secret key in the secret key file format of the common
// command-line signer: the algorithm "Ed", the key derivation ("Sc" for a
// password-protected key, two zero bytes for none), the checksum algorithm
// "B2", the scrypt salt and limits, then the key ID, the secret key and a
// BLAKE2b-256 checksum, the last three encrypted by XOR with the scrypt
// stream of the password when the key is protected.

#include "PublicKey.h"

#include <SupportDefs.h>

#include <array>
#include <functional>
#include <string>

class SecretKey {
public:
	static const size_t kKeySize = 64;
	// Asked for the password of a protected key; false when there is none
	// to give (the reason in `error`).
	typedef std::function<bool(std::string* password, std::string* error)> password_source;

	SecretKey();
	~SecretKey();

	// A new key pair with a random key ID.
	status_t Generate();
	status_t SetToFile(const char* hostPath, const password_source& askPassword,
		std::string* error);
	status_t SetToText(const std::string& text, const password_source& askPassword,
		std::string* error);

	// The file's text; protected by `password` unless it is empty.
	std::string FileText(const std::string& password) const;
	const PublicKey& Public() const { return fPublic; }

	// The Ed25519 signature of the message.
	std::array<uint8, PublicKey::kSignatureSize> Sign(const uint8* message,
		size_t length) const;

private:
	SecretKey(const SecretKey&) = delete;
	SecretKey& operator=(const SecretKey&) = delete;

	std::array<uint8, kKeySize> fKey;
	PublicKey fPublic;
};

#endif // _SECRET_KEY_H

// Signing packages with kestrovan-pkg: keys in the common signer's formats
// (made here and by that signer itself, with and without a password),
// signatures that hold for every byte of the stream and nothing else,
// readers that know nothing of signatures reading a signed package as the
// unsigned one, and a signature record that is damaged or crafted.

#include "ToolFixture.h"

#include "HostFile.h"
#include "KeyFileText.h"
#include "PackageExtractor.h"
#include "PackageSignature.h"
#include "PackageVerifier.h"
#include "SecretKey.h"
#include "SignedRegions.h"
#include "TreeSnapshot.h"
#include "TrustedComment.h"

#include <Errors.h>
#include <MallocIO.h>
#include <PackData.h>

#include <fcntl.h>

#include <cstdlib>

namespace {

bool
HaveCommonSigner()
{
	return system("command -v minisign >/dev/null 2>&1") == 0;
}


class PackageSigningTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fDir.Path().empty());
		write_text(fDir / "src/readme.txt", "Read me first.\n");
		write_text(fDir / "src/bin/tool", std::string(200000, 'x') + "tool");
		write_text(fDir / "pkg.json", R"({"name": "Demo", "description": "A demo package",
			"source": "src"})");
		ASSERT_EQ(run_tool("build " + fDir / "pkg.json" + " -o " + fDir / "plain.pkg").status, 0);
		ASSERT_EQ(run_tool("keygen -o " + fDir / "author" + " --no-password").status, 0);
	}

	// A signed copy of the plain package.
	std::string Signed(const std::string& name, const std::string& key = "author.key")
	{
		std::string path = fDir / name;
		std::filesystem::copy_file(fDir / "plain.pkg", path,
			std::filesystem::copy_options::overwrite_existing);
		program_result signing = run_tool("sign " + path + " --key " + fDir / key
			+ " --comment 'Demo authors' --package-version 2.1");
		EXPECT_EQ(signing.status, 0) << signing.output;
		return path;
	}

	ScratchDir fDir;
};

} // namespace


TEST_F(PackageSigningTest, ASignedPackageVerifiesAndAnyChangedByteIsFound)
{
	std::string path = Signed("signed.pkg");
	program_result verified = run_tool("verify " + path + " --trusted-key " + fDir / "author.pub");
	EXPECT_EQ(verified.status, 0) << verified.output;
	EXPECT_NE(verified.output.find("(Demo authors), valid, trusted"), std::string::npos)
		<< verified.output;
	program_result listed = run_tool("list " + path);
	EXPECT_NE(listed.output.find("signer: Demo authors"), std::string::npos) << listed.output;
	EXPECT_NE(listed.output.find("version: 2.1"), std::string::npos) << listed.output;

	std::string bytes = ReadHostFileText(path);
	for (const signed_region& region : signed_regions(bytes, 0, "readme", "demo package")) {
		SCOPED_TRACE(region.name);
		ASSERT_LT(region.offset, bytes.size());
		std::string changed = bytes;
		changed[region.offset] ^= 0x20;
		WriteHostFileText(fDir / "changed.pkg", changed);
		program_result result = run_tool("verify " + fDir / "changed.pkg");
		EXPECT_EQ(result.status, 1) << result.output;
		EXPECT_NE(result.output.find("signature does not match"), std::string::npos)
			<< result.output;
	}
}


TEST_F(PackageSigningTest, TrustIsAskedOfTheKeyNotJustOfTheSignature)
{
	ASSERT_EQ(run_tool("keygen -o " + fDir / "other" + " --no-password").status, 0);
	std::string path = Signed("signed.pkg");
	program_result untrusted = run_tool("verify " + path + " --trusted-key " + fDir / "other.pub");
	EXPECT_EQ(untrusted.status, 1);
	EXPECT_NE(untrusted.output.find("valid, but by no trusted key"), std::string::npos)
		<< untrusted.output;

	// Without trusted keys a valid signature and an unsigned package pass;
	// with them an unsigned package does not.
	EXPECT_EQ(run_tool("verify " + path).status, 0);
	program_result plain = run_tool("verify " + fDir / "plain.pkg");
	EXPECT_EQ(plain.status, 0);
	EXPECT_NE(plain.output.find("not signed"), std::string::npos);
	EXPECT_EQ(run_tool("verify " + fDir / "plain.pkg --trusted-key " + fDir / "author.pub")
		.status, 1);

	// A signature by another key with the trusted key's ID is not the
	// trusted key's.
	std::string bytes = ReadHostFileText(path);
	std::string trustedId = ReadHostFileText(fDir / "author.pub");
	ASSERT_EQ(run_tool("sign " + path + " --key " + fDir / "other.key").status, 0);
	std::string resigned = ReadHostFileText(path);
	size_t idAt = resigned.find("SgKI") + 4 + 3 + 4;
	resigned.replace(idAt, 8, bytes.substr(bytes.find("SgKI") + 4 + 3 + 4, 8));
	WriteHostFileText(path, resigned);
	EXPECT_EQ(run_tool("verify " + path + " --trusted-key " + fDir / "author.pub").status, 1);
}


TEST_F(PackageSigningTest, ReadersThatKnowNothingOfSignaturesReadTheUnsignedPackage)
{
	std::string path = Signed("signed.pkg");
	// The stream itself is untouched: the record only follows it.
	std::string plain = ReadHostFileText(fDir / "plain.pkg");
	EXPECT_EQ(ReadHostFileText(path).compare(0, plain.size(), plain), 0);

	PackageVerifier verifier;
	EXPECT_EQ(verifier.VerifyPath(path.c_str()), B_OK) << verifier.Reason();

	PackageExtractor fromPlain, fromSigned;
	ASSERT_EQ(fromPlain.ExtractToHostFolder((fDir / "plain.pkg").c_str(),
		(fDir / "out-plain").c_str()), B_OK);
	ASSERT_EQ(fromSigned.ExtractToHostFolder(path.c_str(), (fDir / "out-signed").c_str()),
		B_OK);
	EXPECT_EQ(SnapshotTree(fDir / "out-plain"), SnapshotTree(fDir / "out-signed"));
}


TEST_F(PackageSigningTest, SigningReplacesTheSignatureAndInstallersCarryIt)
{
	std::string path = Signed("signed.pkg");
	ASSERT_EQ(run_tool("sign " + path + " --key " + fDir / "author.key").status, 0);
	std::string resigned = ReadHostFileText(path);
	EXPECT_EQ(resigned.find("SgSi"), resigned.rfind("SgSi")) << "one record, not two";
	EXPECT_NE(resigned.find("signer: author"), std::string::npos);

	// An installer made of a signed package carries its signature; --sign
	// signs what it writes.
	std::string installer = fDir / "Demo Installer";
	program_result made = run_tool("sfx " + path + " -o '" + installer + "'");
	ASSERT_EQ(made.status, 0) << made.output;
	EXPECT_EQ(run_tool("verify '" + installer + "' --trusted-key " + fDir / "author.pub").status,
		0);
	ASSERT_EQ(run_tool("sfx " + fDir / "plain.pkg" + " -o '" + installer + "' --sign "
		+ fDir / "author.key").status, 0);
	EXPECT_EQ(run_tool("verify '" + installer + "' --trusted-key " + fDir / "author.pub").status,
		0);
	ASSERT_EQ(run_tool("build " + fDir / "pkg.json" + " -o " + fDir / "built.pkg --sign "
		+ fDir / "author.key").status, 0);
	EXPECT_EQ(run_tool("verify " + fDir / "built.pkg --trusted-key " + fDir / "author.pub").status,
		0);

	// A signing option without a key is an author's mistake, said, and
	// nothing is written.
	for (const std::string& command : {"build " + fDir / "pkg.json", "sfx " + fDir / "plain.pkg"}) {
		program_result unsignedRun = run_tool(command + " -o " + fDir / "unsigned.out"
			+ " --comment 'Demo authors'");
		EXPECT_EQ(unsignedRun.status, 2) << command;
		EXPECT_NE(unsignedRun.output.find("--comment is for signing"), std::string::npos)
			<< unsignedRun.output;
		EXPECT_FALSE(std::filesystem::exists(fDir / "unsigned.out")) << command;
	}

	// Signing fails whole: a missing key or a non-package leaves the file.
	std::string before = ReadHostFileText(path);
	EXPECT_EQ(run_tool("sign " + path + " --key " + fDir / "missing.key").status, 1);
	write_text(fDir / "text.txt", "not a package");
	EXPECT_EQ(run_tool("sign " + fDir / "text.txt --key " + fDir / "author.key").status, 1);
	EXPECT_EQ(ReadHostFileText(path), before);
	EXPECT_EQ(ReadHostFileText(fDir / "text.txt"), "not a package");
	for (const std::string& name : folder_names(fDir.Path()))
		EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}


TEST_F(PackageSigningTest, PasswordProtectedKeysAskForTheirPassword)
{
	write_text(fDir / "password", "correct horse\n");
	write_text(fDir / "wrong", "wrong horse\n");
	program_result made = run_tool("keygen -o " + fDir / "locked --password-file "
		+ fDir / "password");
	ASSERT_EQ(made.status, 0) << made.output;
	EXPECT_NE(ReadHostFileText(fDir / "locked.key").find("encrypted"), std::string::npos);
	EXPECT_EQ(std::filesystem::status(fDir / "locked.key").permissions()
		& std::filesystem::perms::group_read, std::filesystem::perms::none);

	std::string path = fDir / "plain-copy.pkg";
	std::filesystem::copy_file(fDir / "plain.pkg", path);
	program_result wrong = run_tool("sign " + path + " --key " + fDir / "locked.key"
		+ " --password-file " + fDir / "wrong");
	EXPECT_EQ(wrong.status, 1);
	EXPECT_NE(wrong.output.find("wrong password"), std::string::npos) << wrong.output;
	// No terminal to ask on: said, not hung.
	program_result none = run_tool("sign " + path + " --key " + fDir / "locked.key"
		+ " </dev/null");
	EXPECT_EQ(none.status, 1);
	EXPECT_EQ(run_tool("sign " + path + " --key " + fDir / "locked.key" + " --password-file "
		+ fDir / "password").status, 0);
	EXPECT_EQ(run_tool("verify " + path + " --trusted-key " + fDir / "locked.pub").status, 0);
	EXPECT_EQ(run_tool("keygen -o " + fDir / "locked --no-password").status, 1)
		<< "an existing key is kept";
}


// Keys made by the common command-line signer sign here, and what is signed
// here verifies with that signer: the stream's signature is its own.
TEST_F(PackageSigningTest, TheCommonSignersKeysAndSignaturesWorkBothWays)
{
	if (!HaveCommonSigner())
		GTEST_SKIP() << "minisign is not installed";
	std::string base = fDir / "theirs";
	ASSERT_EQ(system(("minisign -G -W -p " + base + ".pub -s " + base + ".key >/dev/null")
		.c_str()), 0);
	std::string path = Signed("signed.pkg", "theirs.key");
	EXPECT_EQ(run_tool("verify " + path + " --trusted-key " + base + ".pub").status, 0);

	// The signature record as a detached signature of the stream.
	HostFile file(path.c_str(), O_RDONLY);
	off_t end = std::filesystem::file_size(fDir / "plain.pkg");
	PackageSignature signature;
	ASSERT_EQ(signature.ReadAt(&file, end), B_OK);
	std::vector<uint8> line1 = {'E', 'D'};
	line1.insert(line1.end(), signature.fSigner.KeyId(), signature.fSigner.KeyId() + 8);
	line1.insert(line1.end(), signature.fSignature.begin(), signature.fSignature.end());
	std::string detached = KeyFileText::Encode("signature", line1.data(), line1.size())
		+ "trusted comment: " + signature.fTrustedComment + "\n";
	std::string global = KeyFileText::Encode("", signature.fCommentSignature.data(), 64);
	detached += global.substr(global.find('\n') + 1);
	WriteHostFileText(fDir / "stream.minisig", detached);
	std::filesystem::copy_file(fDir / "plain.pkg", fDir / "stream");
	EXPECT_EQ(system(("minisign -V -q -p " + base + ".pub -m " + fDir / "stream -x "
		+ fDir / "stream.minisig").c_str()), 0);

	// Our keys sign with that signer too.
	write_text(fDir / "message", "hello\n");
	EXPECT_EQ(system(("minisign -S -s " + fDir / "author.key -m " + fDir / "message -x "
		+ fDir / "message.sig </dev/null >/dev/null && minisign -V -q -p " + fDir / "author.pub"
		+ " -m " + fDir / "message -x " + fDir / "message.sig").c_str()), 0);
}


TEST_F(PackageSigningTest, APasswordProtectedKeyOfTheCommonSigner)
{
	if (!HaveCommonSigner())
		GTEST_SKIP() << "minisign is not installed";
	std::string base = fDir / "locked";
	ASSERT_EQ(system(("printf 'sesame\\nsesame\\n' | minisign -G -p " + base + ".pub -s "
		+ base + ".key >/dev/null 2>&1").c_str()), 0);
	write_text(fDir / "password", "sesame\n");
	std::string path = fDir / "copy.pkg";
	std::filesystem::copy_file(fDir / "plain.pkg", path);
	program_result signing = run_tool("sign " + path + " --key " + base + ".key --password-file "
		+ fDir / "password");
	ASSERT_EQ(signing.status, 0) << signing.output;
	EXPECT_EQ(run_tool("verify " + path + " --trusted-key " + base + ".pub").status, 0);
}


TEST(PackageSignatureRecordTest, DamagedOrCraftedRecordsAreRefusedWithoutHarm)
{
	SecretKey key;
	ASSERT_EQ(key.Generate(), B_OK);
	PackageSignature good;
	good.fSigner = key.Public();
	good.fTrustedComment = "signer: me";
	BMallocIO io;
	ASSERT_EQ(good.Write(&io), B_OK);
	std::string bytes(static_cast<const char*>(io.Buffer()), io.BufferLength());
	auto read = [](const std::string& data) {
		BMallocIO in;
		in.Write(data.data(), data.size());
		PackageSignature signature;
		return signature.ReadAt(&in, 0);
	};
	EXPECT_EQ(read(bytes), B_OK);
	EXPECT_EQ(read(""), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(read("trailing junk that is no record"), B_ENTRY_NOT_FOUND);
	for (size_t cut : {7ul, 20ul, bytes.size() / 2, bytes.size() - 1})
		EXPECT_EQ(read(bytes.substr(0, cut)), B_BAD_DATA) << cut;

	// A member of another tag is skipped; one of the record's own missing
	// or of the wrong size is not a signature.
	PackData writer;
	BMallocIO crafted;
	writer.WriteRecordHeader(&crafted, PackageSignature::kRecordTag, kGroupRecord, 0);
	writer.WriteString(&crafted, "from a later version", 'Xtra');
	std::string extra(static_cast<const char*>(crafted.Buffer()), crafted.BufferLength());
	EXPECT_EQ(read(extra + bytes.substr(7)), B_OK);
	size_t keyId = bytes.find("SgKI");
	std::string shortId = bytes;
	shortId[keyId + 7 + 3] = 7;
	EXPECT_EQ(read(shortId), B_BAD_DATA);
	std::string noComment = bytes;
	noComment.replace(noComment.find("SgTC"), 4, "Xxxx");
	EXPECT_EQ(read(noComment), B_BAD_DATA);
	std::string hugeComment = bytes;
	size_t comment = hugeComment.find("SgTC") + 7;
	hugeComment[comment] = 0x7f;
	EXPECT_EQ(read(hugeComment), B_BAD_DATA);
}


TEST(TrustedCommentTest, FieldsComeBackAndForeignTextNamesTheSigner)
{
	TrustedComment comment;
	comment.fSigner = "Ann\tand Bob";
	comment.fPackage = "Demo";
	comment.fVersion = "1.0";
	comment.fSignedAt = 1796845127;
	TrustedComment back = TrustedComment::Parse(comment.Text());
	EXPECT_EQ(back.fSigner, "Ann and Bob");
	EXPECT_EQ(back.fPackage, "Demo");
	EXPECT_EQ(back.fVersion, "1.0");
	EXPECT_EQ(back.fSignedAt, 1796845127);
	EXPECT_EQ(TrustedComment::TimeText(back.fSignedAt), "2026-12-09T19:38:47Z");

	EXPECT_EQ(TrustedComment::Parse("timestamp:1796845127\tfile:m.txt").fSigner,
		"timestamp:1796845127\tfile:m.txt");
}

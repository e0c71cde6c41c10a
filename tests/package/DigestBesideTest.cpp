// An unsigned package's digest taken on a thread beside the install: the
// same text as the digest taken at once, for readers on other threads and
// later; a check that goes away first stops the thread instead of waiting.

#include "PackageTestSupport.h"

#include "PackageSignature.h"
#include "SignatureCheck.h"

#include <TempRoot.h>

#include <File.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::string
HexOf(const PackageSignature::digest& digest)
{
	std::string text;
	for (uint8 byte : digest) {
		static const char kDigits[] = "0123456789abcdef";
		text += kDigits[byte >> 4];
		text += kDigits[byte & 0xf];
	}
	return text;
}

} // namespace


class DigestBesideTest : public TempRootTest {
protected:
	void SetUp() override
	{
		TempRootTest::SetUp();
		// Unsigned: nothing follows the stream.
		fRoot.WriteFile("boot/plain.pkg", NoiseData(3 << 20, 21));
		fFile.SetTo("/boot/plain.pkg", B_READ_ONLY);
		ASSERT_EQ(fFile.InitCheck(), B_OK);
		ASSERT_EQ(fFile.GetSize(&fEnd), B_OK);
	}

	BFile fFile;
	off_t fEnd = 0;
	const off_t kStart = 100;
};


TEST_F(DigestBesideTest, TheDigestTakenBesideIsTheOneTakenAtOnce)
{
	PackageSignature::digest digest;
	ASSERT_EQ(PackageSignature::DigestOf(&fFile, kStart, fEnd, &digest), B_OK);
	std::string expected = HexOf(digest);

	SignatureCheck atOnce;
	EXPECT_EQ(atOnce.Check(&fFile, kStart, fEnd, TrustedKeys()), kNotSigned);
	EXPECT_EQ(atOnce.DigestText(), expected);

	SignatureCheck beside;
	{
		// The caller's handle may close while the digest is taken.
		BFile handle(fFile);
		EXPECT_EQ(beside.CheckWithDigestBeside(handle, kStart, fEnd, TrustedKeys()),
			kNotSigned);
	}
	std::string onAnotherThread;
	std::thread reader([later = beside.DigestTextLater(), &onAnotherThread]() {
		onAnotherThread = later.get();
	});
	EXPECT_EQ(beside.DigestText(), expected);
	reader.join();
	EXPECT_EQ(onAnotherThread, expected);

	// A stream that cannot be read whole has no digest, as before.
	SignatureCheck shortened;
	shortened.CheckWithDigestBeside(fFile, kStart, fEnd + 10, TrustedKeys());
	EXPECT_EQ(shortened.DigestText(), "");
}


TEST_F(DigestBesideTest, ACheckThatGoesAwayStopsItsDigest)
{
	std::shared_future<std::string> later;
	{
		SignatureCheck check;
		check.CheckWithDigestBeside(fFile, kStart, fEnd, TrustedKeys());
		later = check.DigestTextLater();
	}
	// Stopped, or finished just before: never a wrong digest.
	PackageSignature::digest digest;
	ASSERT_EQ(PackageSignature::DigestOf(&fFile, kStart, fEnd, &digest), B_OK);
	std::string text = later.get();
	EXPECT_TRUE(text.empty() || text == HexOf(digest)) << text;
}

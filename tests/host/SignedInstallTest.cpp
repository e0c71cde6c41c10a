// Signed packages through the installer program: the signature is checked
// right after the package opens, before the agreement, any question, script
// or write; a changed byte anywhere is refused with nothing written; trust
// comes from --trusted-key and the boot volume's trusted-keys folder, and
// --require-signature refuses what no trusted key signed.

#include <HostFileText.h>
#include <ProgramRun.h>
#include <ScratchDir.h>
#include <SignedRegions.h>
#include <TreeSnapshot.h>

#include "PackageAssembler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = KESTROVAN_INSTALLER_PROGRAM;
const std::string kPackageTool = KESTROVAN_PKG_PROGRAM;
const std::string kSampleInstaller = KESTROVAN_SAMPLE_INSTALLER;
const std::string kSampleKey = SAMPLE_KEY;

const char* const kMismatch = "This package's signature does not match its contents";
const char* const kRequired = "A signature by a trusted key is required";


// The first line of a public key file's comment ends with its key ID.
std::string
KeyId(const std::string& publicKeyPath)
{
	std::string text = ReadHostFileText(publicKeyPath);
	std::string firstLine = text.substr(0, text.find('\n'));
	return firstLine.substr(firstLine.rfind(' ') + 1);
}

} // namespace


class SignedInstallTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(fScratch.Path().empty());
		WriteHostFileText(fScratch / "src/Demo/readme", "read me\n");
		WriteHostFileText(fScratch / "src/Demo/bin/tool", std::string(20000, 't'));
		// A script that would leave its mark if it ran.
		WriteHostFileText(fScratch / "setup.sh", "#!/bin/sh\ntouch ran-setup\n");
		std::string manifest = fScratch / "demo.json";
		WriteHostFileText(manifest, R"({"name": "Demo", "description": "A demo package",
			"source": ")" + fScratch / "src" + R"(", "groups": [{"name": "All"}],
			"agreement": {"text": "Be nice."},
			"scripts": [{"source": ")" + fScratch / "setup.sh" + R"(", "name": "setup"}]})");
		fPlain = fScratch / "plain.pkg";
		std::string message;
		ASSERT_EQ(build_package(manifest.c_str(), nullptr, fPlain.c_str(), &message), B_OK)
			<< message;
		ASSERT_EQ(Tool({"keygen", "-o", fScratch / "author", "--no-password"}), 0);
		ASSERT_EQ(Tool({"keygen", "-o", fScratch / "stranger", "--no-password"}), 0);
		fSigned = Signed("signed.pkg", "author");
	}

	int Tool(std::vector<std::string> words)
	{
		words.insert(words.begin(), kPackageTool);
		return RunProgram(words, fScratch / "tool-errors.txt").status;
	}

	std::string Signed(const std::string& name, const std::string& key)
	{
		std::string path = fScratch / name;
		std::filesystem::copy_file(fPlain, path, std::filesystem::copy_options::overwrite_existing);
		EXPECT_EQ(Tool({"sign", path, "--key", fScratch / (key + ".key"), "--comment",
			"Demo authors"}), 0);
		return path;
	}

	// An unattended install of `package` on a fresh system root.
	ProgramRun Install(const std::string& package, std::vector<std::string> options = {})
	{
		std::filesystem::remove_all(Root());
		std::filesystem::create_directories(Root() + "/boot");
		if (!fTrustedInBootVolume.empty()) {
			std::string folder = Root() + "/boot/home/config/settings/kestrovan/trusted-keys";
			std::filesystem::create_directories(folder);
			std::filesystem::copy_file(fTrustedInBootVolume, folder + "/author.pub");
		}
		std::vector<std::string> words = {kProgram, "--root", Root(), "--unattended",
			"--accept-license"};
		words.insert(words.end(), options.begin(), options.end());
		words.push_back(package);
		return RunProgram(words, fScratch / "errors.txt");
	}

	std::string Root() const { return fScratch / "root"; }

	ScratchDir fScratch;
	std::string fPlain;
	std::string fSigned;
	std::string fTrustedInBootVolume;
};


TEST_F(SignedInstallTest, AChangedByteInAnyRegionIsRefusedBeforeAnythingIsWritten)
{
	std::string bytes = ReadHostFileText(fSigned);
	std::filesystem::create_directories(Root() + "/boot");
	for (const signed_region& region : signed_regions(bytes, 0, "readme", "demo package")) {
		SCOPED_TRACE(region.name);
		ASSERT_LT(region.offset, bytes.size());
		std::string changed = bytes;
		changed[region.offset] ^= 0x20;
		WriteHostFileText(fScratch / "changed.pkg", changed);

		std::filesystem::remove_all(Root());
		std::filesystem::create_directories(Root() + "/boot");
		auto before = SnapshotTree(Root());
		ProgramRun run = Install(fScratch / "changed.pkg");
		EXPECT_EQ(run.status, 1) << run.errors;
		EXPECT_NE(run.errors.find(kMismatch), std::string::npos) << run.errors;
		EXPECT_EQ(run.errors.find("agreement:"), std::string::npos) << run.errors;
		EXPECT_EQ(SnapshotTree(Root()), before);
	}

	// The same package unchanged installs, and says who signed it.
	ProgramRun run = Install(fSigned);
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("Signed by an unknown key (ID " + KeyId(fScratch / "author.pub")
		+ ")"), std::string::npos) << run.errors;
}


TEST_F(SignedInstallTest, RequiringASignatureRefusesWhatNoTrustedKeySigned)
{
	std::string trust = "--trusted-key=" + fScratch / "author.pub";
	std::string byStranger = Signed("stranger.pkg", "stranger");
	struct expectation {
		const char* what;
		std::string package;
		std::vector<std::string> options;
		int status;
		std::string said;
	} cases[] = {
		{"unsigned, not required", fPlain, {}, 0, "Not signed"},
		{"unknown key, not required", byStranger, {trust}, 0,
			"Signed by an unknown key (ID " + KeyId(fScratch / "stranger.pub") + ")"},
		{"unsigned, required", fPlain, {trust, "--require-signature"}, 1, kRequired},
		{"untrusted, required", byStranger, {trust, "--require-signature"}, 1, kRequired},
		{"trusted, required", fSigned, {trust, "--require-signature"}, 0,
			"Signed by Demo authors (key ID " + KeyId(fScratch / "author.pub") + ")"},
		{"a trusted key that cannot be read", fSigned,
			{"--trusted-key", fScratch / "missing.pub"}, 1, "cannot be read"},
	};
	for (const expectation& expected : cases) {
		SCOPED_TRACE(expected.what);
		ProgramRun run = Install(expected.package, expected.options);
		EXPECT_EQ(run.status, expected.status) << run.errors;
		EXPECT_NE(run.errors.find(expected.said), std::string::npos) << run.errors;
		bool installed = std::filesystem::exists(Root() + "/boot/apps/src/Demo/readme");
		EXPECT_EQ(installed, expected.status == 0);
	}

	// The boot volume's trusted keys are trusted without being named.
	fTrustedInBootVolume = fScratch / "author.pub";
	ProgramRun run = Install(fSigned, {"--require-signature"});
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("Signed by Demo authors"), std::string::npos) << run.errors;
}


TEST_F(SignedInstallTest, ASignedPackageInstallsTheSameTreeAsTheUnsignedOne)
{
	// The script's mark carries the time it ran.
	auto notTheMark = [](const std::string& path) {
		return path.find("ran-setup") != std::string::npos;
	};
	ASSERT_EQ(Install(fPlain).status, 0);
	auto plainTree = SnapshotTree(Root() + "/boot/apps", notTheMark);
	ASSERT_EQ(Install(fSigned).status, 0);
	auto signedTree = SnapshotTree(Root() + "/boot/apps", notTheMark);
	EXPECT_EQ(plainTree.count("src/Demo/bin/tool"), 1u);
	EXPECT_TRUE(plainTree == signedTree);
}


TEST_F(SignedInstallTest, TheSampleInstallerIsSignedByItsBuildKey)
{
	EXPECT_EQ(Tool({"verify", kSampleInstaller, "--trusted-key", kSampleKey + ".pub"}), 0);
	ProgramRun run = Install(kSampleInstaller, {"--trusted-key", kSampleKey + ".pub",
		"--require-signature"});
	EXPECT_EQ(run.status, 0) << run.errors;
	EXPECT_NE(run.errors.find("Signed by Kestrovan Sample authors (key ID "
		+ KeyId(kSampleKey + ".pub") + ")"), std::string::npos) << run.errors;
	// The receipt names the signer, and the package by its digest.
	std::string receipt = ReadHostFileText(Root() + "/boot/var/kestrovan/receipts/"
		"Kestrovan Sample.json");
	EXPECT_NE(receipt.find("\"signer\": \"Kestrovan Sample authors (key ID "
		+ KeyId(kSampleKey + ".pub") + ")\""), std::string::npos) << receipt;
	size_t digest = receipt.find("\"digest\": \"");
	ASSERT_NE(digest, std::string::npos) << receipt;
	std::string hex = receipt.substr(digest + 11, 128);
	EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
}


// An unsigned package's digest is taken beside the install, a signed one's
// before it; signing leaves the stream as it was, so both name the package
// by the same digest, in the receipt and in the plan.
TEST_F(SignedInstallTest, AnUnsignedPackageIsNamedByTheSameDigestAsItsSignedCopy)
{
	auto receiptDigest = [this](const std::string& package) {
		EXPECT_EQ(Install(package).status, 0);
		std::string receipt = ReadHostFileText(Root() + "/boot/var/kestrovan/receipts/Demo.json");
		size_t at = receipt.find("\"digest\": \"");
		EXPECT_NE(at, std::string::npos) << receipt;
		return at == std::string::npos ? std::string() : receipt.substr(at + 11, 128);
	};
	auto planDigest = [this](const std::string& package) {
		std::string output = fScratch / "plan.json";
		ProgramRun run = RunProgram({kProgram, "--root", Root(), "--plan", "--accept-license",
			package}, fScratch / "errors.txt", nullptr, &output);
		EXPECT_EQ(run.status, 0) << run.errors;
		nlohmann::json plan = nlohmann::json::parse(ReadHostFileText(output), nullptr, false);
		const nlohmann::json& digest = plan["package"]["digest"];
		return digest.is_string() ? digest.get<std::string>() : std::string();
	};
	std::string signedDigest = receiptDigest(fSigned);
	ASSERT_EQ(signedDigest.size(), 128u);
	EXPECT_EQ(signedDigest.find_first_not_of("0123456789abcdef"), std::string::npos);
	EXPECT_EQ(receiptDigest(fPlain), signedDigest);
	EXPECT_EQ(planDigest(fPlain), signedDigest);
	EXPECT_EQ(planDigest(fSigned), signedDigest);
}

// kestrovan-pkg: builds packages and self-extracting installers, and lists,
// verifies and extracts them.

#include "DoError.h"
#include "AtomicOutput.h"
#include "BuildProgress.h"
#include "HostFile.h"
#include "InstallerWriter.h"
#include "PackageAssembler.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageLocator.h"
#include "PackageSigner.h"
#include "PackageVerifier.h"
#include "PasswordPrompt.h"
#include "PatchMaker.h"
#include "SignatureCheck.h"

#include <Errors.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* kUsage =
	"usage:\n"
	"  kestrovan-pkg build MANIFEST -o OUT.pkg [--source FOLDER] [--jobs N] [--quiet]\n"
	"                     [SIGNING]\n"
	"  kestrovan-pkg sfx PACKAGE -o INSTALLER [--stub PROGRAM] [SIGNING]\n"
	"  kestrovan-pkg list PACKAGE [--json]\n"
	"  kestrovan-pkg verify PACKAGE [--trusted-key PUB]...\n"
	"  kestrovan-pkg extract PACKAGE FOLDER\n"
	"  kestrovan-pkg diff OLD NEW -o PATCH\n"
	"  kestrovan-pkg keygen -o BASE [--password-file FILE | --no-password] [--force]\n"
	"  kestrovan-pkg sign PACKAGE --key KEY [--comment TEXT] [--package-version TEXT]\n"
	"                    [--password-file FILE]\n"
	"\n"
	"build shows its progress on a terminal and ends with a summary line;\n"
	"--quiet shows neither. sfx takes kestrovan-installer-stub beside the tool\n"
	"(or in ../lib/kestrovan/) unless --stub names another program; a stub must\n"
	"carry the installer's resources.\n"
	"SIGNING: --sign KEY [--comment TEXT] [--package-version TEXT] [--password-file FILE]\n"
	"keygen writes BASE.pub and BASE.key; a password-protected key asks for its\n"
	"password on the terminal unless --password-file names a file that holds it.\n"
	"verify exits 1 on a signature that does not match, and, with --trusted-key,\n"
	"on a package that no trusted key signed.\n"
	"\n"
	"diff writes patch data that turns the file OLD into NEW (both under 4 GiB),\n"
	"for a patch item: {\"source\": PATCH} in a manifest's \"patches\", or let\n"
	"the build make it with {\"old\": OLD, \"new\": NEW}.\n";

enum {
	kExitOK = 0,
	kExitFailed = 1,
	kExitUsage = 2
};


struct arguments {
	std::vector<std::string> positional;
	std::map<std::string, std::string> options;
	// Every value option in order, for those that may repeat.
	std::vector<std::pair<std::string, std::string>> given;
	std::string error;

	std::vector<std::string> All(const std::string& option) const
	{
		std::vector<std::string> values;
		for (const auto& [name, value] : given) {
			if (name == option)
				values.push_back(value);
		}
		return values;
	}
};


// Options with a value, and flags, by command.
arguments
ParseArguments(int argc, char** argv, const std::vector<std::string>& valueOptions,
	const std::vector<std::string>& flags)
{
	arguments parsed;
	for (int i = 2; i < argc; i++) {
		std::string argument = argv[i];
		bool isValueOption = std::find(valueOptions.begin(), valueOptions.end(), argument)
			!= valueOptions.end();
		bool isFlag = std::find(flags.begin(), flags.end(), argument) != flags.end();
		if (isValueOption) {
			if (i + 1 >= argc) {
				parsed.error = argument + " needs a value";
				return parsed;
			}
			parsed.options[argument] = argv[++i];
			parsed.given.emplace_back(argument, argv[i]);
		} else if (isFlag)
			parsed.options[argument] = "";
		else if (argument.size() > 1 && argument[0] == '-') {
			parsed.error = "unknown option " + argument;
			return parsed;
		} else
			parsed.positional.push_back(argument);
	}
	return parsed;
}


int
Usage(const std::string& problem)
{
	if (!problem.empty())
		fprintf(stderr, "kestrovan-pkg: %s\n", problem.c_str());
	fputs(kUsage, stderr);
	return kExitUsage;
}


// The options that sign what a command writes.
const std::vector<std::string> kSigningOptions
	= {"--sign", "--comment", "--package-version", "--password-file"};


std::vector<std::string>
With(std::vector<std::string> options, const std::vector<std::string>& more)
{
	options.insert(options.end(), more.begin(), more.end());
	return options;
}


std::string
BaseName(const std::string& path)
{
	size_t slash = path.find_last_of('/');
	std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
	size_t dot = name.find_last_of('.');
	return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}


// Reads the secret key `keyPath` and sets up `signer` with the command's
// comment and version; the signer defaults to the key file's base name.
bool
LoadSigner(arguments& args, const std::string& keyPath, SecretKey* key,
	std::unique_ptr<PackageSigner>* signer)
{
	std::string error;
	if (key->SetToFile(keyPath.c_str(), PasswordPrompt::For(args.options["--password-file"],
			keyPath), &error) != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
		return false;
	}
	*signer = std::make_unique<PackageSigner>(*key);
	(*signer)->SetSigner(args.options.count("--comment") != 0 ? args.options["--comment"]
		: BaseName(keyPath));
	(*signer)->SetVersion(args.options["--package-version"]);
	return true;
}


// For build and sfx: the signing option given without --sign, which would
// otherwise be dropped unsaid (an author meant the result to be signed);
// empty when there is none.
std::string
SigningOptionWithoutKey(arguments& args)
{
	if (args.options.count("--sign") != 0)
		return std::string();
	for (const std::string& option : kSigningOptions) {
		if (args.options.count(option) != 0)
			return option;
	}
	return std::string();
}


// For build and sfx: a signer when --sign is given; false when the key
// cannot be used (said on standard error).
bool
OptionalSigner(arguments& args, SecretKey* key, std::unique_ptr<PackageSigner>* signer)
{
	if (args.options.count("--sign") == 0)
		return true;
	return LoadSigner(args, args.options["--sign"], key, signer);
}


void
PrintSigned(const char* path, const PackageSigner& signer, const SecretKey& key)
{
	printf("%s: signed by key ID %s (%s)\n", path, key.Public().KeyIdText().c_str(),
		signer.LastComment().fSigner.c_str());
}


int
Build(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, With({"-o", "--source", "--jobs"},
		kSigningOptions), {"--quiet"});
	if (!args.error.empty() || args.positional.size() != 1 || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "build needs MANIFEST and -o OUT" : args.error);
	int32 jobs = 0;
	if (args.options.count("--jobs") != 0) {
		char* end;
		jobs = (int32)strtol(args.options["--jobs"].c_str(), &end, 10);
		if (*end != '\0' || jobs < 1)
			return Usage("--jobs needs a positive number");
	}
	std::string strayOption = SigningOptionWithoutKey(args);
	if (!strayOption.empty())
		return Usage(strayOption + " is for signing: give --sign KEY too");
	SecretKey key;
	std::unique_ptr<PackageSigner> signer;
	if (!OptionalSigner(args, &key, &signer))
		return kExitFailed;
	bool quiet = args.options.count("--quiet") != 0;
	const char* output = args.options["-o"].c_str();
	BuildProgress progress(STDERR_FILENO, !quiet);
	PackageAssembler builder;
	builder.SetThreads(jobs);
	builder.SetSigner(signer.get());
	builder.SetProgress(&progress);
	status_t status = builder.BuildFromFile(args.positional[0].c_str(),
		args.options.count("--source") != 0 ? args.options["--source"].c_str() : nullptr,
		output);
	progress.Finish();
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", builder.ErrorMessage().c_str());
		return kExitFailed;
	}
	if (!quiet) {
		printf("%s\n", BuildProgress::SummaryLine(output, builder.CountItems(),
			builder.InputBytes(), builder.PackageSize(), progress.ElapsedSeconds()).c_str());
	}
	if (signer)
		PrintSigned(output, *signer, key);
	return kExitOK;
}


int
Sfx(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, With({"-o", "--stub"}, kSigningOptions), {});
	if (!args.error.empty() || args.positional.size() != 1 || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "sfx needs PACKAGE and -o INSTALLER" : args.error);
	std::string strayOption = SigningOptionWithoutKey(args);
	if (!strayOption.empty())
		return Usage(strayOption + " is for signing: give --sign KEY too");
	SecretKey key;
	std::unique_ptr<PackageSigner> signer;
	if (!OptionalSigner(args, &key, &signer))
		return kExitFailed;
	std::string stub = args.options.count("--stub") != 0 ? args.options["--stub"]
		: InstallerWriter::DefaultStub(argv[0]);
	std::string error;
	off_t offset;
	status_t status = InstallerWriter::Write(args.positional[0].c_str(),
		args.options["-o"].c_str(), stub.c_str(), &offset, &error, signer.get());
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
		return kExitFailed;
	}
	printf("%s: installer with the package at offset %lld\n", args.options["-o"].c_str(),
		(long long)offset);
	if (signer)
		PrintSigned(args.options["-o"].c_str(), *signer, key);
	return kExitOK;
}


int
List(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {}, {"--json"});
	if (!args.error.empty() || args.positional.size() != 1)
		return Usage(args.error.empty() ? "list needs PACKAGE" : args.error);
	PackageLister lister;
	status_t status = lister.Read(args.positional[0].c_str());
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", lister.ErrorMessage().c_str());
		return kExitFailed;
	}
	std::string out = args.options.count("--json") != 0 ? lister.Json() : lister.Text();
	fwrite(out.data(), 1, out.size(), stdout);
	return kExitOK;
}


// Says what the package's signature is; false when it fails the check: a
// signature that does not match, or, when keys are trusted, none by them.
bool
CheckSignature(const char* path, const verify_summary& summary,
	const std::vector<std::string>& trustedKeyFiles)
{
	TrustedKeys trusted;
	for (const std::string& file : trustedKeyFiles) {
		std::string error;
		if (trusted.AddFile(file.c_str(), &error) != B_OK) {
			fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
			return false;
		}
	}
	PackageLocator locator;
	std::string error;
	HostFile file(path, O_RDONLY);
	if (locator.SetTo(path, &error) != B_OK || file.InitCheck() != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
		return false;
	}
	SignatureCheck check;
	off_t end = locator.Offset() + summary.archiveSize;
	switch (check.Check(&file, locator.Offset(), end, trusted)) {
		case kNotSigned:
			printf("%s: not signed\n", path);
			return trustedKeyFiles.empty();
		case kSignatureMismatch:
			printf("%s: signature does not match\n", path);
			return false;
		case kSignedByTrustedKey:
		case kSignedByUnknownKey:
			break;
	}
	bool trustedKey = check.Verdict() == kSignedByTrustedKey;
	printf("%s: signed by key ID %s (%s), valid%s\n", path,
		check.Signer().KeyIdText().c_str(), check.Comment().fSigner.c_str(),
		trustedKeyFiles.empty() ? "" : trustedKey ? ", trusted" : ", but by no trusted key");
	return trustedKeyFiles.empty() || trustedKey;
}


int
Verify(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {"--trusted-key"}, {});
	if (!args.error.empty() || args.positional.size() != 1)
		return Usage(args.error.empty() ? "verify needs PACKAGE" : args.error);
	PackageVerifier verifier;
	const char* path = args.positional[0].c_str();
	bool intact = verifier.VerifyPath(path) == B_OK;
	const verify_summary& summary = verifier.Summary();
	if (!intact)
		fprintf(stderr, "%s: %s\n", path, verifier.Reason().c_str());
	else {
		printf("%s: OK: version %d, %lld bytes, %lld records, %lld bins (%lld bytes decoded), "
			"%d catalog items\n", path, (int)summary.version, (long long)summary.archiveSize,
			(long long)summary.records, (long long)summary.bins,
			(long long)summary.decodedBytes, (int)summary.items);
	}
	// A damaged package is checked against its signature too: that it was
	// changed after signing says more than where it breaks.
	if (summary.archiveSize <= 0)
		return kExitFailed;
	bool signatureAccepted = CheckSignature(path, summary, args.All("--trusted-key"));
	return intact && signatureAccepted ? kExitOK : kExitFailed;
}


int
Extract(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {}, {});
	if (!args.error.empty() || args.positional.size() != 2)
		return Usage(args.error.empty() ? "extract needs PACKAGE and FOLDER" : args.error);
	PackageExtractor extractor;
	status_t status = extractor.ExtractToHostFolder(args.positional[0].c_str(),
		args.positional[1].c_str());
	for (const std::string& problem : extractor.Problems())
		fprintf(stderr, "kestrovan-pkg: %s\n", problem.c_str());
	if (status != B_OK)
		return kExitFailed;
	printf("%d items extracted\n", (int)extractor.CountExtracted());
	return kExitOK;
}


int
Diff(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {"-o"}, {});
	if (!args.error.empty() || args.positional.size() != 2 || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "diff needs OLD, NEW and -o PATCH" : args.error);
	PatchMaker maker;
	const char* output = args.options["-o"].c_str();
	if (maker.MakeFile(args.positional[0].c_str(), args.positional[1].c_str(), output)
			!= B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", maker.ErrorMessage().c_str());
		return kExitFailed;
	}
	printf("%s: %d copies of %lld bytes, %lld literal bytes\n", output,
		(int)maker.CountCopies(), (long long)maker.CopiedBytes(),
		(long long)maker.LiteralBytes());
	return kExitOK;
}

int
Keygen(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {"-o", "--password-file"},
		{"--no-password", "--force"});
	if (!args.error.empty() || !args.positional.empty() || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "keygen needs -o BASE" : args.error);
	std::string base = args.options["-o"];
	std::string publicPath = base + ".pub";
	std::string secretPath = base + ".key";
	if (args.options.count("--force") == 0
		&& (access(publicPath.c_str(), F_OK) == 0 || access(secretPath.c_str(), F_OK) == 0)) {
		fprintf(stderr, "kestrovan-pkg: %s or %s exists already; --force replaces them\n",
			publicPath.c_str(), secretPath.c_str());
		return kExitFailed;
	}
	std::string password;
	std::string error;
	if (args.options.count("--no-password") == 0
		&& !PasswordPrompt::AskNew(args.options["--password-file"], &password, &error)) {
		fprintf(stderr, "kestrovan-pkg: %s (or --no-password)\n", error.c_str());
		return kExitFailed;
	}
	SecretKey key;
	if (key.Generate() != B_OK) {
		fprintf(stderr, "kestrovan-pkg: no source of random numbers\n");
		return kExitFailed;
	}
	struct written_key {
		std::string path;
		std::string text;
		mode_t mode;
	};
	// The secret key is readable by its owner alone.
	for (const written_key& file : {written_key{secretPath, key.FileText(password), 0600},
			written_key{publicPath, key.Public().FileText(), 0644}}) {
		AtomicOutput out;
		if (out.SetTo(file.path.c_str(), &error) != B_OK
			|| out.File()->WriteFully(file.text.data(), file.text.size()) != B_OK
			|| out.Commit(file.mode, &error) != B_OK) {
			fprintf(stderr, "kestrovan-pkg: %s: %s\n", file.path.c_str(),
				error.empty() ? "cannot be written" : error.c_str());
			return kExitFailed;
		}
	}
	printf("%s: public key, key ID %s\n%s: secret key%s\n", publicPath.c_str(),
		key.Public().KeyIdText().c_str(), secretPath.c_str(),
		password.empty() ? " (not protected by a password)" : "");
	return kExitOK;
}


int
Sign(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv,
		{"--key", "--comment", "--package-version", "--password-file"}, {});
	if (!args.error.empty() || args.positional.size() != 1 || args.options.count("--key") == 0)
		return Usage(args.error.empty() ? "sign needs PACKAGE and --key KEY" : args.error);
	SecretKey key;
	std::unique_ptr<PackageSigner> signer;
	if (!LoadSigner(args, args.options["--key"], &key, &signer))
		return kExitFailed;
	std::string error;
	const char* path = args.positional[0].c_str();
	if (signer->SignInPlace(path, &error) != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
		return kExitFailed;
	}
	PrintSigned(path, *signer, key);
	return kExitOK;
}

} // namespace


int
main(int argc, char** argv)
{
	// A command-line tool: the package reader's alerts go to standard
	// error and never wait for a button.
	SetAlertSink(StandardErrorAlertSink());
	if (argc < 2)
		return Usage("");
	std::string command = argv[1];
	if (command == "build")
		return Build(argc, argv);
	if (command == "sfx")
		return Sfx(argc, argv);
	if (command == "list")
		return List(argc, argv);
	if (command == "verify")
		return Verify(argc, argv);
	if (command == "extract")
		return Extract(argc, argv);
	if (command == "diff")
		return Diff(argc, argv);
	if (command == "keygen")
		return Keygen(argc, argv);
	if (command == "sign")
		return Sign(argc, argv);
	if (command == "--help" || command == "-h" || command == "help") {
		fputs(kUsage, stdout);
		return kExitOK;
	}
	return Usage("unknown command " + command);
}

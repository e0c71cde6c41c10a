// kestrovan-pkg: builds packages and self-extracting installers, and lists,
// verifies and extracts them.

#include "DoError.h"
#include "InstallerWriter.h"
#include "PackageAssembler.h"
#include "PackageExtractor.h"
#include "PackageLister.h"
#include "PackageVerifier.h"
#include "PatchMaker.h"

#include <Errors.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char* kUsage =
	"usage:\n"
	"  kestrovan-pkg build MANIFEST -o OUT.pkg [--source FOLDER] [--jobs N]\n"
	"  kestrovan-pkg sfx PACKAGE -o INSTALLER [--stub PROGRAM]\n"
	"  kestrovan-pkg list PACKAGE [--json]\n"
	"  kestrovan-pkg verify PACKAGE\n"
	"  kestrovan-pkg extract PACKAGE FOLDER\n"
	"  kestrovan-pkg diff OLD NEW -o PATCH\n"
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
	std::string error;
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


int
Build(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {"-o", "--source", "--jobs"}, {});
	if (!args.error.empty() || args.positional.size() != 1 || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "build needs MANIFEST and -o OUT" : args.error);
	int32 jobs = 0;
	if (args.options.count("--jobs") != 0) {
		char* end;
		jobs = (int32)strtol(args.options["--jobs"].c_str(), &end, 10);
		if (*end != '\0' || jobs < 1)
			return Usage("--jobs needs a positive number");
	}
	std::string message;
	const char* source = args.options.count("--source") != 0
		? args.options["--source"].c_str() : nullptr;
	status_t status = build_package(args.positional[0].c_str(), source,
		args.options["-o"].c_str(), &message, jobs);
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", message.c_str());
		return kExitFailed;
	}
	return kExitOK;
}


int
Sfx(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {"-o", "--stub"}, {});
	if (!args.error.empty() || args.positional.size() != 1 || args.options.count("-o") == 0)
		return Usage(args.error.empty() ? "sfx needs PACKAGE and -o INSTALLER" : args.error);
	std::string stub = args.options.count("--stub") != 0 ? args.options["--stub"]
		: InstallerWriter::DefaultStub(argv[0]);
	std::string error;
	off_t offset;
	status_t status = InstallerWriter::Write(args.positional[0].c_str(),
		args.options["-o"].c_str(), stub.c_str(), &offset, &error);
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-pkg: %s\n", error.c_str());
		return kExitFailed;
	}
	printf("%s: installer with the package at offset %lld\n", args.options["-o"].c_str(),
		(long long)offset);
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


int
Verify(int argc, char** argv)
{
	arguments args = ParseArguments(argc, argv, {}, {});
	if (!args.error.empty() || args.positional.size() != 1)
		return Usage(args.error.empty() ? "verify needs PACKAGE" : args.error);
	PackageVerifier verifier;
	const char* path = args.positional[0].c_str();
	if (verifier.VerifyPath(path) != B_OK) {
		fprintf(stderr, "%s: %s\n", path, verifier.Reason().c_str());
		return kExitFailed;
	}
	const verify_summary& summary = verifier.Summary();
	printf("%s: OK: version %d, %lld bytes, %lld records, %lld bins (%lld bytes decoded), "
		"%d catalog items\n", path, (int)summary.version, (long long)summary.archiveSize,
		(long long)summary.records, (long long)summary.bins,
		(long long)summary.decodedBytes, (int)summary.items);
	return kExitOK;
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
	if (command == "--help" || command == "-h" || command == "help") {
		fputs(kUsage, stdout);
		return kExitOK;
	}
	return Usage("unknown command " + command);
}

// Adds resources to a built program: its image is written again with its
// resources (the ones it had, and the new ones replacing any of the same
// type and id) behind it, and the result takes the program's place.
//
// usage: kestrovan-bindres PROGRAM TYPE:ID:NAME=FILE...
//   TYPE is a four-character type code ("8BMP"), ID a number, NAME the
//   resource's name, FILE the host file holding its data.

#include <AtomicOutput.h>
#include <HostFile.h>

#include <EntryRef.h>
#include <File.h>
#include <MallocIO.h>
#include <Resources.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct ResourceArgument {
	type_code type = 0;
	int32 id = 0;
	std::string name;
	std::vector<char> data;
};

bool
ParseResourceArgument(const char* argument, ResourceArgument* resource, std::string* error)
{
	std::string text = argument;
	size_t firstColon = text.find(':');
	size_t secondColon = text.find(':', firstColon + 1);
	size_t equals = text.find('=', secondColon + 1);
	if (firstColon != 4 || secondColon == std::string::npos || equals == std::string::npos) {
		*error = std::string(argument) + ": expected TYPE:ID:NAME=FILE";
		return false;
	}
	resource->type = 0;
	for (int i = 0; i < 4; i++)
		resource->type = (resource->type << 8) | static_cast<uint8>(text[i]);
	resource->id = static_cast<int32>(strtol(text.substr(5, secondColon - 5).c_str(), NULL, 10));
	resource->name = text.substr(secondColon + 1, equals - secondColon - 1);
	std::string path = text.substr(equals + 1);
	std::ifstream file(path, std::ios::binary);
	if (!file) {
		*error = path + ": cannot read";
		return false;
	}
	resource->data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
	return true;
}

} // namespace

int
main(int argc, char** argv)
{
	if (argc < 3) {
		fprintf(stderr, "usage: %s PROGRAM TYPE:ID:NAME=FILE...\n", argv[0]);
		return 2;
	}
	const char* program = argv[1];
	std::string error;
	std::vector<ResourceArgument> wanted(argc - 2);
	for (int i = 2; i < argc; i++) {
		if (!ParseResourceArgument(argv[i], &wanted[i - 2], &error)) {
			fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
			return 2;
		}
	}

	entry_ref ref;
	status_t status = get_ref_for_host_path(program, &ref);
	BFile image(&ref, B_READ_ONLY);
	BResources resources(&ref);
	if (status != B_OK || image.InitCheck() != B_OK || resources.InitCheck() != B_OK) {
		fprintf(stderr, "%s: %s: cannot read the program and its resources\n", argv[0],
			program);
		return 1;
	}
	for (const ResourceArgument& resource : wanted) {
		status = resources.AddResource(resource.type, resource.id, resource.data.data(),
			resource.data.size(), resource.name.c_str());
		if (status != B_OK) {
			fprintf(stderr, "%s: cannot add the resource %s\n", argv[0], resource.name.c_str());
			return 1;
		}
	}

	AtomicOutput output;
	if (output.SetTo(program, &error) != B_OK) {
		fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
		return 1;
	}
	BMallocIO nothing;
	status = write_executable_with_resources(&image, &resources, &nothing, output.File(), 0,
		0, NULL);
	if (status != B_OK || output.Commit(0755, &error) != B_OK) {
		fprintf(stderr, "%s: %s: cannot write the program with its resources%s%s\n",
			argv[0], program, error.empty() ? "" : ": ", error.c_str());
		return 1;
	}
	return 0;
}

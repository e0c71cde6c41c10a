// Lays out the sample package's source folder: the sample program, its
// documentation and settings, with the attributes a package author's folder
// would have (the program's signature, version, type and icons; the text
// files' type). The folder is made in a system root of its own so that the
// storage kit writes the attributes as the package tool reads them.
//
// usage: kestrovan-stage-sample SOURCE_FOLDER PROGRAM STAGE_FOLDER
// The staged source folder is STAGE_FOLDER/root/boot/Kestrovan Sample.

#include <AppFileInfo.h>
#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <NodeInfo.h>
#include <Screen.h>
#include <SymLink.h>
#include <SystemRoot.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kTopFolder = "/boot/Kestrovan Sample";
const char* const kSignature = "application/x-vnd.kestrovan-sample";

bool
ReadHostFile(const std::string& path, std::string* contents)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return false;
	std::ostringstream buffer;
	buffer << in.rdbuf();
	*contents = buffer.str();
	return true;
}


bool
WriteFile(const std::string& path, const std::string& contents, mode_t mode,
	const char* type)
{
	BFile file(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
	if (file.InitCheck() != B_OK
		|| file.Write(contents.data(), contents.size())
			!= (ssize_t)contents.size()) {
		fprintf(stderr, "kestrovan-stage-sample: cannot write %s\n",
			path.c_str());
		return false;
	}
	file.SetPermissions(mode);
	if (type != NULL) {
		BNodeInfo info(&file);
		info.SetType(type);
	}
	return true;
}


bool
CopyIn(const std::string& hostPath, const std::string& path, mode_t mode,
	const char* type)
{
	std::string contents;
	if (!ReadHostFile(hostPath, &contents)) {
		fprintf(stderr, "kestrovan-stage-sample: cannot read %s\n",
			hostPath.c_str());
		return false;
	}
	return WriteFile(path, contents, mode, type);
}


// A round yellow badge with a dark ring, in the screen's colour map; white
// is the transparent colour of these icons.
std::vector<uint8>
DrawIcon(int size)
{
	BScreen screen;
	const uint8 clear = screen.IndexForColor(255, 255, 255);
	const uint8 ring = screen.IndexForColor(96, 64, 0);
	const uint8 fill = screen.IndexForColor(255, 203, 0);
	const uint8 mark = screen.IndexForColor(40, 40, 120);
	std::vector<uint8> pixels(size * size, clear);
	const double centre = (size - 1) / 2.0;
	const double radius = size / 2.0 - 0.5;
	for (int y = 0; y < size; y++) {
		for (int x = 0; x < size; x++) {
			double distance = std::hypot(x - centre, y - centre);
			uint8& pixel = pixels[y * size + x];
			if (distance <= radius - size / 16.0)
				pixel = fill;
			else if (distance <= radius)
				pixel = ring;
			// A bar across the middle: the sample's mark.
			if (distance < radius * 0.6 && std::fabs(y - centre) < size / 10.0)
				pixel = mark;
		}
	}
	return pixels;
}


bool
StageProgram(const std::string& programPath)
{
	const std::string path = std::string(kTopFolder) + "/Kestrovan Sample";
	if (!CopyIn(programPath, path, 0755, NULL))
		return false;

	BFile file(path.c_str(), B_READ_WRITE);
	BAppFileInfo info(&file);
	version_info version = {};
	version.major = 1;
	snprintf(version.short_info, sizeof(version.short_info), "1.0.0");
	snprintf(version.long_info, sizeof(version.long_info),
		"Kestrovan Sample 1.0.0");
	if (info.SetSignature(kSignature) != B_OK
		|| info.SetType("application/x-executable") != B_OK
		|| info.SetVersionInfo(&version, B_APP_VERSION_KIND) != B_OK) {
		fprintf(stderr, "kestrovan-stage-sample: the program's attributes "
			"cannot be written (does the build folder keep extended "
			"attributes?)\n");
		return false;
	}
	std::vector<uint8> large = DrawIcon(32);
	std::vector<uint8> small = DrawIcon(16);
	return file.WriteAttr("BEOS:L:STD_ICON", 'ICON', 0, large.data(),
			large.size()) == (ssize_t)large.size()
		&& file.WriteAttr("BEOS:M:STD_ICON", 'MICN', 0, small.data(),
			small.size()) == (ssize_t)small.size();
}


bool
MakeFolder(const char* path)
{
	BDirectory dir;
	status_t status = create_directory(path, 0755);
	if (status != B_OK) {
		fprintf(stderr, "kestrovan-stage-sample: cannot make %s\n", path);
		return false;
	}
	return dir.SetTo(path) == B_OK;
}

} // namespace


int
main(int argc, char** argv)
{
	if (argc != 4) {
		fprintf(stderr, "usage: kestrovan-stage-sample SOURCE_FOLDER PROGRAM "
			"STAGE_FOLDER\n");
		return 2;
	}
	const std::string source = argv[1];
	const std::string root = std::string(argv[3]) + "/root";
	std::string command = "rm -rf '" + root + "' && mkdir -p '" + root
		+ "/boot'";
	if (system(command.c_str()) != 0 || set_system_root(root.c_str()) != B_OK) {
		fprintf(stderr, "kestrovan-stage-sample: cannot make %s\n",
			root.c_str());
		return 1;
	}

	const std::string top = kTopFolder;
	bool ok = MakeFolder(kTopFolder) && MakeFolder((top + "/docs").c_str())
		&& StageProgram(argv[2])
		&& CopyIn(source + "/docs/ReadMe.txt", top + "/docs/ReadMe.txt", 0644,
			"text/plain")
		&& CopyIn(source + "/docs/Changes.txt", top + "/docs/Changes.txt",
			0644, "text/plain")
		&& CopyIn(source + "/Kestrovan Sample settings",
			top + "/Kestrovan Sample settings", 0644, "text/plain");
	if (ok) {
		BDirectory folder(kTopFolder);
		BSymLink link;
		ok = folder.CreateSymLink("Read Me", "docs/ReadMe.txt", &link) == B_OK;
	}
	return ok ? 0 : 1;
}

// kestrovan-volumes: lists the volumes of a system root and what each can do.
// Usage: kestrovan-volumes [--root DIR]

#include <Directory.h>
#include <Errors.h>
#include <FindDirectory.h>
#include <Path.h>
#include <SystemRoot.h>
#include <Volume.h>
#include <VolumeRoster.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

int
Usage()
{
	fprintf(stderr, "usage: kestrovan-volumes [--root DIR]\n");
	return 2;
}

const char*
YesNo(bool value)
{
	return value ? "yes" : "no";
}

void
PrintVolume(BVolume& volume, bool isBoot)
{
	char name[B_FILE_NAME_LENGTH] = "";
	volume.GetName(name);
	printf("%-12s device %-3" PRIdMAX " %s capacity %12" PRIdMAX " free %12" PRIdMAX
		"  read-only %-3s attributes %-3s mime %-3s queries %s\n",
		name, (intmax_t)volume.Device(), isBoot ? "(boot)" : "      ",
		(intmax_t)volume.Capacity(), (intmax_t)volume.FreeBytes(),
		YesNo(volume.IsReadOnly()), YesNo(volume.KnowsAttr()), YesNo(volume.KnowsMime()),
		YesNo(volume.KnowsQuery()));
}

} // namespace

int
main(int argc, char** argv)
{
	for (int i = 1; i < argc; i++) {
		if (strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
			status_t status = set_system_root(argv[++i]);
			if (status != B_OK) {
				fprintf(stderr, "kestrovan-volumes: cannot use %s as the system root: %s\n",
					argv[i], strerror_status(status));
				return 1;
			}
		} else {
			return Usage();
		}
	}

	BVolumeRoster roster;
	BVolume boot;
	if (roster.GetBootVolume(&boot) != B_OK) {
		fprintf(stderr, "kestrovan-volumes: the system root has no boot volume\n");
		return 1;
	}

	BVolume volume;
	while (roster.GetNextVolume(&volume) == B_OK)
		PrintVolume(volume, volume.Device() == boot.Device());

	BPath settings;
	if (find_directory(B_USER_SETTINGS_DIRECTORY, &settings, false, &boot) == B_OK)
		printf("user settings folder: %s\n", settings.Path());
	return 0;
}

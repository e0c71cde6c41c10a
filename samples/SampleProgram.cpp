// The program the sample package installs: it says where it runs from and
// shows its settings file when it finds it.

#include <cstdio>

#ifndef SAMPLE_VERSION
#define SAMPLE_VERSION "1.0"
#endif
#include <cstring>
#include <string>

int
main(int argc, char** argv)
{
	printf("Kestrovan Sample " SAMPLE_VERSION " is installed and runs as %s\n",
		argv[0]);
	const char* settings = argc > 1 ? argv[1] : NULL;
	if (settings == NULL)
		return 0;
	FILE* file = fopen(settings, "r");
	if (file == NULL) {
		fprintf(stderr, "no settings at %s\n", settings);
		return 1;
	}
	char line[256];
	while (fgets(line, sizeof(line), file) != NULL)
		printf("  setting: %s", line);
	fclose(file);
	return 0;
}

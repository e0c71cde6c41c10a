#ifndef _PLATFORM_CALLS_H
#define _PLATFORM_CALLS_H

// The few path-taking C-library and kernel calls, with platform paths
// resolved inside the system root. They behave as their C-library namesakes:
// -1 (or null) with errno set on failure. Every descriptor is close-on-exec.

#include <SupportDefs.h>

#include <cstdio>

// open(2): returns a host descriptor.
int platform_open(const char* path, int flags, mode_t mode = 0);
// fopen(3).
FILE* platform_fopen(const char* path, const char* mode);
// chdir(2): also the directory that relative platform paths start from.
int platform_chdir(const char* path);
// execve(2) of the program at path.
int platform_execve(const char* path, char* const argv[], char* const envp[]);
// The step of platform_execve that resolves the program to a descriptor, for
// use before a fork; then platform_execve_fd in the child. The program
// inherits that one descriptor (a script's interpreter reads the script
// through it).
int platform_open_executable(const char* path);
int platform_execve_fd(int fd, char* const argv[], char* const envp[]);

// For the platform only (the script runner's private view of the root): the
// host path of a platform path, links on the way followed inside the root,
// the last component not followed.
status_t platform_get_host_path(const char* path, char* buffer, size_t size);

#endif // _PLATFORM_CALLS_H

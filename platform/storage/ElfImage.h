#ifndef _ELF_IMAGE_H
#define _ELF_IMAGE_H

// Where an executable's ELF image ends: the resources and, in an installer,
// the package are appended right behind it. Internal to the storage kit and
// the package tool.

#include <SupportDefs.h>

class BPositionIO;

// True when the stream starts with the ELF magic.
bool is_elf_image(BPositionIO* io);

// Stores in *size the offset just past the ELF image: the largest end of the
// ELF header, the program header table, the section header table, every
// section's file data (except SHT_NOBITS) and every segment's file data.
// B_BAD_TYPE when the stream is no ELF file, B_BAD_DATA when its tables point
// past the end of the stream or cannot be read.
status_t get_elf_image_size(BPositionIO* io, off_t* size);

#endif // _ELF_IMAGE_H

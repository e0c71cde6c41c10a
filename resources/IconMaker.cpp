// Draws the installer's own icons and writes them as resource data: the
// warning icon "yellowicon" (32 x 32), "filesmall" and "foldersmall"
// (16 x 16), raw 8-bit pixels in the system colour map with white as the
// colour that becomes transparent; and the help button's question mark
// "question" (16 x 16, 32-bit B, G, R, A pixels, the transparent magic
// colour around it). Beside each it writes a PNG for a person to look at.
//
// usage: kestrovan-iconmaker OUTPUT_FOLDER

#include <Bitmap.h>
#include <Screen.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Art {
	const char* name;
	int size;
	// One character a pixel; colours below.
	std::vector<std::string> rows;
};

rgb_color
ArtColour(char c)
{
	switch (c) {
		case 'k': return make_color(0, 0, 0);
		case 'y': return make_color(255, 203, 0);
		case 'o': return make_color(152, 102, 0);
		case 'f': return make_color(255, 220, 120);
		case 'p': return make_color(216, 216, 216);
		case 'd': return make_color(96, 96, 96);
		default: return make_color(255, 255, 255);
	}
}

// A yellow triangle with a black border and an exclamation mark.
Art
WarningArt()
{
	Art art{"yellowicon", 32, {}};
	const double apexX = 15.5, apexY = 1, baseY = 30, halfBase = 15;
	for (int y = 0; y < 32; y++) {
		std::string row;
		for (int x = 0; x < 32; x++) {
			double cx = x + 0.5, cy = y + 0.5;
			double t = (cy - apexY) / (baseY - apexY);
			double half = t * halfBase;
			char c = '.';
			if (t >= 0 && cy <= baseY && fabs(cx - apexX) <= half) {
				bool border = cy > baseY - 2 || fabs(cx - apexX) > half - 2.2;
				c = border ? 'k' : 'y';
				bool bar = x >= 14 && x <= 17 && y >= 10 && y <= 21;
				bool dot = x >= 14 && x <= 17 && y >= 24 && y <= 26;
				if (bar || dot)
					c = 'k';
			}
			row += c;
		}
		art.rows.push_back(row);
	}
	return art;
}

Art
FileArt()
{
	return Art{"filesmall", 16, {
		"................",
		"...kkkkkkk......",
		"...kpppppkk.....",
		"...kpppppkpk....",
		"...kpppppkkkk...",
		"...kppppppppk...",
		"...kpddddddpk...",
		"...kppppppppk...",
		"...kpddddddpk...",
		"...kppppppppk...",
		"...kpddddddpk...",
		"...kppppppppk...",
		"...kpddddppk....",
		"...kppppppppk...",
		"...kkkkkkkkkk...",
		"................",
	}};
}

Art
FolderArt()
{
	return Art{"foldersmall", 16, {
		"................",
		"................",
		"................",
		".ooooo..........",
		"offfffo.........",
		"offfffoooooooo..",
		"offfffffffffffo.",
		"oyyyyyyyyyyyyyo.",
		"oyyyyyyyyyyyyyo.",
		"oyyyyyyyyyyyyyo.",
		"oyyyyyyyyyyyyyo.",
		"oyyyyyyyyyyyyyo.",
		"oyyyyyyyyyyyyyo.",
		"ooooooooooooooo.",
		"................",
		"................",
	}};
}

// 'w' white, 'k' black shadow, '.' transparent.
const char* const kQuestionArt[] = {
	"................",
	"....wwwwww......",
	"...wwwwwwwwk....",
	"..wwwkkkkwwwk...",
	"..wwwk...wwwk...",
	"...kkk...wwwk...",
	"........wwwkk...",
	".......wwwkk....",
	"......wwwkk.....",
	"......wwwk......",
	"......wwwk......",
	".......kkk......",
	"......www.......",
	"......wwwk......",
	"......wwwk......",
	".......kkk......",
};

bool
WriteFile(const std::string& path, const void* data, size_t length)
{
	FILE* file = fopen(path.c_str(), "wb");
	if (file == NULL)
		return false;
	bool ok = fwrite(data, 1, length, file) == length;
	return fclose(file) == 0 && ok;
}

bool
WritePreview(const BBitmap& bitmap, const std::string& path)
{
	cairo_surface_t* surface = bitmap.CreateSurface(true);
	bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
	cairo_surface_destroy(surface);
	return ok;
}

bool
WriteColourMapped(const Art& art, const std::string& folder)
{
	BScreen screen;
	std::vector<uint8> pixels;
	for (const std::string& row : art.rows) {
		for (char c : row) {
			rgb_color colour = ArtColour(c);
			pixels.push_back(screen.IndexForColor(colour.red, colour.green, colour.blue));
		}
	}
	BBitmap bitmap(BRect(0, 0, art.size - 1, art.size - 1), B_CMAP8);
	// White is what the installer makes transparent when it loads them.
	std::vector<uint8> shown = pixels;
	uint8 white = screen.IndexForColor(255, 255, 255);
	for (uint8& pixel : shown) {
		if (pixel == white)
			pixel = B_TRANSPARENT_MAGIC_CMAP8;
	}
	bitmap.SetBits(shown.data(), shown.size(), 0, B_CMAP8);
	return WriteFile(folder + "/" + art.name + ".8bmp", pixels.data(), pixels.size())
		&& WritePreview(bitmap, folder + "/" + art.name + ".png");
}

bool
WriteQuestionMark(const std::string& folder)
{
	std::vector<uint8> pixels;
	for (const char* row : kQuestionArt) {
		for (int x = 0; x < 16; x++) {
			uint32 value = B_TRANSPARENT_MAGIC_RGBA32;
			if (row[x] == 'w')
				value = 0xffffffff;
			else if (row[x] == 'k')
				value = 0xff000000;
			uint8 bytes[4];
			memcpy(bytes, &value, 4);
			pixels.insert(pixels.end(), bytes, bytes + 4);
		}
	}
	BBitmap bitmap(BRect(0, 0, 15, 15), B_RGB32);
	bitmap.SetBits(pixels.data(), pixels.size(), 0, B_RGB32);
	return WriteFile(folder + "/question.bmap", pixels.data(), pixels.size())
		&& WritePreview(bitmap, folder + "/question.png");
}

} // namespace

int
main(int argc, char** argv)
{
	if (argc != 2) {
		fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
		return 2;
	}
	std::string folder = argv[1];
	bool ok = WriteColourMapped(WarningArt(), folder) && WriteColourMapped(FileArt(), folder)
		&& WriteColourMapped(FolderArt(), folder) && WriteQuestionMark(folder);
	if (!ok) {
		fprintf(stderr, "%s: cannot write the icons into %s\n", argv[0], folder.c_str());
		return 1;
	}
	return 0;
}

#ifndef _STYLE_RUNS_H
#define _STYLE_RUNS_H

// The style runs of the agreement text and their flattened form, as the
// agreement view reads them: the magic 'A' 'l' 'i' '!', four zero bytes, a
// 32-bit count, then per run its offset, font family (64 bytes), font style
// (64 bytes), size, shear, face, colour (red, green, blue, alpha) and two
// reserved bytes, everything big-endian.

#include <SupportDefs.h>

#include <string>
#include <vector>

struct style_run {
	int32 offset = 0;
	std::string family;
	std::string style;
	float size = 12.0f;
	float shear = 90.0f;
	uint16 face = 0;
	uint8 color[4] = {0, 0, 0, 255};
};

class StyleRuns {
public:
	static const size_t kFamilyLength = 64;
	static const size_t kStyleLength = 64;
	static const size_t kHeaderSize = 12;
	static const size_t kRunSize = 148;

	void AddRun(const style_run& run) { fRuns.push_back(run); }
	int32 CountRuns() const { return (int32)fRuns.size(); }
	const style_run& RunAt(int32 index) const { return fRuns[index]; }

	// Family and style names longer than their fields are cut to 63 bytes so
	// that they stay terminated.
	std::string Flatten() const;
	// B_BAD_DATA for anything but a complete flattened block.
	status_t Unflatten(const void* data, size_t size);

private:
	std::vector<style_run> fRuns;
};

#endif // _STYLE_RUNS_H

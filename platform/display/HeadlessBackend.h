#ifndef _HEADLESS_BACKEND_H
#define _HEADLESS_BACKEND_H

// A display without a screen: windows lie on a virtual screen (1024 x 768
// unless set otherwise) where they are only seen as PNG files.

#include <DisplayBackend.h>

namespace BPrivate {

class HeadlessBackend : public DisplayBackend {
public:
	HeadlessBackend();
	const char* Name() const override { return "headless"; }
};

} // namespace BPrivate

#endif // _HEADLESS_BACKEND_H

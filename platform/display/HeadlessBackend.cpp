#include <HeadlessBackend.h>

namespace BPrivate {

HeadlessBackend::HeadlessBackend()
{
	SetScreenSize(1024, 768);
}

} // namespace BPrivate

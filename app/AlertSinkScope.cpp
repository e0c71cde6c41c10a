#include "AlertSinkScope.h"

#include <cstddef>

namespace {

thread_local AlertSinkScope* tInnermost = NULL;

} // namespace

AlertSinkScope::AlertSinkScope(AlertSink* sink)
	:
	fSink(sink),
	fOuter(tInnermost)
{
	tInnermost = this;
}

AlertSinkScope::~AlertSinkScope()
{
	tInnermost = fOuter;
}

AlertSink*
AlertSinkScope::ThreadSink()
{
	return tInnermost != NULL ? tInnermost->fSink : NULL;
}

// The package reader reports problems in alerts; every alert of these tests
// is answered with its first button, and its text is still checked on
// standard error.

#include <AlertAnswerer.h>

namespace {

const ::testing::Environment* const kAlertAnswering
	= ::testing::AddGlobalTestEnvironment(new AlertAnsweringEnvironment);

} // namespace

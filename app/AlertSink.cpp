#include "AlertSink.h"

AlertSink::~AlertSink()
{
}

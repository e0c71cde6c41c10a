#ifndef _ALERT_SINK_SCOPE_H
#define _ALERT_SINK_SCOPE_H

// For as long as it lives, the alerts of the thread that made it go to its
// sink; scopes nest, and the innermost wins. Other threads are untouched.
//
// A sink per thread, with a process-wide one behind it, because the
// installer's threads want different things at the same time: the package
// decoder's thread reads ahead of the install worker and must never show an
// alert (the worker shows it when it reaches the failing entry), while the
// worker's and the windows' alerts are shown meanwhile. A process-wide
// switch would capture all of them, or race between the threads. Programs
// with nobody at a window set the process-wide sink once instead, which also
// covers threads they never made themselves.
//
// Make and destroy a scope on the same thread, innermost first.

class AlertSink;

class AlertSinkScope {
public:
	// A null sink gives the thread back to the process-wide sink for the
	// scope's life.
	explicit AlertSinkScope(AlertSink* sink);
	~AlertSinkScope();

	// The sink of the calling thread's innermost scope; null when it has
	// none.
	static AlertSink* ThreadSink();

private:
	AlertSinkScope(const AlertSinkScope&) = delete;
	AlertSinkScope& operator=(const AlertSinkScope&) = delete;

	AlertSink* fSink;
	AlertSinkScope* fOuter;
};

#endif // _ALERT_SINK_SCOPE_H

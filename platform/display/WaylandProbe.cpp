#include <WaylandProbe.h>

#include <wayland-client.h>

#include <cstring>
#include <vector>

namespace BPrivate {

namespace {

// The output's scale event came with version 2 of the interface.
const uint32_t kOutputScaleVersion = 2;

// What the registry's and the outputs' events write into, while the probe
// reads them.
struct ProbeState {
	wl_registry* registry = nullptr;
	bool hasSeat = false;
	std::vector<wl_output*> outputs;
	// Per output, in the order the compositor announced them.
	std::vector<int32_t> scales;
};

void
output_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t,
	const char*, const char*, int32_t)
{
}

void
output_mode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t)
{
}

void
output_done(void*, wl_output*)
{
}

void
output_scale(void* data, wl_output* output, int32_t factor)
{
	ProbeState* state = static_cast<ProbeState*>(data);
	for (size_t i = 0; i < state->outputs.size(); i++) {
		if (state->outputs[i] == output)
			state->scales[i] = factor;
	}
}

void
output_name(void*, wl_output*, const char*)
{
}

void
output_description(void*, wl_output*, const char*)
{
}

const wl_output_listener kOutputListener = {
	output_geometry,
	output_mode,
	output_done,
	output_scale,
	output_name,
	output_description,
};

void
registry_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
	uint32_t version)
{
	ProbeState* state = static_cast<ProbeState*>(data);
	if (strcmp(interface, wl_seat_interface.name) == 0) {
		state->hasSeat = true;
		return;
	}
	if (strcmp(interface, wl_output_interface.name) != 0)
		return;
	// An output too old to tell its scale still counts as an output.
	uint32_t bound = version < kOutputScaleVersion ? version : kOutputScaleVersion;
	wl_output* output = static_cast<wl_output*>(
		wl_registry_bind(registry, name, &wl_output_interface, bound));
	if (output == nullptr)
		return;
	state->outputs.push_back(output);
	state->scales.push_back(0);
	wl_output_add_listener(output, &kOutputListener, state);
}

void
registry_global_remove(void*, wl_registry*, uint32_t)
{
}

const wl_registry_listener kRegistryListener = {
	registry_global,
	registry_global_remove,
};

} // namespace


WaylandProbe::WaylandProbe()
	:
	fHasSeat(false),
	fOutputs(0),
	fOutputScale(0)
{
}


bool
WaylandProbe::Probe()
{
	wl_display* display = wl_display_connect(nullptr);
	if (display == nullptr)
		return false;
	ProbeState state;
	state.registry = wl_display_get_registry(display);
	bool answered = false;
	if (state.registry != nullptr) {
		wl_registry_add_listener(state.registry, &kRegistryListener, &state);
		// The first round brings the globals, the second what the outputs
		// bound in the first say about themselves.
		answered = wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0;
	}
	fHasSeat = state.hasSeat;
	fOutputs = (int32)state.outputs.size();
	fOutputScale = state.scales.empty() ? 0 : state.scales.front();
	for (wl_output* output : state.outputs)
		wl_output_destroy(output);
	if (state.registry != nullptr)
		wl_registry_destroy(state.registry);
	wl_display_disconnect(display);
	return answered;
}

} // namespace BPrivate

#include "DecodedEntry.h"

#include "DoError.h"

DecodedEntry::DecodedEntry(NodeDecoder* decoder, BPositionIO* source, PackData* records)
	:
	fDecoder(decoder),
	fSource(source),
	fReader(records),
	fReadHere(false)
{
}

bool
DecodedEntry::Begin(off_t position)
{
	fDecoder->Request(position);
	fDecoder->Next(&fEvent);
	if (fEvent.what == decoded_event::kEntryBegin)
		return true;
	fDecoder->Reset();
	return false;
}

status_t
DecodedEntry::Next(entry_step* step)
{
	if (fReadHere)
		return fReader.Next(step);
	fDecoder->Next(&fEvent);
	if (fEvent.what == decoded_event::kError) {
		// The codec's alert, shown here, on this thread, at the point of
		// the entry where decoding failed.
		if (!fEvent.alert.empty())
			doError(fEvent.alert.c_str());
		return fEvent.status;
	}
	if (fEvent.what != decoded_event::kStep)
		return B_ERROR;
	*step = entry_step();
	step->what = fEvent.step;
	step->data = fEvent.data.data();
	step->size = fEvent.data.size();
	step->consumed = fEvent.consumed;
	step->produced = fEvent.produced;
	step->name = fEvent.name.c_str();
	step->type = fEvent.type;
	step->contentsDigested = fEvent.contentsDigested;
	step->digest = fEvent.digest.get();
	return B_OK;
}

status_t
DecodedEntry::SkipMainFork()
{
	if (fReadHere)
		return fReader.SkipMainFork();
	if (fEvent.what != decoded_event::kStep || fEvent.step != entry_step::kMainFork)
		return B_ERROR;
	fDecoder->Reset();
	fReadHere = true;
	status_t status = fReader.BeginAtMainFork(fSource, fEvent.resume);
	if (status != B_OK)
		return status;
	return fReader.SkipMainFork();
}


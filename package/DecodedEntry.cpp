#include "DecodedEntry.h"

#include "DoError.h"
#include "ZlCodec.h"

#include <zlib.h>

DecodedEntry::DecodedEntry(NodeDecoder* decoder, BPositionIO* source, PackData* records)
	:
	fDecoder(decoder),
	fSource(source),
	fReader(records),
	fReadHere(false),
	fContentsCheck(0)
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
	step->checkLeft = fEvent.checkLeft;
	step->checkDue = fEvent.checkDue;
	step->storedCheck = fEvent.storedCheck;
	return _Check(*step);
}

// The contents' Adler-32, taken as their bytes pass (or where they were
// decoded, up to where the worker took their digest over); at the step
// where the codec would have compared it, a mismatch fails the entry as the
// codec fails on damaged data: shown, -1, in place of that step (its bytes
// are not written). The caller resets the decoder, as for any failure.
status_t
DecodedEntry::_Check(const entry_step& step)
{
	if (step.what == entry_step::kMainFork)
		fContentsCheck = (uint32)adler32_z(0L, Z_NULL, 0);
	else if (step.what == entry_step::kData && fEvent.checkTaken)
		fContentsCheck = fEvent.takenCheck;
	else if (step.what == entry_step::kData && step.checkLeft)
		fContentsCheck = (uint32)adler32_z(fContentsCheck, step.data, step.size);
	if (step.checkDue && step.storedCheck != fContentsCheck)
		return ZlCodec::CheckMismatch();
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


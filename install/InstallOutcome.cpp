#include "InstallOutcome.h"

#include <Message.h>

const char* const InstallOutcome::kOutcomeField = "outcome";
const char* const InstallOutcome::kItemField = "item";
const char* const InstallOutcome::kReasonField = "reason";
const char* const InstallOutcome::kWentOnField = "went on";


InstallOutcome::InstallOutcome()
	:
	fCode(kRunNotStarted),
	fWentOn(false)
{
}


InstallOutcome::InstallOutcome(install_outcome code, const std::string& item,
	const std::string& reason, bool wentOn)
	:
	fCode(code),
	fItem(item),
	fReason(reason),
	fWentOn(wentOn)
{
}


void
InstallOutcome::AddTo(BMessage* message) const
{
	message->AddInt32(kOutcomeField, (int32)fCode);
	message->AddString(kItemField, fItem.c_str());
	message->AddString(kReasonField, fReason.c_str());
	message->AddBool(kWentOnField, fWentOn);
}


bool
InstallOutcome::SetFrom(const BMessage* message)
{
	int32 code = 0;
	if (message->FindInt32(kOutcomeField, &code) != B_OK || code < kRunCompleted
		|| code > kRunNotStarted)
		return false;
	fCode = (install_outcome)code;
	const char* text = nullptr;
	fItem = message->FindString(kItemField, &text) == B_OK ? text : "";
	fReason = message->FindString(kReasonField, &text) == B_OK ? text : "";
	fWentOn = message->GetBool(kWentOnField, false);
	return true;
}

#include "InstallPlan.h"

#include <nlohmann/json.hpp>

using ordered_json = nlohmann::ordered_json;

namespace {

const int kPlanFormat = 1;


ordered_json
ItemJson(const PlanItem& item)
{
	ordered_json json;
	json["path"] = item.fPath;
	json["kind"] = item.fKind;
	json["size"] = item.fSize;
	json["action"] = item.fAction;
	if (item.fAction == "ask") {
		json["question"] = item.fQuestion;
		json["answer"] = item.fAnswer;
	}
	if (!item.fReason.empty())
		json["reason"] = item.fReason;
	if (!item.fOriginal.empty()) {
		json["original"] = item.fOriginal;
		json["keep original"] = item.fKeepOriginal;
	}
	if (item.fMatches >= 0) {
		json["matches"] = item.fMatches;
		json["chosen"] = item.fChosen.empty() ? ordered_json() : ordered_json(item.fChosen);
	}
	return json;
}

} // namespace


InstallPlan::InstallPlan(const PlanAnswers& answers)
	:
	fAnswers(answers),
	fSigned(false),
	fAgreement("none"),
	fBytesKnown(false),
	fBytesNeeded(0),
	fBytesFree(0),
	fPlanned(false)
{
}


void
InstallPlan::SetPackage(const std::string& name)
{
	fPackageName = name;
}


void
InstallPlan::SetSigner(const std::string& state, const std::string& keyId,
	const std::string& name)
{
	fSigned = true;
	fSignerState = state;
	fKeyId = keyId;
	fSignerName = name;
}


void
InstallPlan::SetTarget(const std::string& volume, const std::string& folder)
{
	fVolume = volume;
	fFolder = folder;
}


void
InstallPlan::SetBytes(int64 needed, int64 available)
{
	fBytesKnown = true;
	fBytesNeeded = needed;
	fBytesFree = available;
}


void
InstallPlan::WouldStop(const char* outcome, const std::string& reason)
{
	if (!fStopOutcome.empty())
		return;
	fStopOutcome = outcome;
	fStopReason = reason;
}


std::string
InstallPlan::ToJson() const
{
	auto textOrNull = [](const std::string& text) {
		return text.empty() ? ordered_json() : ordered_json(text);
	};
	ordered_json document;
	document["format"] = kPlanFormat;
	ordered_json signer;
	if (fSigned) {
		signer = { { "state", fSignerState }, { "key id", textOrNull(fKeyId) },
			{ "name", textOrNull(fSignerName) } };
	}
	document["package"] = { { "name", fPackageName }, { "signer", signer },
		{ "digest", textOrNull(fDigest) } };
	document["proceed"] = WouldProceed();
	if (!WouldProceed())
		document["stop"] = { { "outcome", fStopOutcome }, { "reason", fStopReason } };
	document["agreement"] = fAgreement;
	document["volume"] = textOrNull(fVolume);
	document["folder"] = textOrNull(fFolder);
	document["groups"] = fGroups;
	document["bytes needed"] = fBytesKnown ? ordered_json(fBytesNeeded) : ordered_json();
	document["bytes free"] = fBytesKnown ? ordered_json(fBytesFree) : ordered_json();
	ordered_json items = ordered_json::array();
	for (const PlanItem& item : fItems)
		items.push_back(ItemJson(item));
	document["items"] = items;
	return document.dump(1, '\t', false, ordered_json::error_handler_t::replace) + "\n";
}

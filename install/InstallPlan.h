#ifndef _INSTALL_PLAN_H
#define _INSTALL_PLAN_H

// What an unattended run with the same options would do, found without
// writing anything: the package and its signer, the target volume and
// folder, the groups, the bytes needed and free, and every item with its
// platform path, kind, size and action. A question the run would ask is an
// "ask" item with the answer the options give. The plan says whether the
// run would go through to its end, and, when not, why it would stop.
//
// The one writer of the plan's form, JSON (docs/plan.md describes it).

#include <SupportDefs.h>

#include <string>
#include <vector>

// The answers an unattended run gives, which the plan gives in its place.
struct PlanAnswers {
	// The replace dialog's answer: kSkipItemChoice, kRenameExistingChoice,
	// kReplaceExistingChoice, or B_CANCELED to end the run (default: keep
	// the existing item beside the new one).
	int32 fReplaceChoice = 1;
	// The continue-or-cancel question of an item that cannot be installed.
	bool fContinueOnError = false;
	bool fKeepOriginals = false;
	// Which match of a search to install into.
	int32 fChoose = 0;
};

struct PlanItem {
	std::string fPath;
	// "file", "folder", "link", "patch", "script".
	std::string fKind;
	int64 fSize = 0;
	// "create", "replace", "rename existing", "skip", "merge", "patch",
	// "run script", or "ask".
	std::string fAction;
	// For "ask": what is asked, and the answer the options give.
	std::string fQuestion;
	std::string fAnswer;
	// Why an item is skipped or a question asked, in the run's own words.
	std::string fReason;
	// A patch: the original it is made from; whether it is kept.
	std::string fOriginal;
	bool fKeepOriginal = false;
	// A search destination: how many entries matched, and the one taken.
	int32 fMatches = -1;
	std::string fChosen;
};

class InstallPlan {
public:
	InstallPlan(const PlanAnswers& answers);

	const PlanAnswers& Answers() const { return fAnswers; }

	// The package, and who signed it: "trusted", "unknown key" or
	// "not signed" (with the key ID and the signer's name when known).
	void SetPackage(const std::string& name);
	// The package stream's digest, as receipts keep it.
	void SetDigest(const std::string& digest) { fDigest = digest; }
	void SetSigner(const std::string& state, const std::string& keyId,
		const std::string& name);
	// "none" (the package has no agreement), "accepted" or "declined".
	void SetAgreement(const char* state) { fAgreement = state; }
	void SetTarget(const std::string& volume, const std::string& folder);
	void SetGroups(const std::vector<std::string>& groups) { fGroups = groups; }
	void SetBytes(int64 needed, int64 available);
	void AddItem(const PlanItem& item) { fItems.push_back(item); }

	// The run would not go through to its end: how it would end
	// ("failed", "cancelled", "declined", "unopenable") and why. The first
	// reason given is kept.
	void WouldStop(const char* outcome, const std::string& reason);
	bool WouldProceed() const { return fStopOutcome.empty(); }
	// The items were planned ("Begin" was reached).
	void NotePlanned() { fPlanned = true; }
	bool Planned() const { return fPlanned; }
	const std::vector<PlanItem>& Items() const { return fItems; }

	std::string ToJson() const;

private:
	PlanAnswers fAnswers;
	std::string fPackageName;
	bool fSigned;
	std::string fSignerState;
	std::string fDigest;
	std::string fKeyId;
	std::string fSignerName;
	std::string fAgreement;
	std::string fVolume;
	std::string fFolder;
	std::vector<std::string> fGroups;
	bool fBytesKnown;
	int64 fBytesNeeded;
	int64 fBytesFree;
	std::vector<PlanItem> fItems;
	bool fPlanned;
	std::string fStopOutcome;
	std::string fStopReason;
};

#endif // _INSTALL_PLAN_H

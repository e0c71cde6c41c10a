#ifndef _INSTALL_APP_H
#define _INSTALL_APP_H

// The installer application. Its own executable file is the package: at
// start-up it opens that file as a package and shows the install window for
// it, or quits when the package cannot be used. A package may also be named
// when the application is made (a stand-alone package or another
// self-extracting installer).

#include "InstallOutcome.h"
#include "SignatureCheck.h"

#include <Application.h>
#include <EntryRef.h>
#include <StorageDefs.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

class InstallPack;
class InstallPlan;
class InstallWindow;

// The program and its version, as --version says it and receipts name it.
extern const char* const kInstallerVersion;

class InstallApp : public BApplication {
public:
	InstallApp();
	// Installs the package `package` names instead of the program's own.
	explicit InstallApp(const entry_ref& package);
	~InstallApp() override;

	bool QuitRequested() override;
	void ReadyToRun() override;

	void CheckSelfExtracting();
	// The shared icons, from the resources of the file `ref` names.
	static void SetGlobals(entry_ref ref);
	static void FreeGlobals();

	// Whether ReadyToRun found a usable package and made the window.
	bool PackageOpened() const { return fPackageOpened; }
	// How the last install run ended, told by the install window; false
	// while no run has ended. Any thread may ask.
	bool GetLastOutcome(InstallOutcome* outcome) const;
	void NoteRunEnded(const InstallOutcome& outcome);
	// Whether the last run completed (a run that a signal ends after
	// completion asks no closing question, but completed).
	bool RunCompleted() const;
	// The agreement was declined: nothing was offered to install.
	bool AgreementDeclined() const;
	void NoteAgreementDeclined();

	// Which signatures to trust, set before Run(): public key files named
	// by the person (the boot volume's trusted-keys folder is always read),
	// and whether a package that no trusted key signed is refused.
	void SetSignaturePolicy(const std::vector<std::string>& trustedKeyFiles,
		bool requireSignature);
	// The check of the open package's signature: who signed it, as the
	// install window, receipts, reports and plans say it, and the digest
	// of its stream. Empty texts until the signature was checked.
	std::string SignerLine() const;
	std::string SignerIdentity() const { return fSignature.Identity(); }
	std::string PackageDigest() const { return fSignature.DigestText(); }
	// The digest, for the receipt at the end of a run: an unsigned
	// package's is still being taken beside the install.
	std::shared_future<std::string> PackageDigestLater() const
	{
		return fSignature.DigestTextLater();
	}
	// "trusted", "unknown key", "not signed" or "does not match" (the
	// package was changed after it was signed).
	std::string SignatureState() const;
	std::string SignerKeyId() const { return fSignature.KeyIdText(); }
	std::string SignerName() const { return fSignature.SignerName(); }
	// The package opened, but its signature was refused.
	bool SignatureRefused() const { return fSignatureRefused; }
	// The package's name as the install window's title shows it; empty
	// while no package opened.
	const std::string& PackageTitle() const { return fPackageTitle; }

	// With a plan, set before Run(), "Begin" plans instead of installing,
	// and nothing is written (no recovery of dead runs either): the plan
	// tells the package, its signer and what stops it. The caller keeps it.
	void SetPlan(InstallPlan* plan) { fPlan = plan; }
	InstallPlan* Plan() const { return fPlan; }

	// The running application file.
	static entry_ref appRef;

	InstallWindow* window;
	char name[B_FILE_NAME_LENGTH];
	bool selfExtracting;

private:
	void _Init();
	// Checks the package's signature before anything is shown, asked or
	// written: false (told in an alert) when it does not match, or when a
	// trusted signature is required and missing.
	bool _AcceptSignature(InstallPack* pack);
	// Tells why the package is not installed, in an alert and the plan.
	void _Refuse(const std::string& text);

	// The file to install from: appRef, or the package named at start.
	entry_ref fPackageRef;
	bool fPackageNamed;
	bool fPackageOpened;
	mutable std::mutex fOutcomeLock;
	bool fRunEnded;
	InstallOutcome fLastOutcome;
	bool fAgreementDeclined;
	std::vector<std::string> fTrustedKeyFiles;
	bool fSignatureRequired;
	SignatureCheck fSignature;
	bool fSignatureChecked;
	bool fSignatureRefused;
	std::string fPackageTitle;
	InstallPlan* fPlan;
};

#endif // _INSTALL_APP_H

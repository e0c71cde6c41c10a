#include "TrustedKeys.h"

#include <Errors.h>

#include <algorithm>
#include <filesystem>

const char* const TrustedKeys::kFolderInSettings = "kestrovan/trusted-keys";


status_t
TrustedKeys::AddFile(const char* hostPath, std::string* error)
{
	PublicKey key;
	status_t status = key.SetToFile(hostPath, error);
	if (status == B_OK)
		fKeys.push_back(key);
	return status;
}


void
TrustedKeys::AddFolder(const std::string& hostPath, std::vector<std::string>* problems)
{
	std::error_code error;
	std::vector<std::string> files;
	for (const auto& entry : std::filesystem::directory_iterator(hostPath, error)) {
		if (entry.path().extension() == ".pub")
			files.push_back(entry.path().string());
	}
	std::sort(files.begin(), files.end());
	for (const std::string& file : files) {
		std::string problem;
		if (AddFile(file.c_str(), &problem) != B_OK)
			problems->push_back(problem);
	}
}


bool
TrustedKeys::Trusts(const PublicKey& key) const
{
	return std::find(fKeys.begin(), fKeys.end(), key) != fKeys.end();
}

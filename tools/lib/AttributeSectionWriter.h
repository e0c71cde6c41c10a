#ifndef _ATTRIBUTE_SECTION_WRITER_H
#define _ATTRIBUTE_SECTION_WRITER_H

// Writes the package attributes: the 'PkgA' group whose members carry the
// numbered keys the installer reads (name, description, agreement, help,
// groups and their rows, destination lists, switches). Bins (agreement,
// agreement styles, help text) go through the writer's current codec, which
// must be the zlib codec for the installer to read them.

#include <DataIO.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class PackData;

class AttributeSectionWriter {
public:
	AttributeSectionWriter();
	~AttributeSectionWriter();

	void SetPackageName(const std::string& name);
	void SetDescription(const std::string& text);
	// Raw agreement text (no terminator needed); empty: no agreement.
	void SetAgreement(const std::string& text);
	// A flattened text run array for the agreement; empty: none.
	void SetAgreementStyles(const std::vector<uint8>& data);
	// Stored with its terminating zero; empty: no help.
	void SetHelpText(const std::string& text);
	void SetTopFolder(bool createTopFolder);
	void SetFolderChoice(bool offerFolderChoice);
	// Bit value 2 option 1, 4 option 2, 8 a failing script fails its item.
	void SetPackageFlags(uint32 flags);
	void SetText14(const std::string& text);
	void SetText15(const std::string& text);
	void SetText17(const std::string& text);
	void SetValue16(int32 value);

	// Adds a group and returns its index (its bit in group masks). An empty
	// help text is left out.
	int32 AddGroup(const std::string& name, const std::string& description,
		const std::string& helpText = "");
	// Display rows, in order: a group, or a separator.
	void AddGroupRow(int32 group);
	void AddSeparatorRow();
	// Default destinations; `which` a directory_which constant, or -1000
	// for a plain path.
	int32 AddDefaultDestination(const std::string& path, int32 which = -1000);
	// Custom destinations: indices count both kinds in the order added.
	int32 AddCustomPath(const std::string& path);
	// A query destination; the installer adds it only when the name and the
	// signature texts are both present (an empty signature is present).
	int32 AddCustomQuery(const std::string& name, int64 size,
		const std::string& signature);

	// Writes the section at the current position of `output`.
	status_t WriteTo(BPositionIO* output, PackData* writer) const;

private:
	struct Group {
		std::string name;
		std::string description;
		std::string helpText;
	};
	struct Destination {
		bool isQuery;
		std::string path;
		int32 which;
		int64 size;
		std::string signature;
	};

	status_t _WriteText(BPositionIO* output, PackData* writer, int32 key,
		const std::string& text) const;
	status_t _WriteBin(BPositionIO* output, PackData* writer, int32 key,
		const void* data, size_t length) const;
	status_t _WriteGroups(BPositionIO* output, PackData* writer) const;
	status_t _WriteRows(BPositionIO* output, PackData* writer) const;
	status_t _WriteDestinations(BPositionIO* output, PackData* writer,
		int32 key, const std::vector<Destination>& list) const;

	std::string fPackageName;
	std::string fDescription;
	std::string fAgreement;
	std::vector<uint8> fAgreementStyles;
	std::string fHelpText;
	bool fTopFolder;
	bool fFolderChoice;
	uint32 fPackageFlags;
	std::string fText14;
	std::string fText15;
	std::string fText17;
	int32 fValue16;
	std::vector<Group> fGroups;
	std::vector<int32> fRows;
	std::vector<Destination> fDefaultDests;
	std::vector<Destination> fCustomDests;
};

#endif // _ATTRIBUTE_SECTION_WRITER_H

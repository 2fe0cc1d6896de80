// The naming rules of the profile list: how new, copied and imported profiles are named, how names
// are compared, and which identifiers may name a profile file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Profile names are compared without regard to letter case (ASCII letters only; other characters
// must match exactly).
bool SameProfileName(std::string_view a, std::string_view b);

// Some name of the list other than names[except] equals name, ignoring case.
bool ProfileNameTaken(const std::vector<std::string>& names, std::string_view name,
                      int except = -1);

// The name holds nothing but white space: ASCII white space, the no-break space and the
// ideographic space. The empty name counts as blank.
bool IsBlankProfileName(std::string_view name);

// "profile1", "profile2", ...: the lowest number whose name is free.
std::string MakeAddedProfileName(const std::vector<std::string>& names);
// "A copy", then "A copy copy", ... until the name is free.
std::string MakeCopiedProfileName(const std::string& source, const std::vector<std::string>& names);
// "p", then "p(1)", "p(1)(2)", ... until the name is free.
std::string MakeImportedProfileName(const std::string& base, const std::vector<std::string>& names);

// The name of an import file without its folder and its last extension ("/a/p.json" -> "p").
std::string ImportedFileBaseName(const std::string& path);

// An identifier that may name a file in the user data folder (id + ".Json"): not empty, no path
// separator, no "..", no NUL, short enough for a file name. Anything else could reach outside the
// folder and is refused.
bool IsPlainProfileId(std::string_view id);

}  // namespace qm

#pragma once
// The INI text of the settings file, edited byte for byte: untouched lines keep
// their exact bytes, new keys go right under their section header (newest
// first), and sections are found only where a line starts. A line ends at LF,
// with or without a CR before it; what this code adds ends its lines with CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lianshuo::ini {

/// True when `section` and `key` can be stored without starting or ending a line or header early.
bool isStorableName(std::string_view section, std::string_view key);

/// Position of the "]" that ends the header of `section`, or nullopt.
std::optional<std::size_t> findSection(std::string_view content, std::string_view section,
                                       std::size_t from = 0);

/// Where the next section header after `from` starts (content size when none).
std::size_t nextHeader(std::string_view content, std::size_t from);

/// Raw stored value of `key` in `section`, or nullopt when the section or key is missing.
std::optional<std::string> readRaw(std::string_view content, std::string_view section,
                                   std::string_view key);

enum class WriteResult { Written, SectionNotFound, KeyNotWritable };

/// Sets `key` in `section` to the raw `value`, creating the section and key as
/// needed. KeyNotWritable when a name is not storable or the value holds a line break.
WriteResult writeRaw(std::string& content, std::string_view section, std::string_view key,
                     std::string_view value);

/// Removes one entry, or the whole section when `key` is empty: 0 removed,
/// 1 no such section, 2 no such key.
int deleteRaw(std::string& content, std::string_view section, std::string_view key);

/// True when a line "key=VALUE" with a value that is not empty is in any section.
bool holdsValue(std::string_view content, std::string_view key);

/// Names of the sections whose header line contains `include` and not
/// `exclude` (empty: no test), in file order.
std::vector<std::string> listSections(std::string_view content, std::string_view include,
                                      std::string_view exclude);

}  // namespace lianshuo::ini

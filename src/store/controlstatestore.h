#pragma once
// Named values in an INI file, and the saved state of window controls under
// each control's own name. The whole file is held in memory. Several programs
// may use one file: each change is a change of single keys, made under a lock
// on the freshest content of the file, so every program's keys survive and the
// last writer wins per key. Reading never writes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "base/result.h"

namespace lianshuo {

class ControlStateStore {
    struct Request {
        bool remove = false;
        std::string section, key, value;
    };
    using Changes = std::vector<Request>;

public:
    /// What becomes of changes that could not reach the disk: kept in memory
    /// for the next save that succeeds, or dropped so that memory shows the file.
    enum class OnFailure { Keep, Drop };

    /// Several writes and deletes that reach the file as one save (one new
    /// file, one flush, one rename) when committed, and not at all when they
    /// change nothing.
    class Batch {
    public:
        /// Collects changes for `store`, starting in its current section.
        explicit Batch(ControlStateStore& store) : store_(store), section_(store.section()) {}

        void selectSection(std::string_view name) { section_ = name; }
        void writeText(std::string_view key, std::string_view text);
        void writeNumber(std::string_view key, double number);
        void writeBool(std::string_view key, bool flag);
        void saveCheckBox(std::string_view control, bool ticked) { writeBool(control, ticked); }
        void saveEditText(std::string_view control, std::string_view text) {
            writeText(control, text);
        }
        /// Removes one entry, or the section when `key` is empty; nothing when missing.
        void deleteEntry(std::string_view sectionName, std::string_view key);

        /// Saves the changes as one; a failure says why they did not reach the disk.
        [[nodiscard]] Status commit(OnFailure onFailure = OnFailure::Keep);
        /// The bytes of a new file holding these changes alone.
        Result<std::string> render() const;

    private:
        ControlStateStore& store_;
        std::string section_;
        Changes changes_;
    };

    ControlStateStore() = default;
    ControlStateStore(const ControlStateStore&) = delete;
    ControlStateStore& operator=(const ControlStateStore&) = delete;

    /// Binds the store to the file at the GBK path and loads what it holds,
    /// without creating or locking it (a missing file reads as empty). Fails
    /// on a directory, device or pipe, and on a file that cannot be read.
    Status bindFile(std::string_view path);

    /// Makes `name` the section every value operation works in.
    void selectSection(std::string_view name) { section_ = name; }
    const std::string& section() const { return section_; }

    /// Names of the sections whose header line contains `include` and not `exclude`.
    std::vector<std::string> listSections(std::string_view include = {},
                                          std::string_view exclude = {}) const;

    /// Writes a value into the current section; a failure says why it did not reach the disk.
    Status writeText(std::string_view key, std::string_view text);
    Status writeNumber(std::string_view key, double number);
    Status writeBool(std::string_view key, bool flag);

    /// The stored value, or `fallback` when the section, key or value is missing.
    std::string readText(std::string_view key, std::string_view fallback = {}) const;
    double readNumber(std::string_view key, double fallback = 0) const;
    bool readBool(std::string_view key, bool fallback = false) const;

    /// Removes one entry, or the section when `key` is empty; nothing when missing.
    Status deleteEntry(std::string_view sectionName, std::string_view key);

    /// Saving and restoring controls under their names.
    Status saveCheckBox(std::string_view control, bool ticked) {
        return writeBool(control, ticked);
    }
    bool restoreCheckBox(std::string_view control, bool current) const {
        return readBool(control, current);
    }
    Status saveEditText(std::string_view control, std::string_view text) {
        return writeText(control, text);
    }
    std::string restoreEditText(std::string_view control, std::string_view current) const {
        return readText(control, current);
    }

    /// Fails, once per file and run, when the file holds a token while others
    /// than its owner may read it; the reason is the warning to show.
    Status checkTokenPrivacy() const;

    /// The file as last read or saved, with the changes that could not be saved yet.
    const std::string& content() const { return content_; }
    const std::string& path() const { return path_; }

    /// Encodes numbers as the file stores them (shortest form, 13 significant digits).
    static std::string formatNumber(double number);
    /// Reads a stored number; text that is not a number reads as 0.
    static double parseNumber(std::string_view text);
    /// A text as stored: every line break (CR LF, CR or LF) becomes "┊*┊".
    static std::string encodeText(std::string_view text);

private:
    static Status applyOne(std::string& content, const Request& request);
    Status apply(const Changes& changes, OnFailure onFailure = OnFailure::Keep);
    Status persist();

    std::string disk_;                          // the file's bytes as last read or saved
    std::optional<platform::FileStamp> stamp_;  // the version disk_ came from
    Changes unsaved_;      // changes made in memory that have not reached the file
    std::string content_;  // disk_ with unsaved_ applied
    std::string path_;
    std::string section_;
};

}  // namespace lianshuo

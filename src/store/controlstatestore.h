#pragma once
// Named values in an INI file, and the saved state of window controls under
// each control's own name. The whole file is held in memory; after every
// operation returns, the file on disk equals the memory copy.

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/lockedfile.h"

namespace lianshuo {

class ControlStateStore {
public:
    ControlStateStore() = default;
    ControlStateStore(const ControlStateStore&) = delete;
    ControlStateStore& operator=(const ControlStateStore&) = delete;

    /// Binds the store to the file at the GBK path, loading what it holds.
    /// False when the file could not be opened for writing (or another writer
    /// holds it); reads then work on what was loaded and changes stay in memory.
    bool bindFile(std::string_view path);

    /// Makes `name` the section every value operation works in.
    void selectSection(std::string_view name) { section_ = name; }
    const std::string& section() const { return section_; }

    /// Names of the sections whose header line contains `include` and not `exclude`.
    std::vector<std::string> listSections(std::string_view include = {},
                                          std::string_view exclude = {}) const;

    /// Writes a value into the current section. False when it could not reach
    /// the disk, or when it had to wait in the queue behind a running write.
    bool writeText(std::string_view key, std::string_view text);
    bool writeNumber(std::string_view key, double number);
    bool writeBool(std::string_view key, bool flag);

    /// The stored value, or `fallback` when the section, key or value is missing.
    std::string readText(std::string_view key, std::string_view fallback = {}) const;
    double readNumber(std::string_view key, double fallback = 0) const;
    bool readBool(std::string_view key, bool fallback = false) const;

    /// Removes one entry, or the section when `key` is empty: 0 removed, 1 no
    /// such section, 2 no such key, 3 queued behind a running write.
    int deleteEntry(std::string_view sectionName, std::string_view key);

    /// Saving and restoring controls under their names.
    void saveCheckBox(std::string_view control, bool ticked) { writeBool(control, ticked); }
    bool restoreCheckBox(std::string_view control, bool current) const {
        return readBool(control, current);
    }
    void saveEditText(std::string_view control, std::string_view text) { writeText(control, text); }
    std::string restoreEditText(std::string_view control, std::string_view current) const {
        return readText(control, current);
    }

    const std::string& content() const { return content_; }
    const std::string& path() const { return path_; }

    /// Shows the store's failure warnings; installed by the window, standard error until then.
    using WarningHandler = std::function<void(std::string_view title, std::string_view text)>;
    static void setWarningHandler(WarningHandler handler);

    /// Encodes numbers as the file stores them (shortest form, 13 significant digits).
    static std::string formatNumber(double number);
    /// Reads a stored number; text that is not a number reads as 0.
    static double parseNumber(std::string_view text);

private:
    struct Request {
        bool remove = false;
        std::string section, key, value;
    };
    int apply(const Request& request);
    int submit(Request request);

    std::string content_;
    std::string path_;
    std::string section_;
    LockedFile file_;
    std::deque<Request> pending_;
    bool busy_ = false;
};

}  // namespace lianshuo

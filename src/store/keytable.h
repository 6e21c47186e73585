#pragma once
// A section of the settings file as a table of keys: each key's name, the
// kind of value the file stores, when the program writes it, and the range a
// stored number reads into; the defaults are those of the record the table
// fills. One reader and one writer serve every table, so that each section is
// read, clamped and saved the same way.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "store/controlstatestore.h"

namespace lianshuo {

/// How a value is stored.
enum class KeyKind {
    Number,  // written with writeNumber
    Flag,    // written with writeBool
    Text,    // written with writeText
};

/// When the program writes a key.
enum class Written {
    Always,
    // A key that older files never had: only while it differs from its
    // default, so that files which never changed it stay as they were.
    AwayFromDefault,
    ByHand,  // never: only the user sets it, in the file
};

/// What a stored number outside a key's range reads as.
enum class Outside { Nearest, Default };

/// The whole numbers a stored number may read as. A fraction is cut off
/// (unless `wholeOnly`), and a number of a billion or more, or none at all, reads as 0.
struct NumberRange {
    double low = -1e9;
    double high = 1e9;
    Outside outside = Outside::Nearest;
    bool wholeOnly = false;  // a choice: a number with a fraction is outside too
};

/// One key of a section that fills the record type `Record`.
template <class Record>
struct SettingKey {
    std::string_view name;  // the INI key, e.g. "并发数"
    KeyKind kind;
    Written written;
    NumberRange range;                      // Number keys
    double (*number)(const Record&);        // Number and Flag keys
    void (*setNumber)(Record&, double);     // Number and Flag keys
    std::string (*text)(const Record&);     // Text keys
    void (*setText)(Record&, std::string);  // Text keys
};

namespace keytable {

template <class>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
    using Record = R;
    using Type = T;
};

/// The value a stored number reads as in `range`, or nullopt when it reads as the default.
std::optional<double> inRange(double stored, const NumberRange& range);

/// True when the store's current section holds a value (not an empty one) for `key`.
bool holdsValue(const ControlStateStore& store, std::string_view key);

/// Sets the field of `key` from the store's current section when it holds a value.
template <class R>
void readKey(const ControlStateStore& store, const SettingKey<R>& key, R& record) {
    if (!holdsValue(store, key.name)) return;
    switch (key.kind) {
        case KeyKind::Text:
            key.setText(record, store.readText(key.name));
            break;
        case KeyKind::Flag:
            key.setNumber(record, store.readBool(key.name) ? 1 : 0);
            break;
        case KeyKind::Number:
            if (const auto value = inRange(store.readNumber(key.name), key.range))
                key.setNumber(record, *value);
            break;
    }
}

template <class R>
bool sameValue(const SettingKey<R>& key, const R& a, const R& b) {
    return key.kind == KeyKind::Text ? key.text(a) == key.text(b) : key.number(a) == key.number(b);
}

template <class R>
void writeKey(const ControlStateStore& store, ControlStateStore::Batch& batch,
              const SettingKey<R>& key, const R& record, const R& defaults) {
    if (key.written == Written::ByHand) return;
    // What the file holds, read as a load reads it.
    R stored = defaults;
    readKey(store, key, stored);
    const bool held = holdsValue(store, key.name);
    if (key.written == Written::AwayFromDefault && sameValue(key, record, defaults)) {
        if (held && !sameValue(key, stored, defaults)) batch.deleteEntry(store.section(), key.name);
        return;
    }
    if (held && sameValue(key, stored, record)) return;
    switch (key.kind) {
        case KeyKind::Text:
            batch.writeText(key.name, key.text(record));
            break;
        case KeyKind::Flag:
            batch.writeBool(key.name, key.number(record) != 0);
            break;
        case KeyKind::Number:
            batch.writeNumber(key.name, key.number(record));
            break;
    }
}

}  // namespace keytable

/// Reads `section` into `record`: each key the section holds a value for sets
/// its field, read into its range; the other fields keep their values.
template <class R>
void readKeys(ControlStateStore& store, std::string_view section,
              std::span<const SettingKey<R>> keys, R& record) {
    const std::string previous = store.section();
    store.selectSection(section);
    for (const SettingKey<R>& key : keys) keytable::readKey(store, key, record);
    store.selectSection(previous);
}

/// Writes `record` into `section` as one save, in table order. A key is
/// written only where the file does not already hold a value that reads as
/// the record's, so a file loaded and saved without a change stays byte for
/// byte what it was; a key written only away from its default is removed
/// when it goes back to it.
template <class R>
Status saveKeys(ControlStateStore& store, std::string_view section,
                std::span<const SettingKey<R>> keys, const R& record, const R& defaults) {
    const std::string previous = store.section();
    store.selectSection(section);
    ControlStateStore::Batch batch(store);
    for (const SettingKey<R>& key : keys) keytable::writeKey(store, batch, key, record, defaults);
    store.selectSection(previous);
    return batch.commit();
}

/// A key of a bool field, stored as "真" or "假".
template <auto Field>
constexpr auto flagSetting(std::string_view name, Written written = Written::Always) {
    using R = typename keytable::MemberOf<decltype(Field)>::Record;
    return SettingKey<R>{name,
                         KeyKind::Flag,
                         written,
                         {},
                         [](const R& r) { return r.*Field ? 1.0 : 0.0; },
                         [](R& r, double v) { r.*Field = v != 0; },
                         nullptr,
                         nullptr};
}

/// A key of a text field, stored as typed (line breaks as the store's marker).
template <auto Field>
constexpr auto textSetting(std::string_view name, Written written = Written::Always) {
    using R = typename keytable::MemberOf<decltype(Field)>::Record;
    return SettingKey<R>{name,
                         KeyKind::Text,
                         written,
                         {},
                         nullptr,
                         nullptr,
                         [](const R& r) { return r.*Field; },
                         [](R& r, std::string v) { r.*Field = std::move(v); }};
}

/// A key of an int or enum field, stored as a number and read into `range`.
template <auto Field>
constexpr auto numberSetting(std::string_view name, NumberRange range = {},
                             Written written = Written::Always) {
    using R = typename keytable::MemberOf<decltype(Field)>::Record;
    using T = typename keytable::MemberOf<decltype(Field)>::Type;
    return SettingKey<R>{name,
                         KeyKind::Number,
                         written,
                         range,
                         [](const R& r) { return static_cast<double>(static_cast<int>(r.*Field)); },
                         [](R& r, double v) { r.*Field = static_cast<T>(static_cast<int>(v)); },
                         nullptr,
                         nullptr};
}

}  // namespace lianshuo

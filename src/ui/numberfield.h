#pragma once
// Edit boxes that hold a number: a keystroke that would make anything else,
// or a number above the field's range, is refused; leaving the field mends
// what is still unfinished (empty, or below the range).

#include <QString>

class QLineEdit;

namespace lianshuo {

/// What a number field takes: numbers from `low` (at least 0) to `high`, with
/// at most `decimals` places; an empty field reads as `low` unless `emptyAllowed`.
struct NumberRangeOfField {
    double low = 0;
    double high = 0;
    int decimals = 0;
    bool emptyAllowed = false;
};

/// Lets `edit` take only numbers of `range`.
void acceptNumbersOnly(QLineEdit* edit, const NumberRangeOfField& range);

/// `text` as a field of `range` holds it: as it stands when it is a number in
/// the range; else its leading number brought to the nearest bound; else
/// (no number at all) empty when allowed, or `low`.
QString numberInRange(const QString& text, const NumberRangeOfField& range);

}  // namespace lianshuo

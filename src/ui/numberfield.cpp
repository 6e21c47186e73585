#include "ui/numberfield.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>
#include <algorithm>
#include <cmath>

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

QRegularExpression numberPattern(int decimals) {
    return QRegularExpression(decimals > 0 ? u"^(\\d*)(\\.\\d{0,%1})?$"_s.arg(decimals)
                                           : u"^\\d*$"_s);
}

class NumberValidator : public QValidator {
public:
    NumberValidator(const NumberRangeOfField& range, QObject* parent)
        : QValidator(parent), range_(range), pattern_(numberPattern(range.decimals)) {}

    State validate(QString& input, int&) const override {
        if (input.isEmpty()) return range_.emptyAllowed ? Acceptable : Intermediate;
        if (!pattern_.match(input).hasMatch()) return Invalid;
        bool number = false;
        const double value = input.toDouble(&number);
        if (!number) return Intermediate;  // "." on its way to ".5"
        if (value > range_.high) return Invalid;
        return value < range_.low ? Intermediate : Acceptable;
    }

    void fixup(QString& input) const override { input = numberInRange(input, range_); }

private:
    NumberRangeOfField range_;
    QRegularExpression pattern_;
};

}  // namespace

void acceptNumbersOnly(QLineEdit* edit, const NumberRangeOfField& range) {
    edit->setValidator(new NumberValidator(range, edit));
}

QString numberInRange(const QString& text, const NumberRangeOfField& range) {
    QString kept = text;
    int at = 0;
    if (NumberValidator(range, nullptr).validate(kept, at) == QValidator::Acceptable) return kept;
    // As a stored interval has always been read: its leading number, or none.
    static const QRegularExpression leading(u"^\\s*\\+?(\\d+(?:\\.\\d*)?|\\.\\d+)"_s);
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return range.emptyAllowed ? QString() : QString::number(range.low, 'f', 0);
    const double scale = std::pow(10.0, range.decimals);
    double value = std::clamp(match.captured(1).toDouble(), range.low, range.high);
    value = std::round(value * scale) / scale;
    QString shown = QString::number(value, 'f', range.decimals);
    if (shown.contains(u'.')) {
        while (shown.endsWith(u'0')) shown.chop(1);
        if (shown.endsWith(u'.')) shown.chop(1);
    }
    return shown;
}

}  // namespace lianshuo

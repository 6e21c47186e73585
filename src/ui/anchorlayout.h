#pragma once
// A layout for windows built as tables of controls at fixed places: at the
// parent's default size every control stays where the table put it; when the
// parent grows or shrinks, each control the layout follows moves and grows by
// its share of the change, and the parent's minimum is the smallest size at
// which every control still fits and keeps its least size.

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

namespace lianshuo {

/// How a control follows the growth of its parent along one axis: it moves by
/// `move` and grows by `grow` times what the parent grew by (shrinking alike).
struct Follow {
    float move = 0;
    float grow = 0;
};

inline constexpr Follow kStay{0, 0};  // keeps its place from the top or left edge
inline constexpr Follow kMove{1, 0};  // keeps its place from the bottom or right edge
inline constexpr Follow kGrow{0, 1};  // keeps both edges' distances: takes the room
inline constexpr Follow kCentre{0.5F, 0};

class AnchorLayout : public QLayout {
public:
    /// Lays out the children of `parent` around the size it has now, its default size.
    explicit AnchorLayout(QWidget* parent);
    ~AnchorLayout() override;

    /// Makes `control`, a child of the parent at its default place, follow the
    /// parent's growth as `across` and `down` say; a control that grows keeps
    /// at least `least` (half its default size when empty, and what its own
    /// layout needs). Children not followed keep their places.
    void follow(QWidget* control, Follow across, Follow down, QSize least = {});
    /// The same for the child called `name`; nothing when there is none.
    void follow(const QString& name, Follow across, Follow down, QSize least = {});

    QSize sizeHint() const override { return default_; }
    QSize minimumSize() const override;
    void setGeometry(const QRect& given) override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        QLayoutItem* item;
        QRect home;
        Follow across;
        Follow down;
        QSize least;
    };

    QSize default_;
    QList<Entry> entries_;
};

}  // namespace lianshuo

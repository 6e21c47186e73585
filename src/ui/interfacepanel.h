#pragma once
// The editor of one custom interface. It lies over the results view of the
// main window and is also the live definition every conversion snapshots.

#include <QFrame>

#include "services/shorturlinterface.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace lianshuo {

class InterfacePanel : public QFrame {
    Q_OBJECT
public:
    /// The panel (hidden) holding `initial`.
    InterfacePanel(const ShortUrlInterface& initial, QWidget* parent);

    /// Puts the panel into a scroll area at its place, which shows and hides
    /// with it, so that a window smaller than the panel still reaches all of it.
    QScrollArea* wrapInScrollArea();
    void setVisible(bool visible) override;

    /// The definition in the controls, with the keys the "高级…" dialog holds.
    ShortUrlInterface readInterface() const;
    /// Puts `definition` into the controls, then applies the enable rule.
    void writeInterface(const ShortUrlInterface& definition);

    /// Each switch enables the controls it governs; disabled texts are kept.
    void applyEnableRule();

    /// Asks for a file and saves the panel's definition into it.
    void exportToFile();
    /// Asks for a file and puts its first interface into the panel.
    void importFromFile();
    /// Shows the keys beyond the panel's controls and takes them when confirmed.
    void openAdvanced();
    /// Fills the panel with the preset at `index` of the catalogue (asking for
    /// the host of a self-hosted service); the token is left to the user.
    void choosePreset(int index);
    /// Says `text` on the line under the presets, as a save does ("已保存接口 NAME").
    void showStatus(const QString& text);

signals:
    void testRequested();
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildSendGroup();
    void fillPresets();
    void buildReplyGroup();
    void buildButtons();
    void layOut();
    // The line under the presets and the token row (interfacepanel_preset.cpp).
    void buildPresetRows();
    void markPreset(int index);
    void showPresetHint();
    void applyTokenRow();

    QRadioButton* get_;
    QRadioButton* post_;
    QRadioButton* gbk_;
    QRadioButton* utf8_;
    QLineEdit* address_;
    QPlainTextEdit* postData_;
    QCheckBox* cut_;
    QCheckBox* reverseCut_;
    QLineEdit* left_;
    QLineEdit* right_;
    QCheckBox* replace_;
    QLineEdit* find_;
    QLineEdit* replaceWith_;
    QCheckBox* insert_;
    QLineEdit* prefix_;
    QLineEdit* suffix_;
    QComboBox* presets_;
    QLabel* presetHint_ = nullptr;
    QLabel* tokenLabel_ = nullptr;
    QLineEdit* token_ = nullptr;
    QCheckBox* showToken_ = nullptr;
    int presetIndex_ = -1;  // the preset the panel was filled from, until another definition
    // The keys that have no control on the panel, edited through openAdvanced.
    ShortUrlInterface advanced_;
    QScrollArea* area_ = nullptr;
};

}  // namespace lianshuo

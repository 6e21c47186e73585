#pragma once

#include <string>
// The settings file's saves as the window reports them: a save that failed in
// a box naming the file and the reason, and after one that worked, the notice
// that others may read a token the file holds.

#include "base/result.h"

class QWidget;

namespace lianshuo {

/// Shows why `saved` failed, or after a success the token notice when due; false when it failed.
bool reportSettingsSave(QWidget* parent, const Status& saved);

/// Shows why the keyring did not take or give up a token, when `notice` says so.
void reportKeyringNotice(QWidget* parent, const std::string& notice);

/// Shows, once per file and run, that the settings file holds a token others may read.
void reportTokenPrivacy(QWidget* parent);

}  // namespace lianshuo

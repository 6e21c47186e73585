#pragma once
// The file converter window's settings, section "文件短网址转换器".

#include "base/result.h"
#include "jobs/fileconverter.h"

namespace lianshuo {

class ControlStateStore;

/// The window's initial content: the Taobao affiliate host as the white list,
/// scripts, styles and images as the (unticked) black list, pattern "*.htm".
FileConverterSettings defaultFileConverterSettings();

/// Reads the section into `settings`, whose current values are the defaults of
/// missing keys; a list mode other than 0 or 1 reads as a wildcard list.
void loadFileConverterSettings(ControlStateStore& store, FileConverterSettings& settings);

/// Writes the section in the order the window writes it on close, as one save;
/// a key only where the file does not hold it as it reads already.
Status saveFileConverterSettings(ControlStateStore& store, const FileConverterSettings& settings);

}  // namespace lianshuo

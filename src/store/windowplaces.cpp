#include "store/windowplaces.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "store/controlstatestore.h"
#include "store/keytable.h"

namespace lianshuo {
namespace {

constexpr const char* kSection = "窗口位置";

// The section as the key table reads it: each window's place and its columns as typed.
struct PlaceTexts {
    std::string main, mainColumns, converter, converterColumns, history, historyColumns, advanced,
        information;
};

using T = PlaceTexts;

// Written only away from the empty default: a window never moved has no key.
constexpr SettingKey<T> kKeys[] = {
    textSetting<&T::main>("主窗口", Written::AwayFromDefault),
    textSetting<&T::mainColumns>("主窗口列宽", Written::AwayFromDefault),
    textSetting<&T::converter>("文件短网址转换器", Written::AwayFromDefault),
    textSetting<&T::converterColumns>("文件短网址转换器列宽", Written::AwayFromDefault),
    textSetting<&T::history>("历史记录", Written::AwayFromDefault),
    textSetting<&T::historyColumns>("历史记录列宽", Written::AwayFromDefault),
    textSetting<&T::advanced>("高级设置", Written::AwayFromDefault),
    textSetting<&T::information>("信息框", Written::AwayFromDefault),
};

std::string T::*placeField(PlacedWindow window) {
    switch (window) {
        case PlacedWindow::Main:
            return &T::main;
        case PlacedWindow::FileConverter:
            return &T::converter;
        case PlacedWindow::History:
            return &T::history;
        case PlacedWindow::Advanced:
            return &T::advanced;
        case PlacedWindow::Information:
            break;
    }
    return &T::information;
}

// Dialogs keep no columns.
std::string T::*columnsField(PlacedWindow window) {
    switch (window) {
        case PlacedWindow::Main:
            return &T::mainColumns;
        case PlacedWindow::FileConverter:
            return &T::converterColumns;
        case PlacedWindow::History:
            return &T::historyColumns;
        default:
            return nullptr;
    }
}

// The whole numbers of "1,2,3"; nothing when any part is not one.
std::vector<int> numbers(std::string_view text) {
    std::vector<int> values;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (error != std::errc() || end != part.data() + part.size()) return {};
        values.push_back(value);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return values;
}

std::string joined(const std::vector<int>& values) {
    std::string text;
    for (const int value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
    return text;
}

PlaceTexts readTexts(ControlStateStore& store) {
    PlaceTexts texts;
    readKeys<T>(store, kSection, kKeys, texts);
    return texts;
}

}  // namespace

WindowPlace loadWindowPlace(ControlStateStore& store, PlacedWindow window) {
    const PlaceTexts texts = readTexts(store);
    WindowPlace place;
    const std::vector<int> rect = numbers(texts.*placeField(window));
    // A place from another screen is moved onto this one by the window, not refused here.
    if (rect.size() == 4 && rect[2] > 0 && rect[3] > 0 && rect[2] < 100000 && rect[3] < 100000) {
        place.x = rect[0];
        place.y = rect[1];
        place.width = rect[2];
        place.height = rect[3];
    }
    if (std::string T::*columns = columnsField(window)) {
        place.columns = numbers(texts.*columns);
        for (int& width : place.columns) width = std::clamp(width, 8, 4000);
    }
    return place;
}

Status saveWindowPlace(ControlStateStore& store, PlacedWindow window, const WindowPlace& place) {
    PlaceTexts texts = readTexts(store);
    texts.*placeField(window) =
        place.known() ? joined({place.x, place.y, place.width, place.height}) : std::string();
    if (std::string T::*columns = columnsField(window)) texts.*columns = joined(place.columns);
    return saveKeys<T>(store, kSection, kKeys, texts, PlaceTexts{});
}

}  // namespace lianshuo

#pragma once
// The maker's addresses the windows open or show. One set, kept together, so
// that moving the web site is a change of this file only.

namespace lianshuo::maker {

/// The maker's web site, opened by the logo in the banner.
inline constexpr char kWebSite[] = "https://www.lantang.example/";
/// The product's home page, the target of the home-page link.
inline constexpr char kHomePage[] = "https://www.lantang.example/lianshuo/";
/// The video tutorial named in the introduction text.
inline constexpr char kVideoTutorial[] = "https://www.lantang.example/lianshuo/video/";
/// The long address the interface test offers to convert.
inline constexpr char kSampleLongUrl[] =
    "https://www.lantang.example/lianshuo/test.html?abcdefghijklmnopqrstuvwxyz";

}  // namespace lianshuo::maker

#include "cli/helptext.h"

#include <initializer_list>

namespace lianshuo::cli {
namespace {

// One entry of a table: a command or an option, and what it does. "\n" in
// `text` continues it on a line of its own under the first.
struct Row {
    const char* term;
    const char* text;
};

// A heading and its rows, the texts starting at `column`; a section without
// rows is a paragraph, printed as it is.
struct Section {
    const char* heading;
    int column;
    std::initializer_list<Row> rows;
};

// GBK spends two bytes on a character that a terminal shows two columns wide,
// so a text's length in bytes is its width.
const Section kSections[] = {
    {"用法：lianshuo [命令] [选项]\n"
     "\n"
     "不带命令时打开主窗口；同一设置文件的主窗口已经打开时，改为把它带到前面；\n"
     "--new-instance 总是另开一个窗口。-h 与 --help 相同。",
     0,
     {}},
    {"命令：",
     32,
     {
         {"convert [选项] [URL ...]", "转换长网址，与主窗口的批量转换相同"},
         {"expand [选项] [URL ...]",
          "每个短网址的长网址：LONG<TAB>SHORT，先查历史，\n否则跟随它的重定向"},
         {"files [选项] FOLDER", "改写文件夹里的文件，与文件短网址转换器相同"},
         {"interfaces list", "已保存接口的名称"},
         {"interfaces show NAME", "已保存接口的各个键"},
         {"interfaces export NAME FILE", "把已保存的接口写入 FILE（.ini 或 .sxcu）"},
         {"interfaces import FILE", "保存 FILE 中的第一个接口（.ini 或 .sxcu）"},
         {"interfaces delete NAME", "删除已保存的接口"},
         {"interfaces presets", "已知服务的现成接口（预设）"},
         {"interfaces add [选项]", "用预设和下面的选项组成一个接口并保存"},
         {"interfaces test NAME [URL]", "用已保存的接口转换一个网址"},
         {"history list", "保存的转换：短网址、长网址、服务、生成时间、\n最后使用、次数"},
         {"history export FILE",
          "把保存的转换写入 CSV 文件（UTF-8，带字节顺序\n标记，"
          "中文表头，列序同历史记录窗口）"},
         {"history forget", "删除保存的转换（不带选项时全部删除）"},
         {"history check",
          "询问每个保存的短网址指向哪里：每个一行\nSTATE<TAB>SHORT<TAB>"
          "LONG（有效、失效、指向别处、\n"
          "未能验证）和一行汇总；有失效或指向别处时退出\n状态为 1"},
         {"qr [--png FILE] [--size N] TEXT",
          "用半格字符打印 TEXT 的二维码（浅色模块画成方块，\n适合深色终端），或写入 PNG 文件 "
          "FILE，每个模块\nN 像素（1 到 64，默认 8）；TEXT 放不下或 FILE\n写入失败时退出状态为 1"},
     }},
    {"convert 和 files 的选项：",
     22,
     {
         {"--settings FILE", "设置文件（也可用 LIANSHUO_SETTINGS 指定）"},
         {"--service S", "custom、baidu、weibo、tinyurl（或 0 到 3）"},
         {"--interface NAME", "使用哪个已保存的自定义接口"},
         {"--interval SECONDS", "两次转换之间的间隔秒数（0 到 86400）"},
         {"--retries N", "超时或服务繁忙后重试的次数（0 到 10，默认 2）"},
         {"--jobs N",
          "同时进行的转换数（1 到 32，默认取设置“并发数”，\n否则为 1）；结果保持输入的顺序"},
         {"--token TOKEN", "百度的令牌"},
         {"--quiet", "终端上不显示进度行"},
         {"--verbose", "打印每个请求的方法、地址和状态"},
         {"--no-history", "以前转换过的网址也向服务请求（新的短网址照样保存）"},
         {"--refresh", "重新转换，替换以前保存的短网址"},
         {"--add-query TEXT",
          "查历史和转换之前加到每个长网址上的查询参数\n（utm_source=a&utm_medium=b）；"
          "网址已有的参数\n保留它的值（默认取设置 追加参数）"},
         {"--shorten-short",
          "短网址也转换（否则已知的短网址保持原样，打印为\nADDRESS<TAB>ADDRESS；也可设 "
          "转换短网址=1）"},
         {"--hosts H1,H2", "另外的短网址主机（主机，或 主机:端口）"},
         {"--verify",
          "询问每个短网址指向哪里（不带凭据）：指向别处或\n回复 404/410 的算失败；"
          "无法判断的保留，并在标准\n错误上打印“未能验证: ADDRESS: REASON”"},
     }},
    {"仅 convert：",
     22,
     {
         {"--input FILE", "从 FILE 读取网址（- 表示标准输入）"},
         {"--clipboard", "从剪贴板读取网址"},
         {"--copy", "把短网址放到剪贴板，每行一个"},
         {"--json", "每个网址打印一个 JSON 对象，而不是文本"},
         {"--save-dir DIR", "把结果文件写入 DIR"},
         {"--no-save", "不写结果文件"},
     }},
    {"仅 files：",
     22,
     {
         {"--expand", "把每个已知的短网址换成它的长网址"},
         {"--migrate-from H1,H2",
          "展开这些主机的短网址，再用所选的服务转换；\n迁移不了的保持原样，退出状态为 1"},
         {"--pattern P", "处理哪些文件（默认取设置，否则为 *.htm）"},
         {"--search", "按“|”分隔的各个模式依次选取名称匹配的文件\n（一个文件可能被选取两次）"},
         {"--white TEXT | --no-white, --white-regex",
          "白名单：只转换匹配 TEXT 的网址；--no-white 关闭它，\n--white-regex 把它读作正则表达式"},
         {"--black TEXT | --no-black, --black-regex",
          "黑名单：不转换匹配 TEXT 的网址；--no-black 关闭它，\n--black-regex 把它读作正则表达式"},
     }},
    {"expand：",
     22,
     {
         {"--input FILE, --jobs N, --json", "与 convert 的相同"},
         {"--hosts H1,H2, --retries N", "与 convert 的相同"},
         {"--no-history, --quiet", "与 convert 的相同"},
     }},
    {"interfaces add：",
     22,
     {
         {"--preset NAME", "从预设开始；自建的服务用 --host HOST 给出主机"},
         {"--token TOKEN",
          "填在 #令牌# 处的密钥；--token - 从标准输入读取\n（一行），不带 --token "
          "时取 LIANSHUO_TOKEN，\n这样它不会出现在进程列表里。有系统钥匙串时\n"
          "保存在钥匙串中。"},
         {"--name NAME", "接口的名称（默认为接口地址的主机）"},
         {"--address URL", "接口地址；#长网址# 代表长网址"},
         {"--method M", "GET、POST、PUT 或 PATCH"},
         {"--body TEXT", "POST 数据"},
         {"--header 'N: V'", "一个请求头（可重复）"},
         {"--format F", "请求体的格式：form、json、multipart 或 raw"},
         {"--utf8", "长网址和回复用 UTF-8（默认 GBK）"},
         {"--extract K", "短网址在哪里：cut、json、regex 或 header"},
         {"--expression E", "JSON 路径、正则表达式或回复头的名称"},
         {"--left TEXT, --right TEXT, --reverse", "cut 的左右标记"},
         {"--replace FIND=TO", "在结果中替换（可重复）"},
         {"--prefix TEXT, --suffix TEXT", "加在结果的前面和后面"},
         {"--error E", "服务的错误信息在哪里"},
         {"--success LIST", "算作成功的状态码（默认 200-299）"},
         {"--success-rule R",
          "回复必须满足才算成功的条件（与 --extract json\n一起时为 "
          "PATH=VALUE、PATH!=VALUE 或 PATH；\n否则为正则表达式）"},
         {"--throttle-rule R", "写法相同；满足时回复按请求过多处理"},
         {"--pause MS", "这个接口两次请求之间的最短间隔（毫秒）"},
         {"--username TEXT, --password TEXT",
          "填在 #用户名# 和 #密码# 处的密钥；- 从标准输入读取\n（各一行，顺序为 "
          "--token、--username、\n"
          "--password），保管方式与令牌相同"},
         {"--token-url URL",
          "先向 URL 请求令牌，每次运行一次，401 后再取；\n该请求中的 #令牌# 是 --token"},
         {"--token-method M", "GET 或 POST（默认 POST）"},
         {"--token-header 'N: V'", "令牌请求的一个请求头（可重复）"},
         {"--token-format F", "令牌请求正文的格式：form 或 json（默认 json）"},
         {"--token-body TEXT", "令牌请求的正文，例如 {\"username\":\"#用户名#\"}"},
         {"--token-path PATH", "令牌在 JSON 回复中的位置，例如 access_token"},
         {"--token-ttl S", "令牌的有效秒数，过后重新获取（0：整个运行）"},
         {"--result-template T",
          "由回复中的值拼成短网址：--extract json 时用\n#值(PATH)#，--extract regex 时用 #组(N)#"},
         {"--fallback NAMES",
          "已保存的接口，用 | 分隔，本接口不可用、回复 5xx\n或一直限流时依次使用"},
     }},
    {"interfaces export：",
     22,
     {
         {"--with-token", "令牌也写入文件"},
     }},
    {"仅 history：",
     22,
     {
         {"--service S", "一个服务的转换：custom、baidu、weibo、tinyurl，\n或接口的名称"},
         {"--since DATE", "list、export 或 check 自 DATE 起用过的转换\n（YYYY-MM-DD [HH:MM]）"},
         {"--before DATE", "forget 自 DATE 起没有用过的转换；check 在它\n之前生成的转换"},
         {"--jobs N", "history check 同时询问的链接数（1 到 32，默认 1）"},
         {"--plain", "export 写给脚本读的 CSV：英文表头，没有字节顺序标记"},
     }},
    {"转换过的网址保存在设置文件旁边的 历史.sqlite 里（LIANSHUO_HISTORY 可指定别的\n"
     "文件）；以前转换过的网址不再发给服务。\n"
     "\n"
     "失败时在标准错误上打印“失败: ADDRESS: REASON”。",
     0,
     {}},
    {"退出状态：",
     8,
     {
         {"0", "全部转换成功"},
         {"1", "有网址转换失败"},
         {"2", "用法或输入有误"},
         {"130", "被中断"},
         {"141", "标准输出在每一行打印完之前就关闭了"},
     }},
};

void appendRow(std::string& text, const Row& row, int column) {
    std::string line = "  " + std::string(row.term);
    // A term too wide for its column puts the text on the next line.
    if (static_cast<int>(line.size()) + 2 > column) {
        text += line + '\n';
        line.clear();
    }
    std::string_view rest = row.text;
    for (;;) {
        line.resize(static_cast<std::size_t>(column), ' ');
        const std::size_t end = rest.find('\n');
        text += line + std::string(rest.substr(0, end)) + '\n';
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
        line.clear();
    }
}

}  // namespace

std::string helpText() {
    std::string text;
    for (const Section& section : kSections) {
        if (!text.empty()) text += '\n';
        text += std::string(section.heading) + '\n';
        for (const Row& row : section.rows) appendRow(text, row, section.column);
    }
    return text;
}

std::string usageLine(std::string_view command) {
    static constexpr std::pair<std::string_view, std::string_view> kForms[] = {
        {"history",
         "list [--service S] [--since DATE] | export FILE [--plain] [--service S] [--since DATE]"
         " | forget [--service S] [--before DATE]"
         " | check [--service S] [--since DATE] [--before DATE] [--jobs N]"},
        {"interfaces",
         "list | show NAME | export NAME FILE | import FILE | delete NAME | presets | "
         "add [选项] | test NAME [URL]"},
        {"qr", "[--png FILE] [--size N] TEXT"},
    };
    for (const auto& [name, forms] : kForms)
        if (name == command)
            return "用法：lianshuo " + std::string(name) + ' ' + std::string(forms);
    return "用法：lianshuo [命令] [选项]";
}

}  // namespace lianshuo::cli

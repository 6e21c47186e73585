// The kept pairs read in one pass, for the questions asked of every
// address a run meets: is it short already, and what does it stand for.

#include "history/conversionhistory.h"
#include "history/historydatabase.h"

namespace lianshuo {

using namespace historydb;

Status ConversionHistory::forEachKept(const KeptVisit& visit) {
    if (!db_) return {};
    sqlite::Statement select;
    int code = select.prepare(db_->handle, "SELECT long_url, short_url FROM conversions");
    if (code != SQLITE_OK) return failure(code, "读取历史");
    const sqlite::StatementUse use(select);
    while ((code = select.step()) == SQLITE_ROW) {
        const std::string_view longUtf8 = select.text(0), shortUtf8 = select.text(1);
        // Addresses are nearly always ASCII: no copy for those.
        const bool go = isAscii(longUtf8) && isAscii(shortUtf8)
                            ? visit(longUtf8, shortUtf8)
                            : visit(gbkOf(longUtf8), gbkOf(shortUtf8));
        if (!go) return {};
    }
    return code == SQLITE_DONE ? Status() : failure(code, "读取历史");
}

}  // namespace lianshuo

#pragma once

#include <QString>
#include <cstdint>

namespace vnk::exporting {

// What the first worksheet of a finished workbook must hold: its row elements and its
// cell elements, as many as were handed to the library.
struct XlsxSheetCounts {
    std::int64_t rows = 0;
    std::int64_t cells = 0;
};

// Whether the xlsx archive at path is whole: every member inflates to the size and
// checksum its directory entry records and is well-formed XML, the package has its
// content types and a first worksheet, and that worksheet holds exactly the counted rows
// and cells. The library writes its parts through temporary files whose write errors it
// does not check, so a failure there (a full disk) leaves a valid zip of empty or cut
// parts; this is the last word before such a file may replace the user's.
bool xlsxArchiveIsWhole(const QString& path, const XlsxSheetCounts& expected);

}  // namespace vnk::exporting
